#include "tuning/TuningLog.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include "core/Cp1251.h"

namespace calorix::tuning {
namespace {

using plot::Quantity;

// Where the sum of errors stands in a data line (0-based field), by kind.
constexpr int kPidSumField = 6, kPidFields = 23;
constexpr int kStreamSumField = 7, kStreamFields = 9;
// The stream logs the sum of errors as the raw word (1/256 °C·s).
constexpr double kStreamSumScale = 256.0;

double numberOf(QString text) {
  text.remove(QLatin1Char(' '));
  text.replace(QLatin1Char(','), QLatin1Char('.'));
  bool ok = false;
  const double v = text.toDouble(&ok);
  return ok && std::isfinite(v) ? v : kNone;
}

// The sums of errors of the data lines of the kind, in file order; empty when
// the log's lines do not pair one to one with the reader's samples.
std::vector<double> errorSums(const QString& text, plot::LogKind kind, std::size_t samples) {
  const int fields = kind == plot::LogKind::PidRun ? kPidFields : kStreamFields;
  const int at = kind == plot::LogKind::PidRun ? kPidSumField : kStreamSumField;
  const double scale = kind == plot::LogKind::PidRun ? 1.0 : kStreamSumScale;
  std::vector<double> sums;
  for (QStringView line : QStringView(text).split(QLatin1Char('\n'))) {
    const QList<QStringView> f = line.split(QLatin1Char(';'));
    if (f.size() != fields) continue;
    // A data line starts with its number (PID run) or its time (stream); the
    // column line of the PID run log has as many fields but starts with text.
    bool numbered = false;
    (void)f[0].trimmed().toInt(&numbered);
    const bool stamped = f[0].trimmed().size() == 8 && f[0].trimmed()[2] == QLatin1Char(':');
    if (kind == plot::LogKind::PidRun ? numbered : stamped)
      sums.push_back(numberOf(f[at].toString()) / scale);
  }
  if (sums.size() != samples) sums.clear();
  return sums;
}

std::optional<Coefficients> headerCoefficients(const QString& text) {
  static const QRegularExpression re(
      QStringLiteral("PK = ([-0-9.,]+)\\s+DK = ([-0-9.,]+)\\s+IK = ([-0-9.,]+)"));
  const auto m = re.match(text);
  if (!m.hasMatch()) return std::nullopt;
  Coefficients c{numberOf(m.captured(1)), numberOf(m.captured(3)), numberOf(m.captured(2))};
  if (!present(c.kp) || !present(c.ki) || !present(c.kd)) return std::nullopt;
  return c;
}

}  // namespace

TuningLog tuningLogFrom(const QByteArray& bytes, QDate date, const QString& name) {
  TuningLog log;
  log.name = name;
  const plot::LogReadResult read = plot::parseLog(bytes, date);
  log.kind = read.kind;
  log.error = read.error;
  if (read.samples.empty()) return log;
  const QString text = cp1251::decode(bytes);
  std::vector<double> sums;
  if (read.kind == plot::LogKind::PidRun || read.kind == plot::LogKind::Stream)
    sums = errorSums(text, read.kind, read.samples.size());
  if (read.kind == plot::LogKind::PidRun) log.header = headerCoefficients(text);
  const qint64 t0 = read.samples.front().timeMs;
  for (std::size_t k = 0; k < read.samples.size(); ++k) {
    const plot::Sample& s = read.samples[k];
    LogRow r;
    r.tS = double(s.timeMs - t0) / 1000.0;
    r.temperature = s.value(Quantity::Temperature);
    r.power = s.value(Quantity::HeaterPower);
    r.error = s.value(Quantity::Error);
    r.p = s.value(Quantity::PAction);
    r.i = s.value(Quantity::IAction);
    r.d = s.value(Quantity::DAction);
    r.total = s.value(Quantity::TotalAction);
    if (!sums.empty()) r.errorSum = sums[k];
    log.rows.push_back(r);
  }
  return log;
}

TuningLog readTuningLog(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    TuningLog failed;
    failed.name = QFileInfo(path).fileName();
    failed.error = QString::fromUtf8("файл не прочитан: %1").arg(file.errorString());
    return failed;
  }
  // Only differences of time matter here: the lines' times of day, with the
  // reader's roll-over at midnight, on any day.
  return tuningLogFrom(file.readAll(), QDate(2000, 1, 1), QFileInfo(path).fileName());
}

}  // namespace calorix::tuning
