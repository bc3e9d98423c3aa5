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
  runMinutes(f, 1, 100);  // the element's lag
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
    p.heaterLagS = 0;
    Furnace f(p);
    const double rate = runMinutes(f, 1, c.power) - c.startC;
    EXPECT_LT(rate, previousRate) << c.startC;
    previousRate = rate;
  }
  FurnaceParams p;
  p.heaterLagS = 0;
  Furnace over(p), full(p);
  runMinutes(over, 3, 250);
  runMinutes(full, 3, 100);
  EXPECT_DOUBLE_EQ(over.chamberC(), full.chamberC());
}

TEST(Furnace, WithoutPowerItCoolsTowardsTheRoomAndNoFurther) {
  FurnaceParams p;
  p.startC = 800;
  Furnace f(p);
  // The losses at 800 °C are what full power would make up for at 1200 °C in
  // proportion: 20 °C/min x (800 - 22) / (1200 - 22) of cooling at first.
  const double afterOne = runMinutes(f, 1, 0);
  EXPECT_NEAR(800 - afterOne, 20.0 * 778 / 1178, 0.5);
  runMinutes(f, 3 * 24 * 60, 0);
  EXPECT_NEAR(f.chamberC(), f.roomC(), 1.0);
  EXPECT_GE(f.chamberC(), p.roomC - p.roomDriftC - 1e-6);
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
