#include "tuning/Rules.h"

#include <algorithm>
#include <cmath>

namespace calorix::tuning {
namespace {
// A lag-dominant band is treated as integrating (SIMC's rule for τ > 8θ).
constexpr double kIntegratingRatio = 8.0;
constexpr double kIntegralTimes = 4.0;  // SIMC: τI = 4 (τc + θ)
constexpr double kMinDeadS = 1.0;       // a dead time is never zero on a furnace
}  // namespace

const std::vector<RuleInfo>& rules() {
  static const std::vector<RuleInfo> list = {
      {Rule::Model, "model",
       "model-based: the identified furnace run under the derived law over a reference program "
       "(10 °C/min to 600 °C, 30 min, 10 °C/min to 900 °C, 30 min); KP, KI, KD straight lines "
       "of the temperature with the least integral of absolute error whose overshoot stays "
       "within 4.5 °C and whose holds settle, also with dead time, lag and gain 15 % larger"},
      {Rule::Simc, "simc",
       "SIMC (Skogestad) on the second-order model: closed-loop time = dead time, integral "
       "time 4 (τc + θ) or the time constant, derivative time = the lining's lag (as far as "
       "a KD limit allows, the rest of the lag counted half as dead time)"},
      {Rule::Amigo, "amigo", "AMIGO (Åström–Hägglund) PID on the first-order-plus-dead-time model"},
      {Rule::ZieglerNichols, "zn",
       "Ziegler–Nichols step-response PID on the first-order-plus-dead-time model "
       "(fast, little margin)"},
  };
  return list;
}

std::optional<Rule> ruleByKey(const QString& key) {
  for (const RuleInfo& r : rules())
    if (key == QLatin1String(r.key)) return r.rule;
  return std::nullopt;
}

const RuleInfo& infoOf(Rule rule) {
  for (const RuleInfo& r : rules())
    if (r.rule == rule) return r;
  return rules().front();
}

Pid propose(Rule rule, const BandModel& band, double sumPerSecond, double kdLimit) {
  // Ideal (parallel) form: u = Kc (e + 1/τI ∫e dt + τD de/dt).
  double kc = 0, ti = 1, td = 0;
  const double k = band.fopdt.gain, tau = band.fopdt.tauS;
  const double theta = std::max(band.fopdt.deadS, kMinDeadS);
  switch (rule) {
    case Rule::Simc: {
      // The band's own pieces: the true dead time, the lining's lag, the
      // chamber's time constant (integrating approximation when it is long).
      const double b = band.integratingGain;
      double dead = std::max(band.deadS, kMinDeadS);
      double t1 = band.chamberTauS;
      double tdSeries = band.lagS;
      auto simc = [&] {
        const double tauC = dead;  // "tight" control: the closed loop as fast as the dead time
        kc = 1.0 / (b * (tauC + dead));  // τ1 / (K (τc + θ)) with K = b τ1
        ti = t1 > kIntegratingRatio * dead ? kIntegralTimes * (tauC + dead)
                                           : std::min(t1, kIntegralTimes * (tauC + dead));
      };
      // The derivative cancels as much of the lag as the KD limit allows; the
      // rest counts half as dead time (the half rule).
      // KD = Kc(τD)·τD grows with τD: the largest τD that fits, by bisection.
      auto withDerivative = [&](double tdTry) {
        const double left = band.lagS - tdTry;
        dead = std::max(band.deadS, kMinDeadS) + left / 2;
        t1 = band.chamberTauS + left / 2;
        simc();
        return kc * tdTry;
      };
      tdSeries = band.lagS;
      if (withDerivative(tdSeries) > kdLimit) {
        double lo = 0, hi = band.lagS;
        for (int i = 0; i < 40; ++i) {
          const double mid = (lo + hi) / 2;
          (withDerivative(mid) > kdLimit ? hi : lo) = mid;
        }
        tdSeries = lo;
        withDerivative(tdSeries);
      }
      // Series to parallel: Kc' = Kc (1 + τD/τI), τI' = τI + τD, τD' = τI τD / (τI + τD).
      const double kcP = kc * (1 + tdSeries / ti);
      const double tiP = ti + tdSeries;
      td = ti * tdSeries / (ti + tdSeries);
      kc = kcP;
      ti = tiP;
      break;
    }
    case Rule::Amigo:
      kc = (0.2 + 0.45 * tau / theta) / k;
      ti = (0.4 * theta + 0.8 * tau) / (theta + 0.1 * tau) * theta;
      td = 0.5 * theta * tau / (0.3 * theta + tau);
      break;
    case Rule::ZieglerNichols:
      kc = 1.2 * tau / (k * theta);
      ti = 2 * theta;
      td = 0.5 * theta;
      break;
    case Rule::Model:  // not a rule of one band: tuning/ModelRule
      return {};
  }
  Pid pid;
  pid.kp = kc;
  pid.ki = kc / ti / (sumPerSecond > 0 ? sumPerSecond : 1.0);
  pid.kd = std::min(kc * td, kdLimit);
  return pid;
}

namespace {

constexpr double kWordScaleC = 1000.0;  // powers of T / 1000 keep the normal equations sound
constexpr double kFitsShare = 0.10;     // a cubic that misses a value by more no longer fits

// Least squares for the words of the given powers; the others stay as they are.
bool fitPowers(const std::vector<double>& temps, const std::vector<double>& values,
               const std::vector<int>& powers, Cubic& cubic) {
  if (powers.empty()) return true;
  LeastSquares ls(int(powers.size()));
  for (std::size_t k = 0; k < temps.size(); ++k) {
    std::array<double, LeastSquares::kMax> x{};
    const double u = temps[k] / kWordScaleC;
    for (std::size_t j = 0; j < powers.size(); ++j) x[j] = std::pow(u, powers[j]);
    ls.add(x.data(), values[k] - cubic(temps[k]));
  }
  const auto beta = ls.solve();
  if (!beta) return false;
  for (std::size_t j = 0; j < powers.size(); ++j)
    cubic.c[std::size_t(powers[j])] = (*beta)[j] / std::pow(kWordScaleC, powers[j]);
  return true;
}

}  // namespace

FittedCubic fitControllerCubic(const std::vector<double>& temps,
                               const std::vector<double>& values) {
  FittedCubic out;
  const int degree = std::min<int>(3, int(temps.size()) - 1);
  if (degree < 0) return out;
  std::vector<int> free;
  for (int power = degree; power >= 0; --power) free.push_back(power);
  auto refit = [&] {
    for (int power : free) out.cubic.c[std::size_t(power)] = 0;
    fitPowers(temps, values, free, out.cubic);
  };
  // A word beyond the controller's range is held at its limit, the largest
  // first, and the others fitted again to what it leaves.
  refit();
  while (!free.empty()) {
    auto worst = free.end();
    for (auto it = free.begin(); it != free.end(); ++it)
      if (std::abs(out.cubic.c[std::size_t(*it)]) > kCubicWordMax &&
          (worst == free.end() ||
           std::abs(out.cubic.c[std::size_t(*it)]) > std::abs(out.cubic.c[std::size_t(*worst)])))
        worst = it;
    if (worst == free.end()) break;
    double& word = out.cubic.c[std::size_t(*worst)];
    word = std::copysign(kCubicWordMax, word);
    out.heldAtLimit = true;
    free.erase(worst);
    refit();
  }
  // Words of 1e-8 from the highest power down, the lower ones fitted again
  // after each rounding, so the rounding of A (which counts a thousand
  // million times at 1000 °C) is made good by the others.
  while (!free.empty()) {
    double& word = out.cubic.c[std::size_t(free.front())];
    word = std::round(word * kCubicWordScale) / kCubicWordScale;
    free.erase(free.begin());
    refit();
  }
  double largest = 0;
  for (double v : values) largest = std::max(largest, std::abs(v));
  for (std::size_t k = 0; k < temps.size(); ++k)
    out.worstMisfit = std::max(out.worstMisfit, std::abs(out.cubic(temps[k]) - values[k]));
  out.fits = !out.heldAtLimit || out.worstMisfit <= kFitsShare * largest;
  return out;
}

}  // namespace calorix::tuning
