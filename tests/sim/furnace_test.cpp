// The furnace's physics on its own: heating and cooling rates, the room, the
// thermocouple curve.
#include <gtest/gtest.h>

#include <cmath>

#include "sim/Furnace.h"

namespace calorix::sim {
namespace {

double runMinutes(Furnace& f, double minutes, double power) {
  for (int s = 0; s < minutes * 60; ++s) f.step(1.0, power);
  return f.chamberC();
}

TEST(Furnace, FullPowerHeatsAboutTwentyDegreesPerMinuteWhenCold) {
  Furnace f;
  runMinutes(f, 6, 100);  // the dead time and the lining's lag
  const double a = f.chamberC();
  const double b = runMinutes(f, 5, 100);
  EXPECT_NEAR((b - a) / 5, 20.0, 1.5);
}

TEST(Furnace, FullPowerLevelsOffNearTwelveHundred) {
  Furnace f;
  const double day = runMinutes(f, 24 * 60, 100);
  EXPECT_NEAR(day, 1200, 10);
  EXPECT_LT(day, 1200 + f.params().roomDriftC + 1e-6) << "never above its equilibrium";
}

TEST(Furnace, RateFallsWithTemperatureAndPowerIsClamped) {
  // Heating rate at a given power slows as losses grow; power above 100 % is 100 %.
  struct Case {
    double startC, power;
  };
  double previousRate = 1e9;
  for (const Case& c : {Case{100, 100}, Case{500, 100}, Case{900, 100}}) {
    FurnaceParams p;
    p.startC = c.startC;
    p.chamberLagS = 0;
    p.deadTimeS = 0;
    Furnace f(p);
    const double rate = runMinutes(f, 1, c.power) - c.startC;
    EXPECT_LT(rate, previousRate) << c.startC;
    previousRate = rate;
  }
  FurnaceParams p;
  p.chamberLagS = 0;
  p.deadTimeS = 0;
  Furnace over(p), full(p);
  runMinutes(over, 3, 250);
  runMinutes(full, 3, 100);
  EXPECT_DOUBLE_EQ(over.chamberC(), full.chamberC());
}

TEST(Furnace, WithoutPowerItCoolsTowardsTheRoomAndNoFurther) {
  FurnaceParams p;
  p.startC = 800;
  Furnace f(p);
  // At 800 °C half of the losses at 1200 °C go by conduction in proportion to
  // the rise, 10 x 778 / 1178 °C/min, and radiation adds 10 x 0.28 (the ratio
  // of the fourth powers of the absolute temperatures above the room's).
  const double afterOne = runMinutes(f, 1, 0);
  EXPECT_NEAR(800 - afterOne, 10.0 * 778 / 1178 + 10.0 * 0.2804, 0.3);
  runMinutes(f, 3 * 24 * 60, 0);
  EXPECT_NEAR(f.chamberC(), f.roomC(), 1.0);
  EXPECT_GE(f.chamberC(), p.roomC - p.roomDriftC - 1e-6);
}

// The chamber answers a power step only after the dead time, then through the
// lining's lag; the hotter it is, the less a percent of power is worth and the
// sooner it settles (losses grow faster than the temperature).
TEST(Furnace, StepResponseHasItsDeadTimeLagAndFallingGain) {
  struct Case {
    double deadS, lagS;
  };
  for (const Case c : {Case{0, 60}, Case{15, 60}, Case{40, 180}}) {
    FurnaceParams p;
    p.deadTimeS = c.deadS;
    p.chamberLagS = c.lagS;
    p.startC = 500;
    p.roomDriftC = 0;
    // Twins with the same history: their difference is the step response alone.
    Furnace held(p), stepped(p);
    const double hold = 100 * held.lossRate(500) / held.fullPowerRate();
    for (int s = 0; s < 600; ++s) {
      held.step(1, hold);
      stepped.step(1, hold);
    }
    auto rise = [&] { return stepped.chamberC() - held.chamberC(); };
    double t = 0;
    while (rise() < 0.01 && t < 600) {
      held.step(1, hold);
      stepped.step(1, hold + 20);
      ++t;
    }
    EXPECT_GE(t, c.deadS) << "nothing moves before the dead time";
    EXPECT_LT(t, c.deadS + 0.2 * c.lagS + 5) << "it moves soon after";
    // After the lag the step climbs at the rate 20 % buys, less the losses its rise adds.
    for (int s = 0; s < 5 * c.lagS; ++s) {
      held.step(1, hold);
      stepped.step(1, hold + 20);
    }
    const double before = rise();
    held.step(60, hold);
    stepped.step(60, hold + 20);
    EXPECT_NEAR(rise() - before, 0.2 * 20 - 60 * held.lossSlope(500) * before, 0.2) << c.deadS;
  }
  const Furnace f;
  EXPECT_GT(f.lossSlope(900), 2 * f.lossSlope(300)) << "the time constant shortens when hot";
}

TEST(Furnace, RoomDriftsSlowlyAroundItsMean) {
  Furnace f;
  double lo = 1e9, hi = -1e9, biggestStep = 0, last = f.roomC();
  for (int m = 0; m < 8 * 60; ++m) {
    runMinutes(f, 1, 0);
    lo = std::min(lo, f.roomC());
    hi = std::max(hi, f.roomC());
    biggestStep = std::max(biggestStep, std::abs(f.roomC() - last));
    last = f.roomC();
  }
  EXPECT_NEAR(lo, 22 - 0.6, 0.05);
  EXPECT_NEAR(hi, 22 + 0.6, 0.05);
  EXPECT_LT(biggestStep, 0.02) << "per minute";
}

TEST(ThermocoupleCurve, VoltageAndTemperatureRoundTripAtTypeKSensitivity) {
  const ThermocoupleCurve curve;
  for (double t : {0.0, 1.0, 100.0, 500.0, 1000.0, 1300.0}) {
    const double mv = curve.millivolts(t);
    EXPECT_NEAR(curve.temperature(mv), t, 1e-9) << t;
    if (t > 0) {
      EXPECT_NEAR(mv / t, 0.041, 0.002) << t;  // ~41 µV/°C
    }
  }
  EXPECT_LT(curve.millivolts(500), curve.millivolts(501));
}

TEST(Furnace, ThermocoupleFollowsTheChamberAboveTheRoom) {
  FurnaceParams p;
  p.startC = 622;
  Furnace f(p);
  EXPECT_NEAR(f.curve().temperature(f.thermocoupleMv()), 622 - f.roomC(), 1e-6);
}

}  // namespace
}  // namespace calorix::sim
