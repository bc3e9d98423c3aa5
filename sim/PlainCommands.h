#pragma once
// The plain layer as the controller speaks it: every byte echoed. Sync (0x40)
// is answered with its echo and 0x80; a byte read (0x03) with echoes of the
// code and the address, then the RAM byte and 0x80; a byte write (0x02) with
// echoes of the code, the address and the value, then 0x80 once RAM holds the
// value. The block commands 0x04/0x05 take count, address low and address high
// (echoed), then for 0x04 the count data bytes; the reply ends with the data
// (echo of what was written, or the bytes read from the block memory) and 0x80.
// Key codes get their echo only. The sequence 0x40, 0x01, 0x40 in quick
// succession switches the RAM output; P/B then starts and ends the telemetry
// stream.
#include <QtGlobal>

#include <cstdint>
#include <vector>

#include "sim/ControllerOptions.h"
#include "sim/Firmware.h"
#include "sim/LineOutput.h"
#include "sim/Memory.h"
#include "sim/OwnFrames.h"

namespace calorix::sim {

class PlainCommands {
 public:
  PlainCommands(const ControllerOptions& options, ControllerMemory& memory, Firmware& firmware,
                LineOutput& output, OwnFrames& frames)
      : options_(options), memory_(memory), firmware_(firmware), output_(output), frames_(frames) {}

  bool ramOutEnabled() const { return ramOut_; }

  // ---- the RAM output switch ----
  // Whether a command code arriving at 'at' is the switch's next step (its
  // 0x01 within keyIdleMs of the sync before it, or its closing sync within
  // keyIdleMs of that 0x01's 0x80).
  bool continuesRamSwitch(std::uint8_t code, qint64 at) const;
  // Anything else comes between: the switch starts over.
  void breakRamSwitch() { ramStep_ = RamStep::None; }
  // The switch's 0x01 is waiting for its silence to get its 0x80.
  bool awaitsSwitchStep(std::uint8_t code) const;

  // ---- commands ----
  // A sync whose echo went out: its 0x80; the closing sync of the switch also
  // toggles the RAM output.
  void answerSync(bool closesRamSwitch, qint64 at);
  // A lone code after its silence: the switch's middle step, or a key code.
  void endLoneCode(std::uint8_t code, qint64 at);
  void pressKey(std::uint8_t key, qint64 at);
  // The bytes of a command so far, its code first; true once it is answered.
  bool readByte(const std::vector<std::uint8_t>& bytes, qint64 at);
  bool writeByte(const std::vector<std::uint8_t>& bytes, qint64 at);
  bool block(const std::vector<std::uint8_t>& bytes, qint64 at);

 private:
  enum class RamStep { None, SyncAnswered, StepAnswered };

  const ControllerOptions& options_;
  ControllerMemory& memory_;
  Firmware& firmware_;
  LineOutput& output_;
  OwnFrames& frames_;
  bool ramOut_ = false;
  RamStep ramStep_ = RamStep::None;
  qint64 ramStepAt_ = 0;
};

}  // namespace calorix::sim
