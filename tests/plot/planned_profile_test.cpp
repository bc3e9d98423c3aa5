// The planned course of a program as the controller runs it, and the
// stretches where the furnace fell behind it.
#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>

#include "plot/PlannedProfile.h"

using namespace calorix;
using namespace calorix::plot;

namespace {

constexpr qint64 kMin = 60'000;
constexpr qint64 kStart = 1'772'700'000'000;  // any moment

struct StageRow {
  int temperature, stabMinutes, speed;
};

ProgramTable program(int stage0Value, std::initializer_list<StageRow> rows) {
  ProgramTable p{};
  p[0][kColStabTime] = stage0Value;
  int k = 1;
  for (const StageRow& r : rows) {
    p[std::size_t(k)] = {k, r.temperature, r.stabMinutes, r.speed};
    ++k;
  }
  return p;
}

struct ProfileCase {
  const char* name;
  ProgramTable program;
  double startTemperature;
  std::vector<PlanPoint> corners;  // times relative to the start
  std::vector<std::pair<qint64, double>> at;
};

TEST(PlannedProfile, CornersAndValuesOfTheCourseAsTheControllerRunsIt) {
  const double nan = std::nan("");
  const ProfileCase cases[] = {
      {"ramp up at 10 °C/min, hold 30 min",
       program(0, {{500, 30, 10}}),
       20,
       {{0, 20}, {48 * kMin, 500}, {78 * kMin, 500}},
       {{24 * kMin, 260}, {60 * kMin, 500}, {78 * kMin, 500}, {78 * kMin + 1, nan}, {-1, nan}}},
      {"ramp down at 5 °C/min after the hold",
       program(0, {{500, 10, 10}, {300, 0, 5}}),
       500,
       {{0, 500}, {10 * kMin, 500}, {50 * kMin, 300}},
       {{30 * kMin, 400}}},
      {"the stage-0 value: a delayed start where the furnace is",
       program(15, {{100, 0, 2}}),
       20,
       {{0, 20}, {15 * kMin, 20}, {55 * kMin, 100}},
       {{10 * kMin, 20}, {35 * kMin, 60}}},
      {"speed 0: a step at once, then the hold",
       program(0, {{200, 5, 0}, {400, 0, 0}}),
       20,
       {{0, 20}, {0, 200}, {5 * kMin, 200}, {5 * kMin, 400}},
       {{0, 200}, {kMin, 200}, {5 * kMin, 400}}},
      {"the first empty stage ends the program",
       program(0, {{300, 1, 10}, {0, 50, 1}, {900, 50, 1}}),
       300,
       {{0, 300}, {kMin, 300}},
       {{2 * kMin, nan}}},
      {"an empty program has no plan, its stage-0 value neither",
       program(20, {}),
       20,
       {},
       {{0, nan}}},
  };
  for (const ProfileCase& c : cases) {
    SCOPED_TRACE(c.name);
    const auto plan = plannedProfile(planStages(c.program), kStart, c.startTemperature);
    ASSERT_EQ(plan.size(), c.corners.size());
    for (std::size_t i = 0; i < plan.size(); ++i) {
      EXPECT_EQ(plan[i].timeMs - kStart, c.corners[i].timeMs) << i;
      EXPECT_DOUBLE_EQ(plan[i].temperature, c.corners[i].temperature) << i;
    }
    for (const auto& [t, expected] : c.at) {
      const double v = plannedAt(plan, kStart + t);
      if (std::isnan(expected))
        EXPECT_TRUE(std::isnan(v)) << t << " gave " << v;
      else
        EXPECT_DOUBLE_EQ(v, expected) << t;
    }
  }
}

Sample temperatureAt(qint64 t, double temperature) {
  Sample s;
  s.timeMs = t;
  s.set(Quantity::Temperature, temperature);
  return s;
}

// A flat plan of 100 °C for 100 s; the furnace dips twice and falls away at its end.
TEST(LagIntervals, StretchesBeginAndEndWhereTheLagCrossesTheMargin) {
  const std::vector<PlanPoint> plan{{0, 100}, {100'000, 100}};
  TrendStore store;
  const double temperatures[] = {100, 100, 95, 80, 85, 97, 100, std::nan(""), 90, 100, 50, 0};
  for (int i = 0; i < 12; ++i) store.append(temperatureAt(i * 10'000, temperatures[i]));

  struct Case {
    double margin;
    std::vector<LagInterval> expected;
  };
  const Case cases[] = {
      // 95 at 20 s is exactly the margin: not yet behind. The absent value at 70 s is passed
      // over; the last stretch ends with the plan at 100 s, not at the sample after it.
      {5, {{20'000, 48'333}, {70'000, 85'000}, {91'000, 100'000}}},
      {20, {{94'000, 100'000}}},
      {60, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.margin);
    EXPECT_EQ(lagIntervals(store, plan, c.margin), c.expected);
    // Kept up frame by frame (a stretch still open when the next frames come), the same.
    TrendStore growing;
    LagFinder finder;
    for (int i = 0; i < 12; ++i) {
      growing.append(temperatureAt(i * 10'000, temperatures[i]));
      finder.update(growing, plan, c.margin);
    }
    EXPECT_EQ(finder.update(growing, plan, c.margin), c.expected);
    // Another store starts over.
    EXPECT_EQ(finder.update(TrendStore(), plan, c.margin), std::vector<LagInterval>{});
  }
  EXPECT_TRUE(lagIntervals(store, {}, 5).empty());
}

}  // namespace
