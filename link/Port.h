#pragma once
// The serial port as the link sees it: blocking reads and writes under a set of
// time-outs, purge, line settings. Backends: QSerialPort (real devices and
// ptys) and an in-memory port wired to a Peer under a Clock.
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>

namespace calorix {

// Milliseconds. A read returns when all requested bytes have arrived, when the
// gap after a received byte exceeds readInterval, or when the read total
// (readPerByte * n + readConstant) has run out, with what has arrived so far.
// A write returns when all bytes are queued or the write total has run out.
// 0 means "not used" for a field, as with the platform's serial driver.
struct Timeouts {
  std::uint32_t readInterval = 0;
  std::uint32_t readPerByte = 0;
  std::uint32_t readConstant = 0;
  std::uint32_t writePerByte = 0;
  std::uint32_t writeConstant = 0;
  bool operator==(const Timeouts&) const = default;
};

struct LineSettings {
  std::int32_t baudRate = 115200;
  std::uint8_t byteSize = 8;
  // 1 or 2; any other value keeps what the driver has.
  std::int32_t stopBits = 2;
};

class Port {
 public:
  virtual ~Port() = default;
  virtual void setQueueSizes(int inputBytes, int outputBytes) = 0;
  // Parity none and no flow control are fixed; see LineSettings for the rest.
  virtual void applyLine(const LineSettings& line) = 0;
  virtual Timeouts timeouts() const = 0;
  virtual void setTimeouts(const Timeouts& t) = 0;
  // Aborts pending transfers and empties both directions.
  virtual void purge() = 0;
  // Writes n bytes; true when all were queued. done receives the count moved.
  virtual bool write(const std::uint8_t* data, std::uint32_t n, std::uint32_t& done) = 0;
  // Reads up to n bytes under the current time-outs; returns the count.
  virtual std::uint32_t read(std::uint8_t* data, std::uint32_t n) = 0;
  virtual void close() = 0;
  // The far end went away for good (adapter pulled, line hung up): every
  // transfer now fails at once. A port that cannot tell says no.
  virtual bool lost() const { return false; }
  // Looks at the line without moving a byte, for a port that nothing uses
  // for a while: true once the far end has gone (lost() then says so too).
  virtual bool hungUp() { return lost(); }
};

// Opens a device by name; returns null when the open fails (no such device,
// in use, empty name).
using PortOpener = std::function<std::unique_ptr<Port>(const QString& device)>;

}  // namespace calorix
