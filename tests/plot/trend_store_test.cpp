#include <gtest/gtest.h>

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
