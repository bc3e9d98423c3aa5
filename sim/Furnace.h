#pragma once
// The physical furnace behind the controller: heating elements whose power
// reaches the chamber after a dead time and through the lag of the lining, a
// chamber losing heat to the room by conduction and, growing fast with
// temperature, by radiation, a room that drifts slowly, and a type-K-like
// thermocouple whose voltage follows the chamber temperature. So the furnace's
// gain and time constant fall as it gets hotter, as a real one's do.
// Everything runs in simulated seconds; the firmware decides how fast those pass.
#include <QtGlobal>

#include <deque>

namespace calorix::sim {

// Temperature (°C above the cold junction) as a cubic of the thermocouple
// voltage in millivolts: T = a*U^3 + b*U^2 + c*U + d. The controller's
// calibration words hold the same four numbers; the model's thermocouple is the
// exact inverse of the default curve, so the defaults reproduce the model.
struct ThermocoupleCurve {
  double a = 0.00002;
  double b = -0.004;
  double c = 24.6;
  double d = 0.0;

  double temperature(double mv) const { return ((a * mv + b) * mv + c) * mv + d; }
  // The voltage that gives temperature t on this curve (Newton from the
  // linear guess; the curve is monotonic over the furnace's range).
  double millivolts(double t) const;
};

// Defaults: a mid-size electric chamber furnace.
struct FurnaceParams {
  double roomC = 22.0;      // mean room temperature
  double roomDriftC = 0.6;  // amplitude of the slow room drift
  double roomDriftPeriodS = 4 * 3600.0;
  double maxRateCPerMin = 20.0;  // heating rate at full power with the chamber at room temperature
  double fullPowerSteadyC = 1200.0;  // where full power levels off
  // Share of the losses at fullPowerSteadyC that goes by conduction (linear in
  // the temperature rise); the rest is radiation (fourth power of the absolute
  // temperature).
  double conductionShare = 0.5;
  double chamberLagS = 60.0;  // the lag of the lining between the elements and the chamber
  double deadTimeS = 15.0;    // from a change of the power command to the elements' response
  double startC = -1.0;       // chamber temperature at start; below 0 = the room's
};

class Furnace {
 public:
  explicit Furnace(FurnaceParams params = {});

  // Advances the model by dt simulated seconds with the heater commanded to
  // powerPercent (0..100; clamped) for the whole step.
  void step(double dtSeconds, double powerPercent);

  double chamberC() const { return chamberC_; }
  double roomC() const;
  // Power that reaches the chamber, after the dead time and the lining's lag (percent).
  double deliveredPercent() const { return deliveredPercent_; }
  double elapsedS() const { return elapsedS_; }
  // Thermocouple voltage: hot junction in the chamber, cold junction at room.
  double thermocoupleMv() const { return curve_.millivolts(chamberC_ - roomC()); }
  const ThermocoupleCurve& curve() const { return curve_; }
  const FurnaceParams& params() const { return params_; }

  // The chamber's heat loss at temperature t with the room at its mean, in °C/s
  // of the chamber's own heating, and its slope in 1/s: at steady state the
  // power that holds t is 100 * loss / rate, and the chamber's time constant
  // there is 1 / slope.
  double lossRate(double t) const;
  double lossSlope(double t) const;
  double fullPowerRate() const { return params_.maxRateCPerMin / 60.0; }  // °C/s

 private:
  FurnaceParams params_;
  ThermocoupleCurve curve_;
  double conductionPerS_;  // 1/s
  double radiationPerS_;   // °C/s per K^4
  double chamberC_;
  double deliveredPercent_ = 0.0;
  double elapsedS_ = 0.0;
  // Commands still on their way: (the time they were given, percent).
  std::deque<std::pair<double, double>> pending_;
  double acting_ = 0.0;  // the command that reaches the elements now
};

}  // namespace calorix::sim
