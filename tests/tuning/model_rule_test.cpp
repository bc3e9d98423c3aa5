// The model-based rule: the law's finer points read from the controller's own
// log, the identified furnace run under that law foretelling what the
// simulated furnace does with the same words, the search keeping to its
// bounds, and the proposal beating the factory cubics on a known furnace
// with words the controller can hold.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "tests/support/FurnaceRunLog.h"
#include "tuning/Tuning.h"

namespace calorix::tuning {
namespace {

using testing::FurnaceRun;
using testing::runFurnace;

sim::FurnaceParams midFurnace() {
  sim::FurnaceParams p;
  p.maxRateCPerMin = 30;
  p.chamberLagS = 60;
  p.deadTimeS = 15;
  return p;
}

FurnaceRun referenceRun(const sim::FurnaceParams& p, const testing::PidCubics& words) {
  FurnaceRun run;
  run.furnace = p;
  for (const ReferenceStage& s : standardReference())
    run.stages.push_back({int(s.temperatureC), int(s.holdMin), int(s.speedCPerMin)});
  run.cubics = words;
  run.maxSeconds = 4 * 3600;
  return run;
}

LoopScore scoreOf(const testing::FurnaceRecord& r) {
  return scoreLoop({r.t, r.temperature, r.setPoint, r.power}, standardReference(),
                   r.t.back() < 4 * 3600);
}

testing::PidCubics pidCubics(const CubicWords& w) {
  testing::PidCubics out{};
  std::copy(w.begin(), w.end(), out.begin());
  return out;
}

CubicWords wordsOf(const testing::PidCubics& w) {
  CubicWords out{};
  std::copy(w.begin(), w.end(), out.begin());
  return out;
}

// The mid-size furnace's run under the factory cubics, as its log, once.
const testing::FurnaceRecord& factoryRun() {
  static const testing::FurnaceRecord r =
      runFurnace(referenceRun(midFurnace(), testing::kFactoryCubics));
  return r;
}

TuningLog factoryLog() {
  return tuningLogFrom(factoryRun().log, QDate(2026, 3, 5), QStringLiteral("factory.txt"));
}

TEST(LawDetails, TheControllersFinerPointsAreReadFromItsOwnLog) {
  // Steps at full speed: large errors, P eased in the last degrees before
  // each stage. Under the factory cubics every error beyond the sum's band
  // (30 °C) drives the power to its limit, so the band itself stays unseen
  // and the sum is known to grow only below it; under a weak KP the band shows.
  struct Case {
    const char* what;
    testing::PidCubics words;
    double band;  // kNotSeen: not to be seen
  };
  const Case cases[] = {
      {"factory cubics", testing::kFactoryCubics, kNotSeen},
      {"KP 2", {0, 0, 0, 2, 0, 0, 0, 10, 0, 0, 0, 0.01}, 30},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FurnaceRun run;
    run.stages = {{250, 25, 0}, {450, 25, 0}, {650, 25, 0}};
    run.cubics = c.words;
    run.maxSeconds = 3 * 3600;
    const RegulatorLaw law =
        deriveLaw({tuningLogFrom(runFurnace(run).log, QDate(2026, 3, 5), QStringLiteral("s"))});
    ASSERT_TRUE(law.holds) << law.refusal.toStdString();
    const LawDetails& d = law.details;
    EXPECT_EQ(d.easingBandC, 10);
    EXPECT_NEAR(d.holdBandC, 2, 0.5);
    EXPECT_NEAR(d.derivativeLagS, 20, 4);
    EXPECT_NEAR(d.measurementStepC, 0.33, 0.03);
    EXPECT_LT(d.sumSeenUpToC, 30) << "never grown beyond its band";
    if (c.band == kNotSeen) {
      EXPECT_EQ(d.integralBandC, kNotSeen);
      EXPECT_GT(d.sumSeenUpToC, 15);
      EXPECT_TRUE(d.antiWindup) << "it stood at a limit with errors it grows at elsewhere";
    } else {
      EXPECT_NEAR(d.integralBandC, c.band, 0.5);
    }
  }
}

TEST(ClosedLoop, ScoresWhatARunDidNotWhatItWasToDo) {
  // 10 °C/min from 0 to 100 °C, 20 minutes' hold; a line a second. The
  // temperature is the set point plus what each case adds.
  const std::vector<ReferenceStage> program = {{100, 20, 10}};
  struct Case {
    const char* what;
    double (*off)(double t, bool holding);  // °C above the set point
    double endS;
    double iae, overshoot, holdSwing, rampSwing;
  };
  const Case cases[] = {
      {"trailing the ramp by 2 °C, then on the mark", [](double, bool h) { return h ? 0.0 : -2.0; },
       1800, 20, 0, 0, 0},
      {"3 °C over for the first minute of the hold",
       [](double t, bool h) { return h && t < 660 ? 3.0 : 0.0; }, 1800, 3, 3, 0, 0},
      {"swinging ±1.5 °C in the hold",
       [](double t, bool h) { return h ? 1.5 * std::sin(t / 60) : 0.0; }, 1800, -1, 1.5, 3, 0},
      {"swinging ±0.5 °C on the ramp",
       [](double t, bool h) { return h ? 0.0 : 0.5 * std::sin(t / 60); }, 1800, -1, 0.5, 0, 1},
      {"stopped before the hold", [](double, bool) { return 0.0; }, 300, 0, 0, kNeverHeld, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    LoopTrace trace;
    for (double t = 0; t <= c.endS; ++t) {
      const double sp = std::min(100.0, t / 6);
      trace.t.push_back(t);
      trace.setPoint.push_back(sp);
      trace.temperature.push_back(sp + c.off(t, sp == 100));
      trace.power.push_back(0);
    }
    const LoopScore s = scoreLoop(trace, program, c.endS >= 1800);
    if (c.iae >= 0) EXPECT_NEAR(s.iae, c.iae, 0.1);
    EXPECT_NEAR(s.overshoot, c.overshoot, 0.01);
    ASSERT_EQ(s.holdSwing.size(), 1u);
    EXPECT_NEAR(s.holdSwing[0], c.holdSwing, 0.01);
    EXPECT_NEAR(s.worstRampSwing(), c.rampSwing, 0.01);
    if (c.holdSwing == kNeverHeld) EXPECT_EQ(s.worstSwing(), kNotSeen) << "never held is no calm";
  }
  // A program above what the logs cover runs to their top, in whole tens.
  const std::vector<ReferenceStage> within = referenceWithin(standardReference(), 745);
  ASSERT_EQ(within.size(), 2u);
  EXPECT_EQ(within[1].temperatureC, 740);
  EXPECT_EQ(referenceWithin(standardReference(), 590).size(), 1u) << "600 and 900 both become 590";
}

TEST(ClosedLoop, TheModelForetellsTheFurnaceUnderTheSameWords) {
  TuneOptions simc;
  simc.rule = Rule::Simc;
  const TuneResult r = tune({factoryLog()}, simc);
  ASSERT_TRUE(r.ok) << r.error.toStdString();
  const LoopModel model = loopModel(r.id.plant, r.law.details, r.law.sumPerSecond);
  struct Case {
    const char* what;
    CubicWords words;
  };
  const Case cases[] = {
      {"the factory cubics", wordsOf(testing::kFactoryCubics)},
      {"a derivative far beyond one word",
       wordsFor(Schedule{100, 1000, {10, 0.005, 400}, {6, 0.002, 300}})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const LoopScore furnace = scoreOf(runFurnace(referenceRun(midFurnace(), pidCubics(c.words))));
    const LoopScore foretold = simulateLoop(model, c.words, standardReference());
    ASSERT_TRUE(furnace.finished && foretold.finished);
    EXPECT_NEAR(foretold.iae, furnace.iae, 0.1 * furnace.iae);
    EXPECT_NEAR(foretold.overshoot, furnace.overshoot, 1.5);
    EXPECT_LT(std::abs(foretold.worstSwing() - furnace.worstSwing()), 1.0);
  }
}

TEST(ScheduleSearch, KeepsTheLeastErrorWithinTheBounds) {
  // A made-up loop: error falls as KP and KI grow, overshoot is KP at 500 °C,
  // and the second furnace swings once KD passes 50.
  auto nominal = [](const CubicWords& w) {
    LoopScore s;
    const double kp = coefficientOf(w, 0, 500), ki = coefficientOf(w, 2, 500);
    s.iae = 100 / std::max(kp, 1e-6) + 0.1 / std::max(ki, 1e-9);
    s.overshoot = kp;
    s.holdSwing = {0.2};
    s.rampSwing = {0.2};
    s.finished = ki < 0.05;  // more integral never settles
    return s;
  };
  auto margin = [](const CubicWords& w) {
    LoopScore s;
    s.holdSwing = {coefficientOf(w, 1, 500) > 50 ? 5.0 : 0.1};
    s.finished = true;
    return s;
  };
  SearchBounds bounds;
  bounds.overshootLimitC = 5;
  const Schedule from{0, 1, {1, 0.001, 10}, {1, 0.001, 10}};
  const SearchResult found = searchSchedule(nominal, margin, from, {100, 1000}, bounds);
  ASSERT_TRUE(found.feasible);
  // What the words give, as the loop saw it.
  const double kp = coefficientOf(found.words, 0, 500), ki = coefficientOf(found.words, 2, 500);
  EXPECT_LE(kp, 5.0);
  EXPECT_GT(kp, 4.5) << "the error falls with KP up to the bound";
  EXPECT_LT(ki, 0.05);
  EXPECT_GT(ki, 0.03);
  EXPECT_LE(coefficientOf(found.words, 1, 500), 50.0);
  EXPECT_GT(found.runs, 100);

  // Nothing meets an overshoot bound below every candidate's: said so.
  bounds.overshootLimitC = 1e-9;
  EXPECT_FALSE(searchSchedule(nominal, margin, from, {100, 1000}, bounds).feasible);
}

TEST(ModelRule, OnAKnownFurnaceItBeatsTheFactoryCubicsWithWordsTheControllerHolds) {
  const TuneResult r = tune({factoryLog()});
  ASSERT_TRUE(r.ok) << r.error.toStdString();
  ASSERT_TRUE(r.model && r.model->ok) << (r.model ? r.model->why.toStdString() : "no search");
  EXPECT_EQ(r.rule, Rule::Model);
  for (int col = 0; col < 3; ++col)
    for (double word : r.cubics[std::size_t(col)].cubic.c) {
      EXPECT_LE(std::abs(word), kCubicWordMax);
      EXPECT_DOUBLE_EQ(std::round(word * kCubicWordScale) / kCubicWordScale, word);
    }
  const LoopScore factory = scoreOf(factoryRun());
  const LoopScore proposed =
      scoreOf(runFurnace(referenceRun(midFurnace(), pidCubics(r.model->words))));
  EXPECT_LT(proposed.iae, 0.8 * factory.iae);
  EXPECT_LE(proposed.overshoot, 5.0);
  EXPECT_LE(proposed.worstSwing(), 1.0);
  EXPECT_NEAR(r.model->predicted.iae, proposed.iae, 0.1 * proposed.iae) << "as foretold";
  // The cubics put into the editor are the words the search ran.
  for (int i = 0; i < kCubicWords; ++i)
    EXPECT_EQ(r.cubics[std::size_t(i / 4)].cubic.c[std::size_t(3 - i % 4)],
              r.model->words[std::size_t(i)]);
}

}  // namespace
}  // namespace calorix::tuning
