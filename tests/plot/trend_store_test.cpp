#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <optional>

#include "plot/TrendStore.h"

using namespace calorix::plot;

namespace {

Sample at(qint64 t, double temperature, int stage = -1) {
  Sample s;
  s.timeMs = t;
  s.set(Quantity::Temperature, temperature);
  s.program = stage < 0 ? -1 : 1;
  s.stage = stage;
  return s;
}

}  // namespace

// A view of many samples per column keeps each column's extremes, so a spike
// between pixels still shows; absent values are not drawn as zeros.
TEST(TrendStore, ViewKeepsEachColumnsLowestAndHighestInTimeOrder) {
  TrendStore store;
  for (int i = 0; i < 1000; ++i) store.append(at(i, i == 437 ? 900.0 : 100.0 + (i % 7)));
  Sample gap;
  gap.timeMs = 1000;
  store.append(gap);

  const auto points = store.view(Quantity::Temperature, 0, 999, 10);
  ASSERT_LE(points.size(), 2u * 10 + 2);
  double highest = 0, lowest = 1e9;
  for (std::size_t i = 0; i < points.size(); ++i) {
    highest = std::max(highest, points[i].y());
    lowest = std::min(lowest, points[i].y());
    if (i) {
      EXPECT_LE(points[i - 1].x(), points[i].x());
    }
  }
  EXPECT_EQ(highest, 900.0);
  EXPECT_EQ(lowest, 100.0);
  EXPECT_TRUE(store.view(Quantity::HeaterPower, 0, 1000, 10).empty());
}

TEST(TrendStore, FewSamplesAreDrawnAsTheyAreWithOneEitherSideOfTheRange) {
  TrendStore store;
  for (int i = 0; i < 10; ++i) store.append(at(i * 1000, i));
  const auto points = store.view(Quantity::Temperature, 3500, 5500, 800);
  ASSERT_EQ(points.size(), 4u);
  EXPECT_EQ(points.front().x(), 3000.0);
  EXPECT_EQ(points.back().x(), 6000.0);
}

TEST(TrendStore, StageMarksAtEachChangeAndAClockSetBackKeepsTheOrder) {
  TrendStore store;
  store.append(at(0, 20, 1));
  store.append(at(1000, 21, 1));
  store.append(at(2000, 22, 2));
  store.append(at(1500, 23, 2));  // clock set back
  store.append(at(3000, 24));     // a source without stages marks nothing
  EXPECT_EQ(store.stageMarks(), (std::vector<StageMark>{{0, 1, 1}, {2000, 1, 2}}));
  EXPECT_EQ(store.samples()[3].timeMs, 2000);
  EXPECT_EQ(store.indexAt(2500), 3u);
  EXPECT_EQ(store.indexAt(-5), 0u);
}

// What goes in comes out as the same double: the export prints every digit
// the log or the frame had, whether a value fits a float, a short decimal or
// neither; and the program, stage and source of every sample; across a gap
// longer than 32 bits of milliseconds.
TEST(TrendStore, EverySampleReadsBackExactlyAsAppended) {
  const double values[] = {
      0.0,
      -0.0,
      401.25,
      -2.25,
      0.1,
      12.34,
      -5242.87,
      1234.5678,
      0.0001,
      1.52587890625e-05,
      65535.9999847412109375,
      -4294967295.0,
      123456.789012345,
      1e300,
      -1e-300,
      5e-324,
      3.4e38 * 4,
      1e22,
      0.3,
      99999.99,
  };
  constexpr qint64 kT0 = 1'772'700'000'000;
  std::vector<Sample> in;
  for (std::size_t i = 0; i < std::size(values); ++i) {
    Sample s;
    // Ten days apart: the times outrun 32 bits of ms halfway.
    s.timeMs = kT0 + qint64(i) * 10 * 86'400'000LL;
    s.set(Quantity::Temperature, values[i]);
    s.set(Quantity::Error, -values[std::size(values) - 1 - i]);
    if (i % 3 == 0) s.set(Quantity::HeaterPower, double(i));  // a column with gaps
    s.program = i < 5 ? -1 : 2;
    s.stage = int(i / 4);
    s.source = i % 2 ? Source::Stream : Source::PidRun;
    in.push_back(s);
  }
  TrendStore store;
  for (const Sample& s : in) store.append(s);
  ASSERT_EQ(store.size(), in.size());
  const auto bits = [](double v) { return std::bit_cast<std::uint64_t>(v); };
  for (std::size_t i = 0; i < in.size(); ++i) {
    SCOPED_TRACE(i);
    const Sample out = store.sample(i);
    EXPECT_EQ(out.timeMs, in[i].timeMs);
    for (const QuantityInfo& q : kQuantities)
      EXPECT_EQ(bits(out.value(q.quantity)), bits(in[i].value(q.quantity))) << q.key;
    EXPECT_EQ(out.program, in[i].program);
    EXPECT_EQ(out.stage, in[i].stage);
    EXPECT_EQ(out.source, in[i].source);
    EXPECT_EQ(store.indexAt(in[i].timeMs), i);
  }
  EXPECT_FALSE(store.carries(Quantity::SetSpeed));
  EXPECT_TRUE(store.carries(Quantity::HeaterPower, 3, 4));
  EXPECT_FALSE(store.carries(Quantity::HeaterPower, 4, 6));
}

