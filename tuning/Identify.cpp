#include "tuning/Identify.h"

#include <algorithm>
#include <cmath>

namespace calorix::tuning {
namespace {

constexpr double kMaxGapS = 12.0;  // a longer pause between lines starts a new stretch
constexpr int kMinStretchRows = 10;
constexpr double kWindowS = 20.0;   // the temperature's change is taken over this long
constexpr double kScaleC = 1000.0;  // the loss curve is fitted in T / 1000
constexpr double kKelvin = 273.15;
constexpr double kMaxDeadS = 300.0, kDeadStepS = 10.0;
constexpr double kLagGridS[] = {0, 10, 20, 30, 45, 60, 90, 120, 160, 200, 250, 320, 400, 500};
constexpr double kWarmLags = 3.0;       // lags of history before a line is used
constexpr int kMinBandRows = 45;        // three minutes of the PID log's lines
constexpr double kMinPowerSpan = 5.0;   // %
constexpr double kMinSpanShare = 0.25;  // of the band's width
constexpr double kStepPercent = 5.0;
constexpr double kLongestStepS = 8 * 3600.0;

struct Stretch {
  std::vector<double> t, temp, u;
  std::vector<double> perSecond;  // u at t.front() + i seconds
  void resample() {
    perSecond.clear();
    for (double at = t.front(); at <= t.back(); at += 1) perSecond.push_back(uAt(at));
  }
  double uAt(double at) const {
    if (at <= t.front()) return u.front();
    if (at >= t.back()) return u.back();
    const auto hi = std::upper_bound(t.begin(), t.end(), at);
    const std::size_t k = std::size_t(hi - t.begin());
    const double f = (at - t[k - 1]) / (t[k] - t[k - 1]);
    return u[k - 1] + f * (u[k] - u[k - 1]);
  }
};

std::vector<Stretch> stretchesOf(const std::vector<TuningLog>& logs) {
  std::vector<Stretch> out;
  for (const TuningLog& log : logs) {
    if (log.kind != plot::LogKind::PidRun && log.kind != plot::LogKind::Stream) continue;
    Stretch s;
    auto flush = [&] {
      if (int(s.t.size()) >= kMinStretchRows) {
        s.resample();
        out.push_back(s);
      }
      s = Stretch{};
    };
    for (const LogRow& r : log.rows) {
      if (!present(r.temperature) || !present(r.power)) {
        flush();
        continue;
      }
      if (!s.t.empty() && (r.tS <= s.t.back() || r.tS - s.t.back() > kMaxGapS)) flush();
      s.t.push_back(r.tS);
      s.temp.push_back(r.temperature);
      s.u.push_back(r.power);
    }
    flush();
  }
  return out;
}

// The power as it reaches the chamber, delayed by dead, then lagged by lag,
// at the stretch's lines (worked out second by second).
std::vector<double> lagged(const Stretch& s, double dead, double lag) {
  const std::vector<double>& u = s.perSecond;
  const int n = int(u.size());
  const double keep = lag > 0 ? std::exp(-1.0 / lag) : 0.0;
  const int whole = int(dead);
  const double frac = dead - whole;
  std::vector<double> x1(u.size());
  double v = u[0];
  for (int i = 0; i < n; ++i) {
    const int a = std::clamp(i - whole, 0, n - 1), b = std::clamp(i - whole - 1, 0, n - 1);
    const double target = u[std::size_t(a)] + frac * (u[std::size_t(b)] - u[std::size_t(a)]);
    v = target + (v - target) * keep;
    x1[std::size_t(i)] = v;
  }
  std::vector<double> x(s.t.size());
  for (std::size_t k = 0; k < s.t.size(); ++k) {
    const double at = s.t[k] - s.t.front();
    const int i = std::min(int(at), n - 1), j = std::min(i + 1, n - 1);
    x[k] = x1[std::size_t(i)] + (at - i) * (x1[std::size_t(j)] - x1[std::size_t(i)]);
  }
  return x;
}

// Over a narrow range radiation cannot be told from conduction.
int lossTerms(double spanC) {
  return spanC < 150 ? 2 : 3;
}

double radiated(double t) {
  const double k = (t + kKelvin) / kScaleC;
  return k * k * k * k;
}

struct Fit {
  bool ok = false;
  double b = 0;
  LossCurve loss;
  double rms = 0;
};

// b and the loss cubic for a given dead time and lag.
Fit fitBalance(const std::vector<Stretch>& stretches, double dead, double lag, int terms) {
  const int n = 1 + terms;  // b, then the loss curve's
  LeastSquares ls(n);
  struct Row {
    std::array<double, LeastSquares::kMax> x;
    double y;
  };
  std::vector<Row> rows;
  const double warm = dead + kWarmLags * lag;
  for (const Stretch& s : stretches) {
    const std::vector<double> x = lagged(s, dead, lag);
    std::size_t k = 0;
    while (k < s.t.size() && s.t[k] - s.t.front() < warm) ++k;
    for (; k < s.t.size(); ++k) {
      std::size_t j = k + 1;
      while (j < s.t.size() && s.t[j] - s.t[k] < kWindowS) ++j;
      if (j >= s.t.size()) break;
      Row r{};
      r.y = s.temp[j] - s.temp[k];
      for (std::size_t m = k; m < j; ++m) {
        const double dt = s.t[m + 1] - s.t[m];
        r.x[0] += (x[m] + x[m + 1]) / 2 * dt;
        r.x[1] -= dt;
        r.x[2] -= (s.temp[m] + s.temp[m + 1]) / 2 / kScaleC * dt;
        if (terms > 2) r.x[3] -= (radiated(s.temp[m]) + radiated(s.temp[m + 1])) / 2 * dt;
      }
      ls.add(r.x.data(), r.y);
      rows.push_back(r);
      k = (j + k) / 2 > k ? (j + k) / 2 - 1 : k;  // windows overlap by half
    }
  }
  Fit f;
  const auto beta = ls.solve();
  if (!beta || rows.size() < std::size_t(4 * n)) return f;
  double sse = 0;
  for (const Row& r : rows) {
    double e = r.y;
    for (int i = 0; i < n; ++i) e -= r.x[std::size_t(i)] * (*beta)[std::size_t(i)];
    sse += e * e;
  }
  f.ok = true;
  f.b = (*beta)[0];
  f.loss.c0 = (*beta)[1];
  f.loss.c1 = (*beta)[2];
  f.loss.c2 = terms > 2 ? (*beta)[3] : 0.0;
  f.rms = std::sqrt(sse / double(rows.size()));
  return f;
}

// The visits of the stretches to a band, each foretold from where it began.
std::vector<BandVisit> visitsOf(const HeatBalance& p, const std::vector<Stretch>& stretches,
                                double from, double to) {
  std::vector<BandVisit> visits;
  for (const Stretch& s : stretches) {
    const std::vector<double> x = lagged(s, p.deadS, p.lagS);
    // The lining's state at a stretch's start is not known: its first lags are left out.
    std::size_t k = 0;
    while (k < s.t.size() && s.t[k] - s.t.front() < p.deadS + kWarmLags * p.lagS) ++k;
    while (k < s.t.size()) {
      if (s.temp[k] < from || s.temp[k] >= to) {
        ++k;
        continue;
      }
      BandVisit v;
      double model = s.temp[k];
      for (; k < s.t.size() && s.temp[k] >= from && s.temp[k] < to; ++k) {
        if (!v.t.empty()) {
          const double dt = s.t[k] - s.t[k - 1];
          const int n = std::max(1, int(std::ceil(dt)));
          for (int i = 0; i < n; ++i) {
            const double xi = x[k - 1] + (x[k] - x[k - 1]) * (i + 0.5) / n;
            model += dt / n * (p.b * xi - p.loss(model));
          }
        }
        v.t.push_back(s.t[k]);
        v.measured.push_back(s.temp[k]);
        v.model.push_back(model);
      }
      visits.push_back(std::move(v));
    }
  }
  return visits;
}

// How well the balance foretells a band's measurements from where each visit
// to the band began: 100·(1 − |T − T̂| / |T − mean T|).
double bandFit(const HeatBalance& p, const std::vector<Stretch>& stretches, double from,
               double to) {
  double sse = 0, sum = 0, sum2 = 0;
  int count = 0;
  for (const BandVisit& v : visitsOf(p, stretches, from, to))
    for (std::size_t k = 0; k < v.t.size(); ++k) {
      sse += (v.measured[k] - v.model[k]) * (v.measured[k] - v.model[k]);
      sum += v.measured[k];
      sum2 += v.measured[k] * v.measured[k];
      ++count;
    }
  if (count < 2) return 0;
  const double sst = sum2 - sum * sum / count;
  return sst > 0 ? 100.0 * (1.0 - std::sqrt(sse / sst)) : 0.0;
}

}  // namespace

double LossCurve::operator()(double t) const {
  return c0 + c1 * t / kScaleC + c2 * radiated(t);
}

double LossCurve::slope(double t) const {
  const double k = (t + kKelvin) / kScaleC;
  return (c1 + 4 * c2 * k * k * k) / kScaleC;
}

Fopdt tangentFit(const std::vector<double>& times, const std::vector<double>& values, double y0,
                 double yEnd, double stepPercent) {
  Fopdt f;
  const double span = yEnd - y0;
  if (span == 0 || times.size() < 3 || stepPercent == 0) return f;
  // The steepest slope towards yEnd, by central differences.
  double steepest = 0;
  std::size_t at = 1;
  for (std::size_t k = 1; k + 1 < values.size(); ++k) {
    const double slope = (values[k + 1] - values[k - 1]) / (times[k + 1] - times[k - 1]) / span;
    if (slope > steepest) {
      steepest = slope;
      at = k;
    }
  }
  if (steepest <= 0) return f;
  f.deadS = std::max(0.0, times[at] - (values[at] - y0) / span / steepest);
  f.tauS = 1.0 / steepest;
  f.gain = span / stepPercent;
  return f;
}

std::pair<std::vector<double>, std::vector<double>> modelStepResponse(const HeatBalance& p,
                                                                      double t0, double step) {
  const double x0 = p.b > 0 ? p.loss(t0) / p.b : 0;
  if (x0 + step > 100) step = -step;
  std::vector<double> times, values;
  double temp = t0, x = x0;
  const double keep = p.lagS > 0 ? std::exp(-1.0 / p.lagS) : 0.0;
  for (double t = 0; t <= kLongestStepS; t += 1) {
    times.push_back(t);
    values.push_back(temp);
    const double u = t >= p.deadS ? x0 + step : x0;
    x = u + (x - u) * keep;
    temp += p.b * x - p.loss(temp);
    // Settled: the heating rate has fallen below a thousandth of the step's first.
    if (t > p.deadS + 10 * p.lagS + 60 &&
        std::abs(p.b * x - p.loss(temp)) < 1e-3 * std::abs(p.b * step))
      break;
  }
  return {times, values};
}

std::vector<BandVisit> bandVisits(const HeatBalance& plant, const std::vector<TuningLog>& logs,
                                  double fromC, double toC) {
  return visitsOf(plant, stretchesOf(logs), fromC, toC);
}

Identification identify(const std::vector<TuningLog>& logs, const IdentifyOptions& options) {
  Identification id;
  const std::vector<Stretch> stretches = stretchesOf(logs);
  if (stretches.empty()) {
    id.error =
        QStringLiteral(
            "no stretch of at least %1 lines with both temperature and heater power: only PID run "
            "and stream logs carry the power")
            .arg(kMinStretchRows);
    return id;
  }
  double lo = 1e9, hi = -1e9;
  for (const Stretch& s : stretches)
    for (double t : s.temp) {
      lo = std::min(lo, t);
      hi = std::max(hi, t);
    }
  const int terms = lossTerms(hi - lo);
  Fit best;
  double bestDead = 0, bestLag = 0;
  constexpr int kFineTrials = 9 * 5;
  const int total = int(std::size(kLagGridS)) * (int(kMaxDeadS / kDeadStepS) + 1) + kFineTrials;
  int done = 0;
  auto tryOne = [&](double dead, double lag) {
    if (options.progress) options.progress(++done, total);
    const Fit f = fitBalance(stretches, dead, lag, terms);
    if (f.ok && f.b > 0 && (!best.ok || f.rms < best.rms)) {
      best = f;
      bestDead = dead;
      bestLag = lag;
    }
  };
  for (double lag : kLagGridS)
    for (double dead = 0; dead <= kMaxDeadS; dead += kDeadStepS) tryOne(dead, lag);
  // Finer around the best: the dead time to 2 s, the lag between its neighbours.
  const double coarseDead = bestDead, coarseLag = bestLag;
  for (double dead = std::max(0.0, coarseDead - kDeadStepS); dead <= coarseDead + kDeadStepS;
       dead += 2)
    for (double lag :
         {coarseLag * 0.75, coarseLag * 0.87, coarseLag, coarseLag * 1.15, coarseLag * 1.3})
      tryOne(dead, lag);
  if (!best.ok) {
    id.error = QStringLiteral(
        "the heater power does not explain the temperature in these logs (too few lines, or "
        "the power never changes)");
    return id;
  }
  HeatBalance& p = id.plant;
  p.b = best.b;
  p.deadS = bestDead;
  p.lagS = bestLag;
  p.loss = best.loss;
  p.fromC = lo;
  p.toC = hi;
  p.residual = best.rms;
  id.ok = true;

  const double w = options.bandWidthC > 0 ? options.bandWidthC : 100;
  for (double from = std::floor(lo / w) * w; from < hi; from += w) {
    BandModel band;
    band.fromC = from;
    band.toC = from + w;
    double tLo = 1e9, tHi = -1e9, xLo = 1e9, xHi = -1e9;
    for (const Stretch& s : stretches) {
      const std::vector<double> x = lagged(s, p.deadS, p.lagS);
      for (std::size_t k = 0; k < s.t.size(); ++k) {
        // Lines before the lining's state is known say nothing of the band.
        if (s.t[k] - s.t.front() < p.deadS + kWarmLags * p.lagS) continue;
        if (s.temp[k] < band.fromC || s.temp[k] >= band.toC) continue;
        ++band.rows;
        tLo = std::min(tLo, s.temp[k]);
        tHi = std::max(tHi, s.temp[k]);
        xLo = std::min(xLo, x[k]);
        xHi = std::max(xHi, x[k]);
      }
    }
    const double slope = p.lossSlope(band.middle());
    if (band.rows < kMinBandRows) {
      band.why = QStringLiteral("only %1 lines in the band (at least %2 needed)")
                     .arg(band.rows)
                     .arg(kMinBandRows);
    } else if (tHi - tLo < kMinSpanShare * w && xHi - xLo < kMinPowerSpan) {
      band.why = QStringLiteral(
                     "not enough excitation: the temperature stays within %1 °C and the power "
                     "within %2 %")
                     .arg(tHi - tLo, 0, 'f', 1)
                     .arg(xHi - xLo, 0, 'f', 1);
    } else if (slope <= 0) {
      band.why = QStringLiteral("the losses fitted here do not grow with the temperature");
    } else {
      band.excited = true;
    }
    if (band.excited) {
      band.integratingGain = p.b;
      band.deadS = p.deadS;
      band.lagS = p.lagS;
      band.chamberTauS = 1.0 / slope;
      const auto [times, values] = modelStepResponse(p, band.middle(), kStepPercent);
      const double step =
          p.loss(band.middle()) / p.b + kStepPercent > 100 ? -kStepPercent : kStepPercent;
      band.fopdt = tangentFit(times, values, values.front(), values.back(), step);
      band.fitPercent = bandFit(p, stretches, band.fromC, band.toC);
    }
    id.bands.push_back(band);
  }
  return id;
}

}  // namespace calorix::tuning
