#include "tuning/RegulatorLaw.h"

#include <algorithm>
#include <cmath>

#include "tuning/Polynomial.h"

namespace calorix::tuning {
namespace {

constexpr double kFullPower = 100.0;
constexpr double kPowerSlack = 1.0;     // % : the power is a whole percent
constexpr double kAllowedShare = 0.03;  // lines that may break a rule (first lines, rounding)
constexpr double kRatioSlack = 0.03;    // relative, for a coefficient read off action / error
constexpr double kMinErrorC = 2.0;      // sums below this say little about a ratio
// The error is logged to 1/256 °C and P to 1/65536 %: from half a degree on
// P / e is good to 1 %, and the last degrees before a stage, where the
// controller eases P, are seen.
constexpr double kMinRatioErrorC = 0.5;
constexpr double kMinSumStep = 2.0;  // °C·s: smaller steps of the sum are rounding
constexpr double kMaxGapS = 12.0;    // a longer gap between lines breaks a run of lines
constexpr double kHalf = 0.5;

struct Where {
  const TuningLog* log = nullptr;
  std::size_t row = 0;
};

QString at(const Where& w) {
  if (!w.log) return QStringLiteral("no line");
  // Line numbers as an editor shows them would need the header count; the
  // data line's place in its log serves the engineer as well.
  return QStringLiteral("%1, data line %2").arg(w.log->name).arg(w.row + 1);
}

struct Checked {
  int lines = 0, broken = 0;
  Where first;
  QString firstText;
  void count(bool ok, const Where& w, const QString& text) {
    ++lines;
    if (ok) return;
    if (broken++ == 0) {
      first = w;
      firstText = text;
    }
  }
  bool holds() const { return lines > 0 && broken <= kAllowedShare * lines; }
  bool anyBroken() const { return broken > 0; }
  QString why(const QString& rule) const {
    return QStringLiteral("%1 does not hold on %2 of %3 lines (first at %4: %5)")
        .arg(rule)
        .arg(broken)
        .arg(lines)
        .arg(at(first), firstText);
  }
};

// A coefficient read off action / signal, as a smooth function of the
// temperature (the controller may take it from its cubics), with the lines
// where it stood at half (the eased proportional action) told apart.
struct RatioLaw {
  Checked check;
  int halved = 0;
  RowRefs halvedAt;
  bool any = false;
};

RatioLaw checkRatio(const std::vector<std::pair<Where, std::array<double, 3>>>& points,
                    bool halfAllowed, const QString& rule) {
  // points: (where, {temperature, action, signal})
  RatioLaw law;
  std::vector<double> ts, rs;
  for (const auto& [w, v] : points) {
    ts.push_back(v[0]);
    rs.push_back(v[1] / v[2]);
  }
  if (ts.size() < 4) return law;
  law.any = true;
  std::vector<double> weights(ts.size(), 1.0);
  std::optional<Cubic> fit = fitPolynomial(ts, rs, 3, weights);
  if (!fit) fit = fitPolynomial(ts, rs, 0, weights);
  if (!fit) return law;
  // Refit on the lines near the curve (not halved, not broken) while enough remain.
  for (int pass = 0; pass < 2; ++pass) {
    std::size_t kept = 0;
    for (std::size_t k = 0; k < ts.size(); ++k) {
      weights[k] = std::abs(rs[k] - (*fit)(ts[k])) <= kRatioSlack * std::abs((*fit)(ts[k])) ? 1 : 0;
      kept += std::size_t(weights[k]);
    }
    if (kept < ts.size() / 2) break;
    const auto refit = fitPolynomial(ts, rs, 3, weights);
    if (!refit) break;
    fit = refit;
  }
  for (std::size_t k = 0; k < ts.size(); ++k) {
    const double expected = (*fit)(ts[k]);
    const double tol = kRatioSlack * std::abs(expected) + 1e-9;
    const bool full = std::abs(rs[k] - expected) <= tol;
    const bool half = halfAllowed && std::abs(rs[k] - kHalf * expected) <= tol;
    const auto& [w, v] = points[k];
    if (half && !full) {
      ++law.halved;
      law.halvedAt.push_back({w.log, w.row});
    }
    law.check.count(full || half, w,
                    QStringLiteral("%1 = %2 at error %3, where %4 x error is %5")
                        .arg(rule)
                        .arg(v[1])
                        .arg(v[2])
                        .arg(expected)
                        .arg(expected * v[2]));
  }
  return law;
}

}  // namespace

RegulatorLaw deriveLaw(const std::vector<TuningLog>& logs) {
  RegulatorLaw law;
  Checked output;
  std::vector<std::pair<Where, std::array<double, 3>>> pPoints, iPoints;
  std::vector<std::pair<double, Where>> sumRatios;
  int sumIntervals = 0;
  bool anySum = false;
  double dAgree = 0, dCounted = 0;
  for (const TuningLog& log : logs) {
    if (log.kind != plot::LogKind::PidRun && log.kind != plot::LogKind::Stream) continue;
    const auto& rows = log.rows;
    for (std::size_t k = 0; k < rows.size(); ++k) {
      const LogRow& r = rows[k];
      const Where w{&log, k};
      if (!present(r.power) || !present(r.p) || !present(r.i) || !present(r.d)) continue;
      anySum = anySum || present(r.errorSum);
      if (std::abs(r.d) > 1e-9) law.derivativeActive = true;
      // The heater gets the sum of the actions, whole percent, 0..100 %.
      const double total = r.p + r.i + r.d;
      const double expected = std::clamp(std::round(total), 0.0, kFullPower);
      output.count(std::abs(r.power - expected) <= kPowerSlack, w,
                   QStringLiteral("P %1 + I %2 + D %3 = %4, power %5 %")
                       .arg(r.p)
                       .arg(r.i)
                       .arg(r.d)
                       .arg(total)
                       .arg(r.power));
      if (present(r.error) && std::abs(r.error) >= kMinRatioErrorC)
        pPoints.push_back({w, {r.temperature, r.p, r.error}});
      if (present(r.errorSum) && std::abs(r.errorSum) >= kMinErrorC)
        iPoints.push_back({w, {r.temperature, r.i, r.errorSum}});
      // The sum's growth against the error between this line and the next.
      if (k + 1 < rows.size()) {
        const LogRow& n = rows[k + 1];
        const double dt = n.tS - r.tS;
        if (dt > 0 && dt <= kMaxGapS && present(r.errorSum) && present(n.errorSum) &&
            present(r.error) && present(n.error)) {
          const double step = n.errorSum - r.errorSum;
          const double area = (r.error + n.error) / 2 * dt;
          ++sumIntervals;
          if (std::abs(step) < 1e-9) {
            ++law.frozenIntervals;
          } else if (std::abs(area) >= kMinSumStep && std::signbit(area) == std::signbit(r.error) &&
                     std::signbit(area) == std::signbit(n.error)) {
            sumRatios.push_back({step / area, w});
          }
          // The derivative action follows the error's change, as a sign at least.
          const double slope = (n.error - r.error) / dt;
          if (present(n.d) && std::abs(slope) > 0.05 && std::abs(n.d) > 1e-6) {
            ++dCounted;
            if ((slope > 0) == (n.d > 0)) ++dAgree;
          }
        }
      }
    }
  }
  if (output.lines == 0) {
    law.refusal = QStringLiteral(
        "the logs carry no regulator actions (only PID run and stream logs do): no law to derive");
    return law;
  }
  law.linesChecked = output.lines;
  if (!output.holds()) {
    law.refusal = output.why(QStringLiteral("power = P + I + D, whole percent, 0..100 %"));
    return law;
  }
  const RatioLaw p = checkRatio(pPoints, true, QStringLiteral("P"));
  if (!p.any) {
    law.refusal =
        QStringLiteral("no line has an error of %1 °C or more: P = KP·e cannot be checked")
            .arg(kMinErrorC);
    return law;
  }
  if (!p.check.holds()) {
    law.refusal = p.check.why(QStringLiteral("P = KP(T)·e"));
    return law;
  }
  law.easedLines = p.halved;
  if (!anySum) {
    law.refusal =
        QStringLiteral("the logs do not carry the sum of errors: I = KI·S cannot be checked");
    return law;
  }
  const RatioLaw i = checkRatio(iPoints, false, QStringLiteral("I"));
  if (i.any && !i.check.holds()) {
    law.refusal = i.check.why(QStringLiteral("I = KI(T)·S"));
    return law;
  }
  if (sumRatios.size() >= 4) {
    std::vector<double> qs;
    for (const auto& [q, w] : sumRatios) qs.push_back(q);
    std::nth_element(qs.begin(), qs.begin() + qs.size() / 2, qs.end());
    law.sumPerSecond = qs[qs.size() / 2];
    int near = 0;
    const Where* firstOff = nullptr;
    for (const auto& [q, w] : sumRatios) {
      const bool ok = std::abs(q / law.sumPerSecond - 1) < 0.35;
      near += ok;
      if (!ok && !firstOff) firstOff = &w;
    }
    if (law.sumPerSecond <= 0 || near < 0.8 * double(sumRatios.size())) {
      law.refusal = QStringLiteral(
                        "the sum of errors does not grow in step with the error: %1 of %2 "
                        "intervals near %3 times the error a second (first off at %4)")
                        .arg(near)
                        .arg(sumRatios.size())
                        .arg(law.sumPerSecond)
                        .arg(firstOff ? at(*firstOff) : QStringLiteral("no line"));
      return law;
    }
  }
  if (law.derivativeActive && dCounted >= 4 && dAgree < 0.7 * dCounted) {
    law.refusal = QStringLiteral(
                      "D does not follow the change of the error: its sign agrees on %1 of %2 "
                      "intervals")
                      .arg(dAgree)
                      .arg(dCounted);
    return law;
  }
  law.holds = true;
  law.details = readLawDetails(logs, p.halvedAt);
  const QString sumUnit =
      std::abs(law.sumPerSecond - 1) < 0.1
          ? QStringLiteral("S += e·dt, dt in s")
          : QStringLiteral("S += %1·e·dt, dt in s").arg(law.sumPerSecond, 0, 'g', 3);
  law.statement =
      QStringLiteral("power = clamp(P + I + D, 0, 100 %%); P = KP(T)·e%1; I = KI(T)·S, %2; %3")
          .arg(p.halved > 0 ? QStringLiteral(" (halved near the stage temperature)") : QString())
          .arg(sumUnit)
          .arg(law.derivativeActive ? QStringLiteral("D = KD(T)·de/dt, smoothed")
                                    : QStringLiteral("D = 0 in these logs")) +
      QStringLiteral("; ") + law.details.statement();
  law.statement.replace(QStringLiteral("%%"), QStringLiteral("%"));
  return law;
}

}  // namespace calorix::tuning
