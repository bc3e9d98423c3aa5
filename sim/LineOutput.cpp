#include "sim/LineOutput.h"

#include <algorithm>

namespace calorix::sim {
namespace {
constexpr std::uint8_t kFiller = 0x55;  // what a controller that keeps sending sends
}

LineOutput::Put LineOutput::put(std::uint8_t byte, qint64 at) {
  Faults& f = faults_;
  const auto index = std::int64_t(produced_++ - faultBase_);
  if (f.silent) return Put::Changed;
  if (f.muteAt >= 0 && index == f.muteAt) {
    f.muteAt = -1;
    mutedUntil_ = std::max(at, lastDue_) + f.muteMs;
  }
  if (std::max(at, lastDue_) < mutedUntil_) return Put::Changed;
  if (f.dropAt >= 0 && index == f.dropAt) {
    f.dropAt = -1;
    return Put::Changed;
  }
  Put result = Put::Sent;
  if (f.replaceAt >= 0 && index == f.replaceAt) {
    f.replaceAt = -1;
    if (byte != f.replaceWith) result = Put::Changed;
    byte = f.replaceWith;
  }
  at = std::max(at, lastDue_);
  if (f.delayAt >= 0 && index == f.delayAt) {
    f.delayAt = -1;
    at += f.delayMs;
  }
  lastDue_ = at;
  queue_.push_back({at, byte});
  return result;
}

void LineOutput::putBlock(const std::vector<std::uint8_t>& data, qint64 at) {
  std::size_t n = data.size();
  Faults& f = faults_;
  if (f.shortBlockBytes >= 0 && !f.silent) {
    n = std::min(n, std::size_t(f.shortBlockBytes));
    f.shortBlockBytes = -1;
  }
  for (std::size_t i = 0; i < n; ++i) put(data[i], at);
}

void LineOutput::setFaults(const Faults& faults, qint64 now) {
  faults_ = faults;
  faultBase_ = produced_;
  mutedUntil_ = 0;
  nextFillerAt_ = now;
}

bool LineOutput::takeRefusal(std::uint8_t code) {
  if (faults_.refuseCommand < 0 || code != std::uint8_t(faults_.refuseCommand)) return false;
  faults_.refuseCommand = -1;
  return true;
}

std::optional<qint64> LineOutput::nextOutputTime() const {
  std::optional<qint64> t;
  if (!queue_.empty()) t = queue_.front().at;
  if (!faults_.silent && faults_.keepSending && (!t || nextFillerAt_ < *t)) t = nextFillerAt_;
  return t;
}

std::size_t LineOutput::take(std::uint8_t* out, std::size_t max, qint64 now) {
  std::size_t n = 0;
  std::size_t fillers = 0;
  while (n < max) {
    // Filler bytes of a controller that keeps sending, one per millisecond.
    if (faults_.keepSending && nextFillerAt_ <= now && fillers < max &&
        (queue_.empty() || queue_.front().at > nextFillerAt_)) {
      put(kFiller, nextFillerAt_);
      ++nextFillerAt_;
      ++fillers;
    }
    if (queue_.empty() || queue_.front().at > now) break;
    out[n++] = queue_.front().byte;
    sent_.push_back(queue_.front().byte);
    queue_.pop_front();
  }
  return n;
}

}  // namespace calorix::sim