// Where each pixel column of a view starts, by the obvious walk over every
// sample (one sample either side of the range included, as the view does).
std::vector<std::size_t> pixelColumnStarts(const TrendStore& store, qint64 from, qint64 to,
                                           int columns) {
  std::size_t lo = store.lowerIndex(from), hi = store.upperIndex(to);
  if (lo > 0) --lo;
  if (hi < store.size()) ++hi;
  const double span = double(std::max<qint64>(to - from, 1));
  auto column = [&](std::size_t i) {
    return int(std::clamp(double(store.timeAt(i) - from) / span * columns, -1.0, double(columns)));
  };
  std::vector<std::size_t> starts;
  for (std::size_t i = lo; i < hi; ++i)
    if (i == lo || column(i) != column(i - 1)) starts.push_back(i);
  starts.push_back(hi);
  return starts;
}

// The lowest and highest value of each stretch between starts, by the obvious
// scan, in time order.
std::vector<QPointF> scanned(const TrendStore& store, Quantity q,
                             const std::vector<std::size_t>& starts) {
  std::vector<QPointF> out;
  for (std::size_t g = 0; g + 1 < starts.size(); ++g) {
    std::optional<std::size_t> low, high;
    for (std::size_t i = starts[g]; i < starts[g + 1]; ++i) {
      const double v = store.value(i, q);
      if (std::isnan(v)) continue;
      if (!low || v < store.value(*low, q)) low = i;
      if (!high || v > store.value(*high, q)) high = i;
    }
    if (!low) continue;
    const std::size_t a = std::min(*low, *high), b = std::max(*low, *high);
    out.emplace_back(double(store.timeAt(a)), store.value(a, q));
    if (b != a) out.emplace_back(double(store.timeAt(b)), store.value(b, q));
  }
  return out;
}

