#include "sim/Furnace.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace calorix::sim {
namespace {
constexpr double kKelvin = 273.15;
double fourth(double celsius) {
  const double k = celsius + kKelvin;
  return k * k * k * k;
}
}  // namespace

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
    : params_(params), chamberC_(params.startC >= 0 ? params.startC : params.roomC) {
  // At fullPowerSteadyC the losses take all of full power: conductionShare of
  // it through the walls, the rest radiated.
  const double share = std::clamp(params_.conductionShare, 0.0, 1.0);
  const double rise = std::max(1.0, params_.fullPowerSteadyC - params_.roomC);
  conductionPerS_ = share * fullPowerRate() / rise;
  const double radiated = fourth(params_.fullPowerSteadyC) - fourth(params_.roomC);
  radiationPerS_ = radiated > 0 ? (1 - share) * fullPowerRate() / radiated : 0.0;
}

double Furnace::roomC() const {
  return params_.roomC +
         params_.roomDriftC * std::sin(2 * std::numbers::pi * elapsedS_ / params_.roomDriftPeriodS);
}

double Furnace::lossRate(double t) const {
  return conductionPerS_ * (t - params_.roomC) +
         radiationPerS_ * (fourth(t) - fourth(params_.roomC));
}

double Furnace::lossSlope(double t) const {
  const double k = t + kKelvin;
  return conductionPerS_ + 4 * radiationPerS_ * k * k * k;
}

void Furnace::step(double dtSeconds, double powerPercent) {
  if (dtSeconds <= 0) return;
  // The command reaches the elements deadTimeS after it was given.
  pending_.emplace_back(elapsedS_, std::clamp(powerPercent, 0.0, 100.0));
  elapsedS_ += dtSeconds;
  while (!pending_.empty() && pending_.front().first <= elapsedS_ - params_.deadTimeS) {
    acting_ = pending_.front().second;
    pending_.pop_front();
  }
  // The chamber follows the elements through the lining (exact first-order step).
  const double lag = params_.chamberLagS > 0 ? std::exp(-dtSeconds / params_.chamberLagS) : 0.0;
  deliveredPercent_ = acting_ + (deliveredPercent_ - acting_) * lag;

  // dT/dt = rate * P / 100 - loss(T), integrated in sub-steps short against
  // the chamber's time constant (radiation makes the loss stiff only when hot).
  const double room = roomC();
  const double drift = room - params_.roomC;  // the losses follow the room as it drifts
  const double gain = fullPowerRate() * deliveredPercent_ / 100.0;
  constexpr int kSubSteps = 4;
  const double h = dtSeconds / kSubSteps;
  for (int i = 0; i < kSubSteps; ++i) {
    const double slope = lossSlope(chamberC_ - drift);
    const double rise = gain - lossRate(chamberC_ - drift);
    // Linearised implicit step: stable however hot the chamber is.
    chamberC_ += h * rise / (1 + h * slope);
  }
}

}  // namespace calorix::sim
