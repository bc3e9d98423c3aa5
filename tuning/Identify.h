#pragma once
// The furnace identified from its logs. The chamber's heat balance,
//   dT/dt = b·x(t) − loss(T),   lag·dx/dt = u(t − dead) − x,
// with u the heater power (%), is fitted over every stretch of every log: the
// dead time and the lining's lag by search, b and the loss curve (through the
// walls, in proportion to the temperature, and radiated, in proportion to the
// fourth power of the absolute temperature) by least squares on the
// temperature's change over short windows. Per temperature band it gives what a tuning rule needs:
// the gain, the time constant and the dead time of the first-order-plus-dead-time model that the
// band's step response fits (28 % and 63 % points), and how well the model foretells the band's own
// measurements.
#include <QString>

#include <functional>
#include <vector>

#include "tuning/Polynomial.h"
#include "tuning/TuningLog.h"

namespace calorix::tuning {

// loss(T) = c0 + c1·(T / 1000) + c2·((T + 273.15) / 1000)^4, °C/s.
struct LossCurve {
  double c0 = 0, c1 = 0, c2 = 0;
  double operator()(double t) const;
  double slope(double t) const;  // 1/s
};

struct HeatBalance {
  double b = 0;      // °C/s per % of power
  double deadS = 0;  // s
  double lagS = 0;   // s, the lining's lag
  LossCurve loss;
  double fromC = 0, toC = 0;  // the temperatures the logs cover
  double residual = 0;        // rms of the windows' misfit, °C

  double lossSlope(double t) const { return loss.slope(t); }
};

// A first-order-plus-dead-time model.
struct Fopdt {
  double gain = 0;   // °C per % of power
  double tauS = 0;   // s
  double deadS = 0;  // s
};

struct BandModel {
  double fromC = 0, toC = 0;
  int rows = 0;
  bool excited = false;
  QString why;  // why not, when not excited
  Fopdt fopdt;
  double integratingGain = 0;  // b: °C/s of heating per % of power
  double deadS = 0, lagS = 0;  // the heat balance's own dead time and lag
  double chamberTauS = 0;      // 1 / loss'(T) at the band's middle
  double fitPercent = 0;  // 100·(1 − |T − T̂| / |T − mean T|) over the band's measurements
  double middle() const { return (fromC + toC) / 2; }
};

struct Identification {
  bool ok = false;
  QString error;
  HeatBalance plant;
  std::vector<BandModel> bands;
};

struct IdentifyOptions {
  double bandWidthC = 100;
  // Called as the search goes on: trials done, trials in all.
  std::function<void(int done, int total)> progress;
};

Identification identify(const std::vector<TuningLog>& logs, const IdentifyOptions& options = {});

// One visit of the logs to a band: the measured temperature and what the
// identified balance foretells from the visit's first line on.
struct BandVisit {
  std::vector<double> t;  // s since the log's first line
  std::vector<double> measured, model;
};
std::vector<BandVisit> bandVisits(const HeatBalance& plant, const std::vector<TuningLog>& logs,
                                  double fromC, double toC);

// The first-order-plus-dead-time model of a step response sampled at times
// (s after the step) with values from y0 to yEnd, for a step of stepPercent,
// by the tangent at its steepest point: the dead time where the tangent leaves
// y0, the time constant the tangent takes from y0 to yEnd. A furnace's time
// constant is a hundred times its dead time: the tangent reads the dead time
// from the response's start, where 28 % and 63 % points would read it as a
// small difference of two long times. Used on the identified model and on the
// furnace itself, so that both are read alike.
Fopdt tangentFit(const std::vector<double>& times, const std::vector<double>& values, double y0,
                 double yEnd, double stepPercent);

// The step response of the identified heat balance from equilibrium at t0 for
// a power step of stepPercent: (times, values) at 1 s, long enough to settle.
std::pair<std::vector<double>, std::vector<double>> modelStepResponse(const HeatBalance& plant,
                                                                      double t0,
                                                                      double stepPercent);

}  // namespace calorix::tuning
