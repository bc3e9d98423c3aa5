#include "plot/TrendStore.h"

#include <algorithm>

namespace calorix::plot {

void TrendStore::append(Sample sample) {
  if (!samples_.empty()) sample.timeMs = std::max(sample.timeMs, samples_.back().timeMs);
  const bool carriesStage = sample.stage >= 0 || sample.program >= 0;
  if (carriesStage) {
    const bool changed = marks_.empty() || marks_.back().program != sample.program ||
                         marks_.back().stage != sample.stage;
    if (changed) marks_.push_back({sample.timeMs, sample.program, sample.stage});
  }
  samples_.push_back(sample);
}

void TrendStore::clear() {
  samples_.clear();
  marks_.clear();
}

std::size_t TrendStore::indexAt(qint64 timeMs) const {
  auto it = std::upper_bound(samples_.begin(), samples_.end(), timeMs,
                             [](qint64 t, const Sample& s) { return t < s.timeMs; });
  return it == samples_.begin() ? 0 : std::size_t(it - samples_.begin()) - 1;
}

std::vector<QPointF> TrendStore::view(Quantity q, qint64 fromMs, qint64 toMs, int columns) const {
  std::vector<QPointF> out;
  if (samples_.empty() || toMs < fromMs) return out;
  columns = std::max(columns, 1);
  // One sample either side of the range, so the curve runs to the edges.
  auto lo = std::lower_bound(samples_.begin(), samples_.end(), fromMs,
                             [](const Sample& s, qint64 t) { return s.timeMs < t; });
  auto hi = std::upper_bound(lo, samples_.end(), toMs,
                             [](qint64 t, const Sample& s) { return t < s.timeMs; });
  if (lo != samples_.begin()) --lo;
  if (hi != samples_.end()) ++hi;
  const auto count = std::size_t(hi - lo);
  if (count <= std::size_t(2 * columns)) {
    for (auto it = lo; it != hi; ++it)
      if (it->has(q)) out.emplace_back(double(it->timeMs), it->value(q));
    return out;
  }
  const double span = double(std::max<qint64>(toMs - fromMs, 1));
  out.reserve(std::size_t(2 * columns + 4));
  auto column = [&](qint64 t) {
    return std::clamp(int((double(t - fromMs) / span) * columns), -1, columns);
  };
  auto it = lo;
  while (it != hi) {
    const int c = column(it->timeMs);
    const Sample* low = nullptr;
    const Sample* high = nullptr;
    for (; it != hi && column(it->timeMs) == c; ++it) {
      if (!it->has(q)) continue;
      if (!low || it->value(q) < low->value(q)) low = &*it;
      if (!high || it->value(q) > high->value(q)) high = &*it;
    }
    if (!low) continue;
    const Sample* first = low->timeMs <= high->timeMs ? low : high;
    const Sample* second = first == low ? high : low;
    out.emplace_back(double(first->timeMs), first->value(q));
    if (second != first) out.emplace_back(double(second->timeMs), second->value(q));
  }
  return out;
}

}  // namespace calorix::plot
