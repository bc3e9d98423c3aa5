#pragma once
// The frames the controller sends by itself: a PID frame once per regulator
// cycle while a run wants them, and a telemetry frame once per period while
// the stream is on. Both are taken from RAM as it is when they fall due, and
// both go out whole, never in the middle of a command: the command layers
// ask for the frames due only once no command is being received.
#include <QtGlobal>

#include <cstdint>
#include <optional>
#include <vector>

#include "sim/ControllerOptions.h"
#include "sim/LineOutput.h"
#include "sim/Memory.h"

namespace calorix::sim {

class OwnFrames {
 public:
  OwnFrames(const ControllerOptions& options, const ControllerMemory& memory, LineOutput& output)
      : options_(options), memory_(memory), output_(output) {}

  // Follows the firmware's run switch; the first PID frame of a run comes
  // firstPidFrameMs after the run has started.
  void followRun(bool pidFramesOn, qint64 now);
  void setTelemetry(bool on, qint64 now);
  bool telemetryOn() const { return telemetryOn_; }
  // True while any frame is scheduled.
  bool scheduled() const { return pidActive_ || telemetryOn_; }

  // When the next frame falls due, if any is scheduled.
  std::optional<qint64> nextDue() const;
  // Sends every frame due at 'at'. A tick missed while a command was being
  // received is not made up.
  void sendDue(qint64 at);

  // Nobody reading: a real line loses what the receiver cannot hold. A frame
  // that falls due while this much is still waiting to be taken is left out
  // whole, so that a stream at line rate that nobody reads cannot grow the
  // emulator without end.
  static constexpr std::size_t kMaxBacklogBytes = 64 * 1024;

 private:
  std::vector<std::uint8_t> pidFrame() const;
  void sendPidFrame(qint64 at);
  void sendTelemetryFrame(qint64 at);
  void sendFrame(const std::vector<std::uint8_t>& frame, int headerBytes, qint64 at);

  const ControllerOptions& options_;
  const ControllerMemory& memory_;
  LineOutput& output_;
  bool pidActive_ = false;
  qint64 nextPidAt_ = 0;
  std::uint8_t pidSeq_ = 0;
  bool telemetryOn_ = false;
  qint64 nextTelemetryAt_ = 0;
};

}  // namespace calorix::sim