// A day of the stream in miniature: noise, stretches without a value, and
// one sample far above and one far below the rest. Every zoom, from the
// whole to a few samples a column, shows both where they fall in its range.
// A view is each pixel column's lowest and highest sample; where a column
// holds many samples, of a column whose bounds are those of blocks within a
// block of the pixel's.
TEST(TrendStore, AOneSampleSpikeSurvivesEveryZoomAndViewsAreEachColumnsExtremes) {
  TrendStore store;
  constexpr int kCount = 120'000;
  constexpr std::size_t kSpike = 48'457, kDip = 100'003;  // the spike amid absent values
  std::uint32_t noise = 1;
  for (int i = 0; i < kCount; ++i) {
    Sample s;
    s.timeMs = qint64(i) * 25 + (i > 60'000 ? 3'600'000 : 0);  // an hour without frames
    noise = noise * 1664525u + 1013904223u;
    const bool absent = (i / 2000) % 7 == 3;
    if (!absent) s.set(Quantity::Temperature, 400 + double(noise >> 24) / 64.0);
    if (std::size_t(i) == kSpike) s.set(Quantity::Temperature, 1300);
    if (std::size_t(i) == kDip) s.set(Quantity::Temperature, -50);
    store.append(s);
  }
  const qint64 spikeMs = store.timeAt(kSpike), dipMs = store.timeAt(kDip), last = store.lastMs();
  struct Zoom {
    qint64 from, to;
    int columns;
  };
  std::vector<Zoom> zooms = {{0, last, 1600},
                             {0, last, 1},
                             {0, last, 7},
                             {spikeMs - 1, spikeMs + 1, 1600},
                             {spikeMs, dipMs, 333},
                             {spikeMs + 1, dipMs - 1, 1000},
                             {-5'000'000, last * 2, 1600}};
  for (qint64 width = last; width > 100; width /= 3)
    for (const qint64 at : {spikeMs, dipMs})
      for (const int columns : {1456, 40})
        zooms.push_back({at - width / 3, at + width - width / 3, columns});
  int snapped = 0;
  for (const Zoom& z : zooms) {
    SCOPED_TRACE(testing::Message() << z.from << ".." << z.to << " in " << z.columns);
    const TrendStore::ViewColumns columns = store.viewColumns(z.from, z.to, z.columns);
    const std::vector<QPointF> view = store.view(Quantity::Temperature, columns);
    EXPECT_LE(view.size(), std::size_t(2 * z.columns + 4));
    const std::vector<std::size_t> pixel = pixelColumnStarts(store, z.from, z.to, z.columns);
    if (columns.block == 1) {
      EXPECT_EQ(view, scanned(store, Quantity::Temperature, pixel));
    } else {
      ++snapped;
      EXPECT_EQ(view, scanned(store, Quantity::Temperature, columns.starts));
      ASSERT_GE(columns.starts.size(), 2u);
      EXPECT_EQ(columns.starts.front(), pixel.front());
      EXPECT_EQ(columns.starts.back(), pixel.back());
      for (std::size_t g = 1; g + 1 < columns.starts.size(); ++g) {
        const std::size_t start = columns.starts[g];
        EXPECT_EQ(start % columns.block, 0u);
        // The pixel column's own start lies within the block before.
        const auto own = std::upper_bound(pixel.begin(), pixel.end(), start) - 1;
        EXPECT_LT(start - *own, columns.block) << start;
      }
    }
    for (const QPointF& extreme : {QPointF(double(spikeMs), 1300), QPointF(double(dipMs), -50)})
      if (extreme.x() >= double(z.from) && extreme.x() <= double(z.to)) {
        EXPECT_NE(std::find(view.begin(), view.end(), extreme), view.end()) << extreme.y();
      }
  }
  EXPECT_GT(snapped, 3);
}

// A view that takes the columns it found before gives what a fresh view
// gives: while the store grows and is followed, when the range jumps, and
// when the memo meets another store of the same length but other values.
TEST(TrendStore, AViewFromItsMemoIsTheFreshView) {
  const auto fill = [](TrendStore& store, int from, int to, double offset) {
    for (int i = from; i < to; ++i) {
      Sample s;
      s.timeMs = qint64(i) * 25;
      if (i % 5000 > 300) s.set(Quantity::Temperature, offset + double((i * 7919) % 1000) / 8);
      s.set(Quantity::HeaterPower, i == 150'321 ? 100.0 : double(i % 97) / 2);
      store.append(s);
    }
  };
  TrendStore a, b;
  fill(a, 0, 200'000, 0);
  fill(b, 0, 200'000, 500);
  TrendStore::ViewMemo memo;
  struct Step {
    TrendStore* store;
    int grow;         // samples appended before the view
    qint64 from, to;  // -1: from the first sample, to the last
    int columns;
  };
  const std::vector<Step> steps = {{&a, 0, -1, -1, 200},
                                   {&a, 1, -1, -1, 200},
                                   {&a, 40, -1, -1, 200},
                                   {&a, 7, -1, -1, 200},
                                   {&a, 0, 1'000'000, -1, 200},
                                   {&a, 3, 1'000'000, -1, 200},
                                   {&a, 0, -1, -1, 150},
                                   {&a, 9000, -1, -1, 150},
                                   {&b, 9051, -1, -1, 150},
                                   {&a, 0, -1, -1, 150},
                                   {&b, 0, 3'000'000, 4'000'000, 60}};
  for (std::size_t n = 0; n < steps.size(); ++n) {
    SCOPED_TRACE(n);
    const Step& step = steps[n];
    TrendStore& store = *step.store;
    const int size = int(store.size());
    fill(store, size, size + step.grow, store.id() == a.id() ? 0 : 500);
    const qint64 from = step.from < 0 ? store.firstMs() : step.from;
    const qint64 to = step.to < 0 ? store.lastMs() : step.to;
    const TrendStore::ViewColumns columns = store.viewColumns(from, to, step.columns);
    ASSERT_GT(columns.block, 1u);
    for (const Quantity q : {Quantity::Temperature, Quantity::HeaterPower})
      EXPECT_EQ(store.view(q, columns, memo), store.view(q, columns)) << int(q);
  }
}
