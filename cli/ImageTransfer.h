#pragma once
// A controller read into an image and an image written back, over the link
// alone, with the windows' own commands, orders and pauses:
//  - block memory (coefficient words, program table): SyncCmd, then RdBlock /
//    WrBlock of 4 bytes (the coefficient editor) or 8 (the program table),
//    then SyncCmd;
//  - programs 1..17: RdProgMem of 60 bytes; written as 15 stage records with
//    WrProgMem (the program editor);
//  - programs 18..25: RdRom of 60 bytes; written through the ROM page
//    sequence RomPageCmd9, the 15 stage records into the RAM window,
//    RomPageCmd10, RomPageCmd11, so the other program of the page survives;
//  - RAM: RdRam / WrRam as the PID window, 50 ms between its reads.
// The panel keys that the program editor sends after a load are not sent:
// they would change what the controller shows.
//
// The first exchange that fails ends the work: a plain command by its link
// status, a framed one when its closing reply did not come back.
#include <QString>

#include <optional>

#include "cli/Image.h"
#include "cli/Progress.h"
#include "link/Link.h"

namespace calorix::cli {

// Every region of the layout, dated and named by the link's clock and port.
// Empty with the failed exchange in *failure.
std::optional<Image> readImage(Link& link, Progress& progress, QString* failure);
// Every region written back byte for byte; false with the failed exchange in
// *failure (what was written before it stays written).
bool writeImage(Link& link, const Image& image, Progress& progress, QString* failure);
// A SyncCmd: whether the controller answers at all, in one time-out, before
// framed work that would wait for each of its bytes.
bool probeController(Link& link, QString* failure);

// The failure text of the exchange just made, or empty when it succeeded.
QString plainFailure(const Link& link, const QString& what);
QString framedFailure(const Link& link, const QString& what);

}  // namespace calorix::cli
