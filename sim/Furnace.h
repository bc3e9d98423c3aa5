#pragma once
// The physical furnace behind the controller: a heated chamber losing heat to
// the room, a room that drifts slowly, and a type-K-like thermocouple whose
// voltage follows the chamber temperature. Everything runs in simulated
// seconds; the firmware decides how fast those pass.
#include <QtGlobal>

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

struct FurnaceParams {
  double roomC = 22.0;      // mean room temperature
  double roomDriftC = 0.6;  // amplitude of the slow room drift
  double roomDriftPeriodS = 4 * 3600.0;
  double maxRateCPerMin = 20.0;  // heating rate at full power with the chamber at room temperature
  double fullPowerSteadyC = 1200.0;  // where full power levels off
  double heaterLagS = 15.0;          // the heating element's own thermal lag
  double startC = -1.0;              // chamber temperature at start; below 0 = the room's
};

class Furnace {
 public:
  explicit Furnace(FurnaceParams params = {});

  // Advances the model by dt simulated seconds with the heater at powerPercent
  // (0..100; clamped) for the whole step.
  void step(double dtSeconds, double powerPercent);

  double chamberC() const { return chamberC_; }
  double roomC() const;
  // Power the element actually delivers, after its lag (percent).
  double deliveredPercent() const { return deliveredPercent_; }
  double elapsedS() const { return elapsedS_; }
  // Thermocouple voltage: hot junction in the chamber, cold junction at room.
  double thermocoupleMv() const { return curve_.millivolts(chamberC_ - roomC()); }
  const ThermocoupleCurve& curve() const { return curve_; }
  const FurnaceParams& params() const { return params_; }

 private:
  FurnaceParams params_;
  ThermocoupleCurve curve_;
  double chamberC_;
  double deliveredPercent_ = 0.0;
  double elapsedS_ = 0.0;
};

}  // namespace calorix::sim
