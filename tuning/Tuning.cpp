#include "tuning/Tuning.h"

#include <QJsonArray>

#include <cmath>

#include "core/NumberText.h"

namespace calorix::tuning {
namespace {

constexpr const char* kColumnNames[3] = {"KP", "KD", "KI"};
constexpr const char* kColumnCaptions[3] = {"Пропорциональный", "Дифференциальный", "Интегральный"};

double ofColumn(const Pid& pid, int column) {
  return column == kKP ? pid.kp : column == kKD ? pid.kd : pid.ki;
}

QString number(double v, int digits = 4) {
  return QString::number(v, 'g', digits);
}

QString swings(const std::vector<double>& holds) {
  QStringList parts;
  for (double s : holds)
    parts << (s == kNeverHeld ? QStringLiteral("never held") : QString::number(s, 'f', 2));
  return parts.join(QStringLiteral(" / "));
}

QString modelText(const ModelProposal& m) {
  const Schedule& s = m.schedule;
  QStringList out;
  out << QStringLiteral(
             "model rule: KP %1..%2, KI %3..%4, KD %5..%6 from %7 to %8 °C (%9 runs of the model)")
             .arg(number(s.low.kp), number(s.high.kp), number(s.low.ki), number(s.high.ki),
                  number(s.low.kd), number(s.high.kd))
             .arg(s.fromC, 0, 'f', 0)
             .arg(s.toC, 0, 'f', 0)
             .arg(m.runs);
  QStringList stages;
  for (const ReferenceStage& st : m.reference)
    stages << QStringLiteral("%1 °C/min to %2 °C, %3 min")
                  .arg(st.speedCPerMin)
                  .arg(st.temperatureC)
                  .arg(st.holdMin);
  out << QStringLiteral("reference program: %1").arg(stages.join(QStringLiteral(", ")));
  out << QStringLiteral(
             "on the model: IAE %1 °C·min, overshoot %2 °C, hold swing %3 °C; with dead time, lag "
             "and gain larger: hold swing %4 °C")
             .arg(m.predicted.iae, 0, 'f', 0)
             .arg(m.predicted.overshoot, 0, 'f', 1)
             .arg(swings(m.predicted.holdSwing), swings(m.onMargin.holdSwing));
  if (!m.ok) out << QStringLiteral("warning: %1").arg(m.why);
  return out.join(QLatin1Char('\n'));
}

}  // namespace

TuneResult tune(const std::vector<TuningLog>& logs, const TuneOptions& options) {
  TuneResult r;
  r.rule = options.rule;
  for (const TuningLog& log : logs) {
    if (!log.error.isEmpty())
      r.notes << QStringLiteral("%1: %2").arg(log.name, log.error);
    else if (log.kind == plot::LogKind::PuskWork)
      r.notes << QStringLiteral("%1: a Пуск work log carries no heater power; passed over")
                     .arg(log.name);
  }
  r.law = deriveLaw(logs);
  if (!r.law.holds) {
    r.error =
        QStringLiteral("no regulator law can be stated from these logs: %1").arg(r.law.refusal);
    return r;
  }
  IdentifyOptions io;
  io.bandWidthC = options.bandWidthC;
  io.progress = options.progress;
  r.id = identify(logs, io);
  if (!r.id.ok) {
    r.error = r.id.error;
    return r;
  }
  std::vector<double> temps;
  std::array<std::vector<double>, 3> values;
  const Rule bandRule = options.rule == Rule::Model ? Rule::Simc : options.rule;
  for (const BandModel& band : r.id.bands) {
    BandProposal p;
    p.band = band;
    if (band.excited) {
      // KD is not held to one word: above a hundred degrees the C and B
      // words carry what D cannot.
      p.proposed = propose(bandRule, band, r.law.sumPerSecond);
      temps.push_back(band.middle());
      for (int c = 0; c < 3; ++c) values[std::size_t(c)].push_back(ofColumn(*p.proposed, c));
    }
    r.bands.push_back(p);
  }
  if (temps.empty()) {
    r.error = QStringLiteral("no band has enough excitation to propose coefficients");
    return r;
  }
  if (options.rule == Rule::Model) {
    // The search starts from the per-band rule's proposals: their mean, and
    // the straight line through them where it stays positive.
    Schedule start{temps.front(), temps.back(), {}, {}};
    for (int c = 0; c < 3; ++c) {
      const std::vector<double>& v = values[std::size_t(c)];
      double mean = 0;
      for (double x : v) mean += x / double(v.size());
      const auto line = fitPolynomial(temps, v, std::min<int>(1, int(temps.size()) - 1));
      double low = line ? (*line)(start.fromC) : mean, high = line ? (*line)(start.toC) : mean;
      if (!(low > 0 && high > 0)) low = high = mean;
      (c == kKP ? start.low.kp : c == kKD ? start.low.kd : start.low.ki) = low;
      (c == kKP ? start.high.kp : c == kKD ? start.high.kd : start.high.ki) = high;
    }
    ModelRuleOptions mo = options.model;
    if (options.progress) mo.progress = options.progress;
    r.model = proposeByModel(loopModel(r.id.plant, r.law.details, r.law.sumPerSecond), start, mo);
    for (BandProposal& p : r.bands)
      if (p.proposed) p.proposed = r.model->schedule.at(p.band.middle());
    for (int c = 0; c < 3; ++c) {
      FittedCubic& f = r.cubics[std::size_t(c)];
      for (int row = 0; row < 4; ++row)
        f.cubic.c[std::size_t(3 - row)] = r.model->words[std::size_t(4 * c + row)];
    }
  } else {
    for (int c = 0; c < 3; ++c)
      r.cubics[std::size_t(c)] = fitControllerCubic(temps, values[std::size_t(c)]);
  }
  for (BandProposal& p : r.bands) {
    const double t = p.band.middle();
    p.fromCubics = {r.cubics[kKP].cubic(t), r.cubics[kKI].cubic(t), r.cubics[kKD].cubic(t)};
  }
  r.ok = true;
  return r;
}

QString editorText(double word) {
  const QString magnitude = fixedText(std::abs(word), 11, 8);
  return word < 0 ? QStringLiteral("-") + magnitude : magnitude;
}

QString tuneText(const TuneResult& r) {
  QStringList out;
  for (const QString& note : r.notes) out << QStringLiteral("note: %1").arg(note);
  if (!r.law.holds) return out.join(QLatin1Char('\n'));
  out << QStringLiteral("law (checked on %1 lines): %2")
             .arg(r.law.linesChecked)
             .arg(r.law.statement);
  if (!r.id.ok) return out.join(QLatin1Char('\n'));
  const HeatBalance& p = r.id.plant;
  out << QStringLiteral(
             "furnace: %1..%2 °C in the logs; dead time %3 s, lining lag %4 s, %5 °C/min per 10 % "
             "of power; window misfit %6 °C rms")
             .arg(p.fromC, 0, 'f', 0)
             .arg(p.toC, 0, 'f', 0)
             .arg(p.deadS, 0, 'f', 0)
             .arg(p.lagS, 0, 'f', 0)
             .arg(p.b * 600, 0, 'f', 2)
             .arg(p.residual, 0, 'g', 2);
  out << QStringLiteral("rule: %1 — %2")
             .arg(QLatin1String(infoOf(r.rule).key), QString::fromUtf8(infoOf(r.rule).description));
  if (r.model) out << modelText(*r.model);
  out << QString();
  out << QStringLiteral(
      "band, °C     gain °C/%  tau s   dead s  fit %    KP        KI          KD       | from "
      "cubics: KP        KI          KD");
  for (const BandProposal& b : r.bands) {
    const QString range =
        QStringLiteral("%1..%2").arg(b.band.fromC, 0, 'f', 0).arg(b.band.toC, 0, 'f', 0);
    if (!b.proposed) {
      out << QStringLiteral("%1  %2").arg(range, -11).arg(b.band.why);
      continue;
    }
    out << QStringLiteral("%1  %2 %3 %4 %5  %6 %7 %8 | %9 %10 %11")
               .arg(range, -11)
               .arg(number(b.band.fopdt.gain), -10)
               .arg(number(b.band.fopdt.tauS), -7)
               .arg(number(b.band.fopdt.deadS), -7)
               .arg(b.band.fitPercent, -6, 'f', 1)
               .arg(number(b.proposed->kp), -9)
               .arg(number(b.proposed->ki), -11)
               .arg(number(b.proposed->kd), -9)
               .arg(number(b.fromCubics.kp), -9)
               .arg(number(b.fromCubics.ki), -11)
               .arg(number(b.fromCubics.kd), -9);
  }
  out << QString();
  out << QStringLiteral(
      "cubics as the coefficient editor shows them (K = A*T^3 + B*T^2 + C*T + D):");
  out << QStringLiteral("     %1 %2 %3")
             .arg(QString::fromUtf8(kColumnCaptions[kKP]), -17)
             .arg(QString::fromUtf8(kColumnCaptions[kKD]), -17)
             .arg(QString::fromUtf8(kColumnCaptions[kKI]));
  const char* rows = "ABCD";
  for (int row = 0; row < 4; ++row) {
    const std::size_t power = std::size_t(3 - row);
    out << QStringLiteral("  %1  %2      %3      %4")
               .arg(QLatin1Char(rows[row]))
               .arg(editorText(r.cubics[kKP].cubic.c[power]), 12)
               .arg(editorText(r.cubics[kKD].cubic.c[power]), 12)
               .arg(editorText(r.cubics[kKI].cubic.c[power]), 12);
  }
  for (int c = 0; c < 3; ++c)
    if (!r.cubics[std::size_t(c)].fits)
      out << QStringLiteral(
                 "warning: within words of ±%1 the cubic of %2 misses the proposal by up to %3")
                 .arg(kCubicWordMax, 0, 'f', 8)
                 .arg(QLatin1String(kColumnNames[c]))
                 .arg(number(r.cubics[std::size_t(c)].worstMisfit));
  return out.join(QLatin1Char('\n'));
}

QJsonObject tuneJson(const TuneResult& r) {
  QJsonObject o;
  o[QStringLiteral("law")] = r.law.holds ? QJsonValue(r.law.statement) : QJsonValue();
  o[QStringLiteral("rule")] = QLatin1String(infoOf(r.rule).key);
  QJsonArray bands;
  for (const BandProposal& b : r.bands) {
    QJsonObject j;
    j[QStringLiteral("from_c")] = b.band.fromC;
    j[QStringLiteral("to_c")] = b.band.toC;
    const bool has = b.proposed.has_value();
    auto value = [&](double v) { return has ? QJsonValue(v) : QJsonValue(); };
    j[QStringLiteral("gain")] = value(b.band.fopdt.gain);
    j[QStringLiteral("tau_s")] = value(b.band.fopdt.tauS);
    j[QStringLiteral("dead_s")] = value(b.band.fopdt.deadS);
    j[QStringLiteral("fit")] = value(b.band.fitPercent);
    j[QStringLiteral("kp")] = has ? QJsonValue(b.proposed->kp) : QJsonValue();
    j[QStringLiteral("ki")] = has ? QJsonValue(b.proposed->ki) : QJsonValue();
    j[QStringLiteral("kd")] = has ? QJsonValue(b.proposed->kd) : QJsonValue();
    bands.append(j);
  }
  o[QStringLiteral("bands")] = bands;
  QJsonObject cubics;
  if (r.ok)
    for (int c = 0; c < 3; ++c) {
      const Cubic& cu = r.cubics[std::size_t(c)].cubic;
      cubics[QLatin1String(kColumnNames[c])] = QJsonArray{cu.c[3], cu.c[2], cu.c[1], cu.c[0]};
    }
  o[QStringLiteral("cubics")] = cubics;
  if (r.model) {
    const ModelProposal& m = *r.model;
    QJsonArray holds;
    for (double s : m.predicted.holdSwing)
      holds.append(s == kNeverHeld ? QJsonValue() : QJsonValue(s));
    o[QStringLiteral("model")] = QJsonObject{{QStringLiteral("met"), m.ok},
                                             {QStringLiteral("iae"), m.predicted.iae},
                                             {QStringLiteral("overshoot"), m.predicted.overshoot},
                                             {QStringLiteral("hold_swing"), holds},
                                             {QStringLiteral("runs"), m.runs}};
  }
  return o;
}

}  // namespace calorix::tuning
