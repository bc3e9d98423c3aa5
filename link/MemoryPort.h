#pragma once
// A serial port in memory, wired to a Peer (the controller emulator) under the
// virtual clock. Reads honour the time-out set exactly by moving virtual time:
// a silent one-byte read under the normal set costs 6030 ms and no real time.
#include <functional>
#include <vector>

#include "core/Clock.h"
#include "core/Peer.h"
#include "link/Port.h"

namespace calorix {

class MemoryPort : public Port {
 public:
  MemoryPort(Peer& peer, VirtualClock& clock);

  // The line is gone (adapter unplugged): writes fail while this is set or
  // while the probe says so; reads return nothing at once; the port is lost.
  void setGone(bool gone) { gone_ = gone; }
  // Writes fail (their time-out runs out) while the line stays: not a loss.
  void setWritesFail(bool fail) { writesFail_ = fail; }
  std::function<bool()> goneProbe;
  bool isGone() const { return gone_ || closed_ || (goneProbe && goneProbe()); }

  // What the link did to the port, for tests.
  const LineSettings& line() const { return line_; }
  void setDriverLine(const LineSettings& line) { line_ = line; }
  int inputQueue() const { return inputQueue_; }
  int outputQueue() const { return outputQueue_; }
  const std::vector<Timeouts>& timeoutHistory() const { return timeoutHistory_; }
  int purgeCount() const { return purges_; }
  int readCount() const { return reads_; }
  bool closed() const { return closed_; }

  // Port
  void setQueueSizes(int inputBytes, int outputBytes) override;
  void applyLine(const LineSettings& line) override;
  Timeouts timeouts() const override { return timeouts_; }
  void setTimeouts(const Timeouts& t) override;
  void purge() override;
  bool write(const std::uint8_t* data, std::uint32_t n, std::uint32_t& done) override;
  std::uint32_t read(std::uint8_t* data, std::uint32_t n) override;
  void close() override { closed_ = true; }
  bool lost() const override { return !closed_ && isGone(); }

 private:
  std::uint32_t takeDue(std::uint8_t* data, std::uint32_t n);

  Peer& peer_;
  VirtualClock& clock_;
  bool gone_ = false;
  bool writesFail_ = false;
  bool closed_ = false;
  // A fresh driver: one stop bit, no time-outs.
  LineSettings line_{9600, 8, 1};
  Timeouts timeouts_{};
  int inputQueue_ = 0;
  int outputQueue_ = 0;
  std::vector<Timeouts> timeoutHistory_;
  int purges_ = 0;
  int reads_ = 0;
};

// Opens a MemoryPort on any non-empty device name; onOpen sees each port
// opened (the Link owns it).
PortOpener memoryPortOpener(Peer& peer, VirtualClock& clock,
                            std::function<void(MemoryPort&)> onOpen = {});

}  // namespace calorix
