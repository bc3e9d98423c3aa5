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
  for (const BandModel& band : r.id.bands) {
    BandProposal p;
    p.band = band;
    if (band.excited) {
      p.proposed = propose(options.rule, band, r.law.sumPerSecond);
      temps.push_back(band.middle());
      for (int c = 0; c < 3; ++c) values[std::size_t(c)].push_back(ofColumn(*p.proposed, c));
    }
    r.bands.push_back(p);
  }
  if (temps.empty()) {
    r.error = QStringLiteral("no band has enough excitation to propose coefficients");
    return r;
  }
  for (int c = 0; c < 3; ++c)
    r.cubics[std::size_t(c)] = fitControllerCubic(temps, values[std::size_t(c)]);
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
      out << QStringLiteral("warning: a word of %1 is beyond what the controller holds (±%2)")
                 .arg(QLatin1String(kColumnNames[c]))
                 .arg(kCubicWordMax, 0, 'f', 8);
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
  return o;
}

}  // namespace calorix::tuning
