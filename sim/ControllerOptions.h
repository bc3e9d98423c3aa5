#pragma once
// What can be set on the controller emulator: its timing, and the
// deterministic faults that tests arm.
#include <QtGlobal>

#include <cstdint>

#include "core/ControllerMap.h"

namespace calorix::sim {

struct ControllerOptions {
  qint64 cycleMs = 4000;           // regulator cycle: one PID frame per cycle
  qint64 telemetryPeriodMs = 500;  // one telemetry frame per period while streaming
  int pidFrameLength = 310;        // bytes of a PID frame (the console's DataPid)
  qint64 plainPauseMs = 50;        // a gap at least this long after 0x04/0x05 means plain
  qint64 keyIdleMs = 300;          // silence after an ambiguous code ends it as a key code
  qint64 firstPidFrameMs = 1000;   // the first PID frame of a run comes this long after the start
  qint64 commandAbandonMs = 3000;  // a command left unfinished this long is dropped
};

// The shortest telemetry period the line carries: a 262-byte frame at
// 115200 baud with 11 bits a character takes 25 ms.
inline constexpr qint64 kLineRateTelemetryMs = ctl::streamFrame::kLineRateMs;

// Deterministic faults. Counters count output bytes from the moment the fault
// is armed (0 = the next byte the emulator sends). Each fires once.
struct Faults {
  bool silent = false;       // answer nothing
  bool keepSending = false;  // send filler bytes without end
  bool portGone = false;     // the line is gone: the port's writes fail
  int refuseCommand = -1;    // the next command byte equal to this is answered 0x81 and dropped
  int replaceAt = -1;        // this output byte is replaced by replaceWith
  std::uint8_t replaceWith = 0;
  int dropAt = -1;   // this output byte is not sent
  int delayAt = -1;  // this output byte (and all after it) comes delayMs later
  qint64 delayMs = 0;
  // The next data block sends only this many of its data bytes; the rest of the
  // block is lost on the line and what follows it (the closing byte of a block
  // reply) comes as usual. A data block is the data of a block read, the echo
  // of the data of a plain block write, or the body of a PID or telemetry frame
  // after its 3-byte header.
  int shortBlockBytes = -1;
  // From this output byte on, every byte due within muteMs of it is lost: the
  // line drops out for a while (for good with a long enough muteMs). The
  // controller still hears and carries out what it is sent.
  int muteAt = -1;
  qint64 muteMs = 0;
};

}  // namespace calorix::sim
