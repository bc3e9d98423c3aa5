#pragma once
// Which command the console is sending, told apart by time, and whose layer
// gets each of its bytes.
//
// Plain and framed commands share the codes 0x04 and 0x05, and several plain
// key codes share codes with framed commands. Measured from the arrival of the
// code:
// - 0x04, 0x05: the console pauses 100 ms after the echo of a plain block
//   command before the count, while a frame's length byte follows at once.
//   A next byte within plainPauseMs continues a frame; later, a plain block.
// - 0x01 (SetRegBits), 0x02 (WrByteCmd), 0x04, 0x08 (SendPanelKey) are also
//   plain key codes. The code is echoed at once; a next byte within keyIdleMs
//   continues the command (for 0x04 as above); keyIdleMs of silence, or a next
//   byte later than that, makes it a key code, pressed at the end of the
//   silence (the late byte starts a new command).
// - 0x40, 0x01, 0x40 in quick succession (each 0x01 within keyIdleMs of the
//   sync before it) is the RAM output switch: the lone 0x01 then gets a
//   closing 0x80 at the end of its silence instead of being a key code, and
//   the closing sync toggles the RAM output.
// - A command left unfinished for commandAbandonMs is dropped, so that the
//   console's next command after a failed exchange starts afresh.
#include <QtGlobal>

#include <cstdint>
#include <optional>
#include <vector>

#include "sim/ControllerOptions.h"
#include "sim/FramedCommands.h"
#include "sim/LineOutput.h"
#include "sim/PlainCommands.h"

namespace calorix::sim {

class CommandRouter {
 public:
  CommandRouter(const ControllerOptions& options, LineOutput& output, PlainCommands& plain,
                FramedCommands& framed)
      : options_(options), output_(output), plain_(plain), framed_(framed) {}

  // A byte from the console; true when it completed a command that has been
  // answered (frames that fell due meanwhile may go out now).
  bool receive(std::uint8_t byte, qint64 at);

  // No command is being received.
  bool idle() const { return mode_ == Mode::Idle; }
  // The code of the command being received.
  std::uint8_t code() const { return code_; }
  // When the command being received settles by itself: a lone code becomes a
  // key code, or an unfinished command is dropped.
  std::optional<qint64> nextDeadline() const;
  // Settles what is due at 'at' (at >= nextDeadline()).
  void settle(qint64 at);

 private:
  enum class Mode { Idle, Undecided, Framed, PlainRead, PlainWrite, PlainBlock };

  bool keyCapablePending() const;
  void start(std::uint8_t b, qint64 at);
  bool proceed(std::uint8_t b, qint64 at);
  // The command's bytes so far to the layer its mode names; true once answered.
  bool handOn(qint64 at);
  bool decide(qint64 at);
  void reset();

  const ControllerOptions& options_;
  LineOutput& output_;
  PlainCommands& plain_;
  FramedCommands& framed_;

  Mode mode_ = Mode::Idle;
  std::uint8_t code_ = 0;
  qint64 codeAt_ = 0;
  qint64 lastRxAt_ = 0;
  std::vector<std::uint8_t> bytes_;  // every byte of the command, the code first
};

}  // namespace calorix::sim
