#pragma once
// What the controller sends, byte by byte with the time each byte is due, and
// the deterministic faults that act on it as the bytes are counted out.
#include <QtGlobal>

#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

#include "sim/ControllerOptions.h"

namespace calorix::sim {

class LineOutput {
 public:
  // Changed: the byte was dropped, replaced by another or swallowed by silence.
  enum class Put { Sent, Changed };

  Put put(std::uint8_t byte, qint64 at);
  // A data block: the short-block fault cuts it.
  void putBlock(const std::vector<std::uint8_t>& data, qint64 at);

  // Arms faults; output counters start from the bytes produced so far and
  // filler bytes from now.
  void setFaults(const Faults& faults, qint64 now);
  const Faults& faults() const { return faults_; }
  bool silent() const { return faults_.silent; }
  // True once for a command byte equal to the armed refusal.
  bool takeRefusal(std::uint8_t code);

  // Bytes queued and not yet taken.
  std::size_t queuedBytes() const { return queue_.size(); }
  // When the next queued or filler byte is due.
  std::optional<qint64> nextOutputTime() const;
  // Up to max bytes due at now.
  std::size_t take(std::uint8_t* out, std::size_t max, qint64 now);

  const std::vector<std::uint8_t>& sent() const { return sent_; }
  void clearSent() { sent_.clear(); }

 private:
  struct Pending {
    qint64 at;
    std::uint8_t byte;
  };

  Faults faults_;
  std::deque<Pending> queue_;
  std::vector<std::uint8_t> sent_;
  std::uint64_t produced_ = 0;
  std::uint64_t faultBase_ = 0;
  qint64 lastDue_ = 0;
  qint64 nextFillerAt_ = 0;
  qint64 mutedUntil_ = 0;  // bytes due before this are lost (Faults::muteAt)
};

}  // namespace calorix::sim
