#include "sim/OwnFrames.h"

#include <algorithm>

#include "core/ControllerMap.h"

namespace calorix::sim {
namespace {

using namespace ctl;

// The header the console does not interpret: a mark, then the PID frame's
// sequence number or 0 for telemetry.
constexpr std::uint8_t kHeaderMark0 = 0xAA;
constexpr std::uint8_t kHeaderMark1 = 0x55;
constexpr std::uint8_t kTelemetrySeq = 0x00;

qint64 atLeastOneMs(qint64 period) {
  return std::max<qint64>(1, period);
}

}  // namespace

void OwnFrames::followRun(bool pidFramesOn, qint64 now) {
  if (pidFramesOn && !pidActive_) {
    pidActive_ = true;
    nextPidAt_ = now + std::max<qint64>(0, options_.firstPidFrameMs);
  } else if (!pidFramesOn) {
    pidActive_ = false;
  }
}

void OwnFrames::setTelemetry(bool on, qint64 now) {
  if (on && !telemetryOn_) nextTelemetryAt_ = now + atLeastOneMs(options_.telemetryPeriodMs);
  telemetryOn_ = on;
}

std::optional<qint64> OwnFrames::nextDue() const {
  std::optional<qint64> t;
  if (pidActive_) t = nextPidAt_;
  if (telemetryOn_ && (!t || nextTelemetryAt_ < *t)) t = nextTelemetryAt_;
  return t;
}

void OwnFrames::sendDue(qint64 at) {
  const bool lineFree = output_.queuedBytes() < kMaxBacklogBytes;
  if (pidActive_ && nextPidAt_ <= at) {
    if (lineFree) sendPidFrame(at);
    const qint64 cycle = atLeastOneMs(options_.cycleMs);
    nextPidAt_ += cycle;
    if (nextPidAt_ <= at) nextPidAt_ = at + cycle;
  }
  if (telemetryOn_ && nextTelemetryAt_ <= at) {
    if (lineFree) sendTelemetryFrame(at);
    const qint64 period = atLeastOneMs(options_.telemetryPeriodMs);
    nextTelemetryAt_ += period;
    if (nextTelemetryAt_ <= at) nextTelemetryAt_ = at + period;
  }
}

// Header, RAM 0x00..0x1F, then RAM from 0x60 for the rest of the length.
std::vector<std::uint8_t> OwnFrames::pidFrame() const {
  const auto& ram = memory_.ram;
  const int length = std::clamp(options_.pidFrameLength, 0, pidFrame::kMaxLength);
  std::vector<std::uint8_t> frame(static_cast<std::size_t>(length));
  for (int i = 0; i < length; ++i) {
    if (i < pidFrame::kRegistersFrom)
      frame[i] = i == 0 ? kHeaderMark0 : i == 1 ? kHeaderMark1 : pidSeq_;
    else if (i < pidFrame::kRamFrom)
      frame[i] = ram[ram::kRegisters + i - pidFrame::kRegistersFrom];
    else
      frame[i] = ram[pidFrame::kRamAddress + (i - pidFrame::kRamFrom)];
  }
  return frame;
}

// The header as single bytes, the body as one data block.
void OwnFrames::sendFrame(const std::vector<std::uint8_t>& frame, int headerBytes, qint64 at) {
  const std::size_t head = std::min(std::size_t(headerBytes), frame.size());
  for (std::size_t i = 0; i < head; ++i) output_.put(frame[i], at);
  output_.putBlock(std::vector<std::uint8_t>(frame.begin() + head, frame.end()), at);
}

void OwnFrames::sendPidFrame(qint64 at) {
  const auto frame = pidFrame();
  ++pidSeq_;
  sendFrame(frame, pidFrame::kRegistersFrom, at);
}

// Header, RAM 0x00..0x1F, RAM 0x60..0x142.
void OwnFrames::sendTelemetryFrame(qint64 at) {
  const auto& ram = memory_.ram;
  std::vector<std::uint8_t> frame = {kHeaderMark0, kHeaderMark1, kTelemetrySeq};
  frame.reserve(streamFrame::kBytes);
  const auto registers = ram.begin() + ram::kRegisters;
  frame.insert(frame.end(), registers, registers + streamFrame::kRegisterBytes);
  const auto block = ram.begin() + streamFrame::kRamAddress;
  frame.insert(frame.end(), block, block + streamFrame::kRamBytes);
  sendFrame(frame, streamFrame::kHeaderBytes, at);
}

}  // namespace calorix::sim
