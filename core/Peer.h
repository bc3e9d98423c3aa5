#pragma once
// The far end of a serial line as seen through time: bytes go in with the time
// they were sent, bytes come out once the time they are due has come. The
// controller emulator is one; the in-memory port talks to it under the virtual
// clock, the pty server under the real one.
#include <QtGlobal>

#include <cstddef>
#include <cstdint>
#include <optional>

namespace calorix {

class Peer {
 public:
  virtual ~Peer() = default;
  // One byte from the console, sent at atMs.
  virtual void receive(std::uint8_t byte, qint64 atMs) = 0;
  // Let the far end's own work (regulator cycles, frames, idle time-outs)
  // run up to nowMs.
  virtual void advanceTo(qint64 nowMs) = 0;
  // When the next byte will be ready to read, if anything is pending or
  // scheduled (a byte already due returns a time <= now). Empty when the far
  // end will send nothing unless it hears from the console.
  virtual std::optional<qint64> nextOutputTime() const = 0;
  // Takes up to max bytes that are due at nowMs.
  virtual std::size_t take(std::uint8_t* out, std::size_t max, qint64 nowMs) = 0;
};

}  // namespace calorix
