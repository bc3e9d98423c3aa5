#include "link/MemoryPort.h"

#include <algorithm>
#include <optional>

namespace calorix {

MemoryPort::MemoryPort(Peer& peer, VirtualClock& clock) : peer_(peer), clock_(clock) {}

void MemoryPort::setQueueSizes(int inputBytes, int outputBytes) {
  inputQueue_ = inputBytes;
  outputQueue_ = outputBytes;
}

void MemoryPort::applyLine(const LineSettings& line) {
  line_.baudRate = line.baudRate;
  line_.byteSize = line.byteSize;
  // The driver keeps its stop bits for anything but 1 or 2.
  if (line.stopBits == 1 || line.stopBits == 2) line_.stopBits = line.stopBits;
}

void MemoryPort::setTimeouts(const Timeouts& t) {
  timeouts_ = t;
  timeoutHistory_.push_back(t);
}

void MemoryPort::purge() {
  ++purges_;
  peer_.advanceTo(clock_.nowMs());
  std::uint8_t sink[64];
  while (peer_.take(sink, sizeof sink, clock_.nowMs()) > 0) {
  }
}

bool MemoryPort::write(const std::uint8_t* data, std::uint32_t n, std::uint32_t& done) {
  done = 0;
  if (isGone() || writesFail_) return false;
  for (std::uint32_t i = 0; i < n; ++i) {
    peer_.receive(data[i], clock_.nowMs());
    ++done;
  }
  peer_.advanceTo(clock_.nowMs());
  return true;
}

std::uint32_t MemoryPort::takeDue(std::uint8_t* data, std::uint32_t n) {
  peer_.advanceTo(clock_.nowMs());
  return std::uint32_t(peer_.take(data, n, clock_.nowMs()));
}

std::uint32_t MemoryPort::read(std::uint8_t* data, std::uint32_t n) {
  ++reads_;
  if (n == 0 || isGone()) return 0;
  const qint64 start = clock_.nowMs();
  const qint64 total = qint64(timeouts_.readPerByte) * n + timeouts_.readConstant;
  std::optional<qint64> totalDeadline;
  if (timeouts_.readPerByte != 0 || timeouts_.readConstant != 0) totalDeadline = start + total;

  std::uint32_t got = 0;
  std::optional<qint64> lastByteAt;
  for (;;) {
    std::uint32_t now = takeDue(data + got, n - got);
    if (now > 0) lastByteAt = clock_.nowMs();
    got += now;
    if (got == n) return got;

    std::optional<qint64> deadline = totalDeadline;
    if (timeouts_.readInterval != 0 && lastByteAt) {
      qint64 gapEnd = *lastByteAt + timeouts_.readInterval;
      deadline = deadline ? std::min(*deadline, gapEnd) : gapEnd;
    }
    std::optional<qint64> next = peer_.nextOutputTime();
    if (next && (!deadline || *next <= *deadline)) {
      // A peer that claims a byte is due but hands none over must not spin
      // the read for ever: time moves on by at least a millisecond.
      clock_.advanceTo(std::max(*next, clock_.nowMs() + (now == 0 ? 1 : 0)));
      continue;
    }
    if (!deadline) return got;  // nothing will come and nothing bounds the wait
    clock_.advanceTo(*deadline);
    got += takeDue(data + got, n - got);
    return got;
  }
}

PortOpener memoryPortOpener(Peer& peer, VirtualClock& clock,
                            std::function<void(MemoryPort&)> onOpen) {
  return [&peer, &clock, onOpen](const QString& device) -> std::unique_ptr<Port> {
    if (device.isEmpty()) return nullptr;
    auto port = std::make_unique<MemoryPort>(peer, clock);
    if (onOpen) onOpen(*port);
    return port;
  };
}

}  // namespace calorix
