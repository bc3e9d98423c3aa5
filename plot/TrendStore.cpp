#include "plot/TrendStore.h"

#include <algorithm>
#include <atomic>
#include <limits>

#include "plot/ValueWord.h"

namespace calorix::plot {

// One quantity's values: a word a sample, the values no word holds kept
// whole (by sample index, in order), and the pyramid of its extremes.
struct TrendStore::Column {
  Chunked<std::uint32_t> words;
  std::vector<double> aside;                        // by the number in their words
  std::vector<std::pair<std::size_t, double>> far;  // beyond the numbers: by sample index
  Extremes extremes;
  std::size_t present = 0;

  std::uint32_t word(std::size_t i) const { return words[i]; }
  double valueOf(std::uint32_t w, std::size_t i) const {
    if (word::isFloat(w)) return double(std::bit_cast<float>(w));
    if (!word::isAside(w)) return word::decode(w);
    if (const std::size_t k = word::asideNumber(w)) return aside[k - 1];
    const auto it =
        std::lower_bound(far.begin(), far.end(), i,
                         [](const auto& kept, std::size_t at) { return kept.first < at; });
    return it->second;
  }
  double value(std::size_t i) const { return valueOf(words[i], i); }
  template <class F>
  void scan(std::size_t a, std::size_t b, F&& f) const {
    words.forEach(a, b, [&](std::size_t i, std::uint32_t w) { f(i, valueOf(w, i)); });
  }
  void push(double v) {
    const std::size_t i = words.size();
    if (const auto w = word::encode(v)) {
      words.push_back(*w);
    } else if (aside.size() < word::kMaxAside) {
      aside.push_back(v);
      words.push_back(word::asideWord(aside.size()));
    } else {
      words.push_back(word::kKeptFar);
      far.emplace_back(i, v);
    }
    if (!std::isnan(v)) ++present;
    extremes.grew(words.size(), *this);
  }
  std::size_t bytes() const {
    return sizeof(Column) + words.bytes() + aside.capacity() * sizeof(aside[0]) + extremes.bytes();
  }
};

namespace {

std::atomic<std::uint64_t> nextStoreId{1};
// A column of a view takes whole blocks of samples once a block is at most this share of it.
constexpr std::size_t kSnapColumnsPerBlock = 8;

}  // namespace

TrendStore::TrendStore() : id_(nextStoreId++) {}
TrendStore::~TrendStore() = default;
TrendStore::TrendStore(TrendStore&&) noexcept = default;
TrendStore& TrendStore::operator=(TrendStore&&) noexcept = default;

TrendStore::Column& TrendStore::column(Quantity q) {
  auto& c = columns_[std::size_t(q)];
  if (!c) {
    // The samples before its first value did not carry it.
    c = std::make_unique<Column>();
    for (std::size_t i = 0; i < size(); ++i) c->push(kAbsent);
  }
  return *c;
}

void TrendStore::append(const Sample& sample) {
  const qint64 t = empty() ? sample.timeMs : std::max(sample.timeMs, lastMs());
  if (segments_.empty() || t - segments_.back().second > qint64(UINT32_MAX))
    segments_.emplace_back(size(), t);
  for (const QuantityInfo& info : kQuantities) {
    const double v = sample.value(info.quantity);
    auto& c = columns_[std::size_t(info.quantity)];
    if (c)
      c->push(v);
    else if (!std::isnan(v))
      column(info.quantity).push(v);
  }
  times_.push_back(std::uint32_t(t - segments_.back().second));

  const bool carriesStage = sample.stage >= 0 || sample.program >= 0;
  if (carriesStage) {
    const bool changed = marks_.empty() || marks_.back().program != sample.program ||
                         marks_.back().stage != sample.stage;
    if (changed) marks_.push_back({t, sample.program, sample.stage});
  }
  if (runs_.empty() || runs_.back().program != sample.program ||
      runs_.back().stage != sample.stage || runs_.back().source != sample.source)
    runs_.push_back({size() - 1, sample.program, sample.stage, sample.source});
}

void TrendStore::clear() {
  *this = TrendStore();
}

qint64 TrendStore::segmentTime(std::size_t i) const {
  const auto it = std::upper_bound(segments_.begin(), segments_.end(), i,
                                   [](std::size_t at, const auto& s) { return at < s.first; });
  return (it - 1)->second + qint64(times_[i]);
}

double TrendStore::value(std::size_t i, Quantity q) const {
  const auto& c = columns_[std::size_t(q)];
  return c ? c->value(i) : kAbsent;
}

bool TrendStore::carries(Quantity q) const {
  const auto& c = columns_[std::size_t(q)];
  return c && c->present > 0;
}

bool TrendStore::carries(Quantity q, std::size_t from, std::size_t to) const {
  const auto& c = columns_[std::size_t(q)];
  if (!c || c->present == 0) return false;
  Extremes::Found found;
  c->extremes.find(from, std::min(to, size()), *c, found);
  return found.any();
}

Sample TrendStore::sample(std::size_t i) const {
  Sample s;
  s.timeMs = timeAt(i);
  for (const QuantityInfo& info : kQuantities) s.set(info.quantity, value(i, info.quantity));
  const auto run = std::upper_bound(runs_.begin(), runs_.end(), i,
                                    [](std::size_t at, const Run& r) { return at < r.first; }) -
                   1;
  s.program = run->program;
  s.stage = run->stage;
  s.source = run->source;
  return s;
}

std::size_t TrendStore::lowerIndex(qint64 timeMs) const {
  std::size_t lo = 0, hi = size();
  while (lo < hi) {
    const std::size_t mid = lo + (hi - lo) / 2;
    if (timeAt(mid) < timeMs)
      lo = mid + 1;
    else
      hi = mid;
  }
  return lo;
}

std::size_t TrendStore::upperIndex(qint64 timeMs) const {
  std::size_t lo = 0, hi = size();
  while (lo < hi) {
    const std::size_t mid = lo + (hi - lo) / 2;
    if (timeAt(mid) <= timeMs)
      lo = mid + 1;
    else
      hi = mid;
  }
  return lo;
}

std::size_t TrendStore::indexAt(qint64 timeMs) const {
  const std::size_t after = upperIndex(timeMs);
  return after == 0 ? 0 : after - 1;
}

std::vector<QPointF> TrendStore::view(Quantity q, qint64 fromMs, qint64 toMs, int columns) const {
  return view(q, viewColumns(fromMs, toMs, columns));
}

TrendStore::ViewColumns TrendStore::viewColumns(qint64 fromMs, qint64 toMs, int columns) const {
  ViewColumns v;
  if (empty() || toMs < fromMs) return v;
  columns = std::max(columns, 1);
  // One sample either side of the range, so the curve runs to the edges.
  v.lo = lowerIndex(fromMs);
  v.hi = upperIndex(toMs);
  if (v.lo > 0) --v.lo;
  if (v.hi < size()) ++v.hi;
  if (v.hi - v.lo <= std::size_t(2 * columns)) return v;
  const double span = double(std::max<qint64>(toMs - fromMs, 1));
  // The pixel column of a sample: -1 before the range, columns after it.
  const auto columnOf = [&](std::size_t i) {
    const double x = (double(timeAt(i) - fromMs) / span) * columns;
    return int(std::clamp(x, -1.0, double(columns)));
  };
  // Each column's samples follow one another: where the next column starts.
  // With many samples a column, columns start at block bounds of the
  // extremes' pyramid, a block at most an eighth of a column wide: a column
  // then reads a few block extremes and not one sample (a day at line rate
  // is 2,400 samples a pixel), and a sample lands at most an eighth of a
  // pixel from its column.
  const std::size_t perColumn = (v.hi - v.lo) / std::size_t(columns);
  std::size_t block = 1;
  for (std::size_t b = Extremes::kLeaf; b * kSnapColumnsPerBlock <= perColumn; b *= Extremes::kFan)
    block = b;
  std::size_t i = v.lo;
  v.starts.push_back(i);
  for (;;) {
    const int c = columnOf(i);
    // The first block start after i in a later column.
    std::size_t a = i / block + 1, b = (v.hi - 1) / block + 1;
    while (a < b) {
      const std::size_t mid = a + (b - a) / 2;
      if (columnOf(mid * block) <= c)
        a = mid + 1;
      else
        b = mid;
    }
    if (a * block >= v.hi) break;
    i = a * block;
    v.starts.push_back(i);
  }
  v.starts.push_back(v.hi);
  v.block = block;
  return v;
}

std::vector<QPointF> TrendStore::view(Quantity q, const ViewColumns& columns) const {
  return view(q, columns, nullptr);
}

std::vector<QPointF> TrendStore::view(Quantity q, const ViewColumns& columns,
                                      ViewMemo& memo) const {
  return view(q, columns, &memo);
}

std::vector<QPointF> TrendStore::view(Quantity q, const ViewColumns& columns,
                                      ViewMemo* memo) const {
  std::vector<QPointF> out;
  const auto& c = columns_[std::size_t(q)];
  if (!c || c->present == 0 || columns.hi <= columns.lo) return out;
  if (columns.starts.empty()) {
    for (std::size_t i = columns.lo; i < columns.hi; ++i)
      if (const double v = c->value(i); !std::isnan(v)) out.emplace_back(double(timeAt(i)), v);
    return out;
  }
  // The columns kept from the last view, in order as the new ones are.
  std::vector<ViewMemo::Kept> before, kept;
  if (memo) {
    if (memo->store_ != id_) memo->kept_ = {};
    memo->store_ = id_;
    before = std::move(memo->kept_[std::size_t(q)]);
    kept.reserve(columns.starts.size());
  }
  std::size_t k = 0;
  out.reserve(2 * columns.starts.size());
  for (std::size_t g = 0; g + 1 < columns.starts.size(); ++g) {
    const std::size_t from = columns.starts[g], to = columns.starts[g + 1];
    while (k < before.size() && before[k].from < from) ++k;
    Extremes::Found found;
    if (k < before.size() && before[k].from == from && before[k].to == to)
      found = before[k].found;
    else
      c->extremes.find(from, to, *c, found);
    if (memo) kept.push_back({from, to, found});
    if (!found.any()) continue;
    const qint64 lowMs = timeAt(found.low), highMs = timeAt(found.high);
    const bool lowFirst = lowMs <= highMs;
    out.emplace_back(double(lowFirst ? lowMs : highMs),
                     lowFirst ? found.lowValue : found.highValue);
    if (found.low != found.high)
      out.emplace_back(double(lowFirst ? highMs : lowMs),
                       lowFirst ? found.highValue : found.lowValue);
  }
  if (memo) memo->kept_[std::size_t(q)] = std::move(kept);
  return out;
}

std::size_t TrendStore::bytesUsed() const {
  std::size_t n = sizeof(*this) + times_.bytes() + segments_.capacity() * sizeof(segments_[0]) +
                  runs_.capacity() * sizeof(Run) + marks_.capacity() * sizeof(StageMark);
  for (const auto& c : columns_)
    if (c) n += c->bytes();
  return n;
}

}  // namespace calorix::plot
