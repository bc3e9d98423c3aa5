#pragma once
// A controller read into an image and an image written back, over the link
// alone, with the windows' own commands, orders and pauses:
//  - block memory (coefficient words, program table): SyncCmd, then RdBlock /
//    WrBlock of 4 bytes (the coefficient editor) or 8 (the program table),
//    then SyncCmd;
//  - programs 1..17: RdProgMem of 60 bytes; written as 15 stage records with
//    WrProgMem (the program editor);
//  - programs 18..25 (version 2): each whole 128-byte ROM page with RdRom;
//    written through the page sequence RomPageCmd9, the 128 bytes of the page
//    into the RAM window with one WrRam, RomPageCmd10, RomPageCmd11;
//  - programs 18..25 (version 1): RdRom of 60 bytes; written through the page
//    sequence with the program's 15 stage records into its half of the RAM
//    window, so the rest of the page keeps what the controller held;
//  - RAM: RdRam / WrRam as the PID window, 50 ms between its reads.
// The panel keys that the program editor sends after a load are not sent:
// they would change what the controller shows.
//
// The first exchange that fails ends the work: a plain command by its link
// status, a framed one when its closing reply did not come back.
#include <QString>

#include <functional>
#include <optional>

#include "cli/Image.h"
#include "cli/Progress.h"
#include "link/Link.h"

namespace calorix::cli {

// Every region of the layout of `version`, dated and named by the link's clock
// and port. Empty with the failed exchange in *failure.
std::optional<Image> readImage(Link& link, int version, Progress& progress, QString* failure);

// What a restore did to one region.
enum class RegionState {
  NotWritten,     // not reached: the controller keeps its own bytes there
  PartlyWritten,  // its write failed: some of its bytes may be new (an erased ROM page too)
  WrittenUnread,  // written in full, its read-back failed
  Verified,       // written and read back equal to the image
  Differs,        // written, but read back different
};

struct RestoreReport {
  std::vector<RegionState> states;  // one per region of the image's layout
  Image readBack;                   // the image's version; a region not read back is empty
  QString failure;                  // the exchange that ended the restore; empty: it ran through
  int stoppedAt = -1;               // the region it ended in
};

// Region by region: written, read back with the backup's reads and compared,
// before the next is begun; onRegion hears each region's state once it is
// known. The first exchange that fails ends it, leaving the regions before it
// written and the rest as the controller held them.
RestoreReport restoreImage(Link& link, const Image& image, Progress& progress,
                           const std::function<void(int region, RegionState)>& onRegion);
// A SyncCmd: whether the controller answers at all, in one time-out, before
// framed work that would wait for each of its bytes.
bool probeController(Link& link, QString* failure);
// The line is free for an image: the controller answers, and no run has it
// send its PID frames by itself (R5 bit 2), whose bytes would be taken for
// replies and read into an image, or compared with one, as memory.
bool lineFreeForImage(Link& link, QString* failure);

// The failure text of the exchange just made, or empty when it succeeded.
QString plainFailure(const Link& link, const QString& what);
QString framedFailure(const Link& link, const QString& what);

}  // namespace calorix::cli
