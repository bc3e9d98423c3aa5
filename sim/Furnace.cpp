#include "sim/Furnace.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace calorix::sim {

double ThermocoupleCurve::millivolts(double t) const {
  double mv = c != 0.0 ? (t - d) / c : 0.0;
  for (int i = 0; i < 20; ++i) {
    const double slope = (3 * a * mv + 2 * b) * mv + c;
    if (slope == 0.0) break;
    const double step = (temperature(mv) - t) / slope;
    mv -= step;
    if (std::abs(step) < 1e-12) break;
  }
  return mv;
}

Furnace::Furnace(FurnaceParams params)
    : params_(params), chamberC_(params.startC >= 0 ? params.startC : params.roomC) {}

double Furnace::roomC() const {
  return params_.roomC +
         params_.roomDriftC * std::sin(2 * std::numbers::pi * elapsedS_ / params_.roomDriftPeriodS);
}

void Furnace::step(double dtSeconds, double powerPercent) {
  if (dtSeconds <= 0) return;
  const double commanded = std::clamp(powerPercent, 0.0, 100.0);
  // The element follows the command with its own lag (exact first-order step).
  const double lag = params_.heaterLagS > 0 ? std::exp(-dtSeconds / params_.heaterLagS) : 0.0;
  deliveredPercent_ = commanded + (deliveredPercent_ - commanded) * lag;

  // C dT/dt = P - k (T - room). At full power and T = room the rate is
  // maxRate; at steady state full power holds fullPowerSteadyC.
  const double room = roomC();
  const double maxRate = params_.maxRateCPerMin / 60.0;  // °C/s at full power
  const double lossPerS = maxRate / (params_.fullPowerSteadyC - params_.roomC);  // k / C
  const double equilibrium = room + deliveredPercent_ / 100.0 * maxRate / lossPerS;
  chamberC_ = equilibrium + (chamberC_ - equilibrium) * std::exp(-lossPerS * dtSeconds);
  elapsedS_ += dtSeconds;
}

}  // namespace calorix::sim
