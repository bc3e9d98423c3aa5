#include "tuning/LawDetails.h"

#include <algorithm>
#include <cmath>

#include "tuning/Polynomial.h"

namespace calorix::tuning {
namespace {

constexpr double kFullPower = 100.0;
constexpr double kMaxGapS = 12.0;    // a longer gap between lines breaks a run of lines
constexpr double kStandingC = 0.02;  // a set point that moves less between lines stands
constexpr double kBandStepC = 0.1;   // bands are read to a tenth of a degree
constexpr double kScaleC = 1000.0;   // D's coefficient is fitted as a cubic of T / 1000
constexpr double kSmoothingGridS[] = {0,  2,  4,  6,  8,  10, 12, 14, 16,  18, 20,
                                      22, 25, 30, 35, 40, 50, 60, 80, 100, 120};

double setPoint(const LogRow& r) {
  return r.temperature + r.error;
}

bool hasError(const LogRow& r) {
  return present(r.temperature) && present(r.error);
}

// The temperature each row's stage is heading for: the set point where it
// next stands still.
std::vector<double> stageTemperatures(const TuningLog& log) {
  const auto& rows = log.rows;
  std::vector<double> target(rows.size(), kNone);
  double ahead = kNone;
  for (std::size_t k = rows.size(); k-- > 0;) {
    if (!hasError(rows[k])) {
      ahead = kNone;
      continue;
    }
    const bool last = k + 1 == rows.size() || !hasError(rows[k + 1]);
    if (last || std::abs(setPoint(rows[k + 1]) - setPoint(rows[k])) < kStandingC)
      ahead = setPoint(rows[k]);
    target[k] = ahead;
  }
  return target;
}

void readEasing(const RowRefs& eased, LawDetails& d) {
  const TuningLog* cached = nullptr;
  std::vector<double> targets;
  double widest = 0, nearestHeld = kNotSeen;
  for (const auto& [log, row] : eased) {
    if (log != cached) {
      targets = stageTemperatures(*log);
      cached = log;
    }
    const LogRow& r = log->rows[row];
    if (!hasError(r) || !present(targets[row]) || r.error <= 0) continue;
    const double below = targets[row] - r.temperature;
    if (below <= 0) continue;
    widest = std::max(widest, below);
    // With the set point already at the stage's temperature, the hold has not begun yet.
    if (std::abs(setPoint(r) - targets[row]) < kStandingC)
      nearestHeld = std::min(nearestHeld, below);
  }
  d.easingBandC = std::ceil(widest);
  d.holdBandC = nearestHeld == kNotSeen ? 0 : std::floor(nearestHeld / kBandStepC) * kBandStepC;
}

// The sum stands still where |e| is beyond its band, or where the power is at
// a limit the error pushes on. Where it stood at a limit with an error it is
// known to grow at, that was the limit; where it stood off the limits, the band.
void readIntegral(const std::vector<TuningLog>& logs, LawDetails& d) {
  double grewUpTo = 0, stoodFrom = kNotSeen;
  std::vector<double> stoodAtLimit;  // the larger error of such intervals
  for (const TuningLog& log : logs) {
    const auto& rows = log.rows;
    for (std::size_t k = 0; k + 1 < rows.size(); ++k) {
      const LogRow &a = rows[k], &b = rows[k + 1];
      const double dt = b.tS - a.tS;
      if (dt <= 0 || dt > kMaxGapS || !present(a.errorSum) || !present(b.errorSum) ||
          !present(a.error) || !present(b.error) || !present(a.power) || !present(b.power))
        continue;
      const double smaller = std::min(std::abs(a.error), std::abs(b.error));
      const bool still = std::abs(b.errorSum - a.errorSum) < 1e-9;
      auto pushing = [](const LogRow& r) {
        return (r.power >= kFullPower && r.error > 0) || (r.power <= 0 && r.error < 0);
      };
      if (!still)
        grewUpTo = std::max(grewUpTo, smaller);
      else if (pushing(a) || pushing(b))
        stoodAtLimit.push_back(std::max(std::abs(a.error), std::abs(b.error)));
      else if (smaller > 0)
        stoodFrom = std::min(stoodFrom, smaller);
    }
  }
  d.sumSeenUpToC = grewUpTo;
  // The band lies between the largest error the sum grew at and the smallest
  // it stood still at.
  if (stoodFrom != kNotSeen)
    d.integralBandC =
        std::round((std::max(grewUpTo, stoodFrom) + grewUpTo) / 2 / kBandStepC) * kBandStepC;
  for (double e : stoodAtLimit)
    if (e < grewUpTo) d.antiWindup = true;
}

// D against de/dt smoothed over a trial time constant, the coefficient a
// cubic of the temperature: the time constant that leaves the least misfit.
void readSmoothing(const std::vector<TuningLog>& logs, LawDetails& d) {
  double best = kNotSeen;
  for (double lag : kSmoothingGridS) {
    LeastSquares ls(4);
    std::vector<std::pair<std::array<double, 4>, double>> rows;
    for (const TuningLog& log : logs) {
      double f = 0;
      bool warm = false;
      double since = 0;
      for (std::size_t k = 1; k < log.rows.size(); ++k) {
        const LogRow &a = log.rows[k - 1], &b = log.rows[k];
        const double dt = b.tS - a.tS;
        if (dt <= 0 || dt > kMaxGapS || !present(a.error) || !present(b.error) || !present(b.d) ||
            !present(b.temperature)) {
          f = 0;
          warm = false;
          since = 0;
          continue;
        }
        // The smoothing runs each second on the error's change; between two
        // lines the error is taken to change evenly.
        const double keep = lag > 0 ? std::exp(-dt / lag) : 0.0;
        f = f * keep + (1 - keep) * (b.error - a.error) / dt;
        since += dt;
        warm = warm || since > 3 * lag + 2 * dt;
        if (!warm) continue;
        const double u = b.temperature / kScaleC;
        const std::array<double, 4> x = {f, f * u, f * u * u, f * u * u * u};
        ls.add(x.data(), b.d);
        rows.push_back({x, b.d});
      }
    }
    const auto beta = ls.solve();
    if (!beta || rows.size() < 20) continue;
    double sse = 0;
    for (const auto& [x, y] : rows) {
      double e = y;
      for (int j = 0; j < 4; ++j) e -= x[std::size_t(j)] * (*beta)[std::size_t(j)];
      sse += e * e;
    }
    if (sse < best) {
      best = sse;
      d.derivativeLagS = lag;
    }
  }
}

// The converter's step: the smallest change between lines that is common
// (a twentieth as common as the commonest at least: a log of ramps moves by
// two steps a line), read to a hundredth of a degree.
void readMeasurementStep(const std::vector<TuningLog>& logs, LawDetails& d) {
  constexpr double kBinC = 0.01, kLargestStepC = 1.0, kCommonShare = 0.05;
  std::vector<std::pair<int, double>> bins(std::size_t(kLargestStepC / kBinC));  // count, sum
  for (const TuningLog& log : logs)
    for (std::size_t k = 1; k < log.rows.size(); ++k) {
      const double step = std::abs(log.rows[k].temperature - log.rows[k - 1].temperature);
      if (!(step > 0 && step < kLargestStepC)) continue;
      auto& bin = bins[std::size_t(step / kBinC)];
      ++bin.first;
      bin.second += step;
    }
  int commonest = 0;
  for (const auto& b : bins) commonest = std::max(commonest, b.first);
  for (const auto& b : bins)
    if (commonest > 0 && b.first >= kCommonShare * commonest) {
      d.measurementStepC = b.second / b.first;
      return;
    }
}

QString band(double c) {
  return QString::number(c, 'g', 4);
}

}  // namespace

LawDetails readLawDetails(const std::vector<TuningLog>& all, const RowRefs& eased) {
  std::vector<TuningLog> logs;
  for (const TuningLog& log : all)
    if (log.kind == plot::LogKind::PidRun || log.kind == plot::LogKind::Stream) logs.push_back(log);
  LawDetails d;
  readEasing(eased, d);
  readIntegral(logs, d);
  readSmoothing(logs, d);
  readMeasurementStep(logs, d);
  return d;
}

QString LawDetails::statement() const {
  QStringList parts;
  if (easingBandC > 0)
    parts << QStringLiteral(
                 "P halved within %1 °C below the stage temperature until the hold (within %2 °C)")
                 .arg(band(easingBandC), band(holdBandC));
  QString sum =
      integralBandC == kNotSeen
          ? QStringLiteral("the sum grew at every error seen (up to %1 °C)").arg(band(sumSeenUpToC))
          : QStringLiteral("the sum grows only while |e| < %1 °C").arg(band(integralBandC));
  if (antiWindup) sum += QStringLiteral(" and stands still while the power is at a limit");
  parts << sum;
  parts << QStringLiteral("D smoothed over %1 s").arg(band(derivativeLagS));
  if (measurementStepC > 0)
    parts << QStringLiteral("temperature measured in steps of %1 °C").arg(band(measurementStepC));
  return parts.join(QStringLiteral("; "));
}

}  // namespace calorix::tuning
