#include "plot/LogReader.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <array>
#include <optional>

#include "core/Cp1251.h"
#include "plot/LogGap.h"

namespace calorix::plot {
namespace {

// Field counts of the data lines, and where the time stamp stands.
constexpr int kPidFields = 23;
constexpr int kPuskFields = 5;
constexpr int kStreamFields = 9;  // the stamp and eight values
// The stream logs the temperature error as the raw RAM word (1/256 °C).
constexpr double kStreamErrorScale = 256.0;
// A time of day this far before the previous line's is the next day.
constexpr int kMidnightJumpS = 12 * 3600;

// Where the PID run log keeps each quantity (0-based field index).
struct FieldOf {
  int field;
  Quantity quantity;
};
constexpr std::array<FieldOf, 10> kPidColumns{{
    {2, Quantity::Temperature},     // temperature, 0xC4
    {4, Quantity::Error},           // temperature error, signed
    {9, Quantity::HeaterPower},     // power put to the heater, %
    {10, Quantity::PAction},        // PUV
    {11, Quantity::IAction},        // IUV
    {12, Quantity::DAction},        // DUV
    {16, Quantity::TempCorrected},  // corrected thermocouple temperature, 0xC0
    {17, Quantity::Temperature},    // the same 0xC4 again: used when field 3 is unreadable
    {18, Quantity::HeatingSpeed},   // current heating speed, signed
    {19, Quantity::SetSpeed},       // set heating speed of the stage
}};
// The telemetry line: EditTempTP, EditPUV, EditDUV, EditIUV, EditAllUV, EditTecErr, EditSumErr,
// EditPN after the stamp.
constexpr std::array<FieldOf, 6> kStreamColumns{{
    {1, Quantity::Temperature},
    {2, Quantity::PAction},
    {3, Quantity::DAction},
    {4, Quantity::IAction},
    {5, Quantity::TotalAction},
    {8, Quantity::HeaterPower},
}};

// A number as the logs write it: "," or "." as the separator, a sign directly before the digits
// or before leading blanks ("- 2,25"), "+" before a positive value of the PID log's last fields.
// NaN when it is no number.
double number(QStringView text) {
  QString s;
  s.reserve(text.size());
  for (QChar c : text) {
    if (c == QLatin1Char(' ')) continue;
    s += c == QLatin1Char(',') ? QLatin1Char('.') : c;
  }
  if (s.isEmpty()) return kAbsent;
  bool ok = false;
  const double v = s.toDouble(&ok);
  return ok && std::isfinite(v) ? v : kAbsent;
}

std::optional<int> integer(QStringView text) {
  bool ok = false;
  const int v = text.trimmed().toInt(&ok);
  return ok ? std::optional<int>(v) : std::nullopt;
}

// "HH:MM:SS" (the LineStamp without its blank).
std::optional<QTime> timeOfDay(QStringView text) {
  text = text.trimmed();
  if (text.size() != 8 || text[2] != QLatin1Char(':') || text[5] != QLatin1Char(':'))
    return std::nullopt;
  const auto h = integer(text.mid(0, 2)), m = integer(text.mid(3, 2)), s = integer(text.mid(6, 2));
  if (!h || !m || !s) return std::nullopt;
  const QTime t(*h, *m, *s);
  return t.isValid() ? std::optional<QTime>(t) : std::nullopt;
}

enum class LineShape { Blank, PidHeader, PuskHeader, PidData, PuskData, StreamData, Other };

LogKind kindOf(LineShape shape) {
  switch (shape) {
    case LineShape::PidHeader:
    case LineShape::PidData:
      return LogKind::PidRun;
    case LineShape::PuskHeader:
    case LineShape::PuskData:
      return LogKind::PuskWork;
    case LineShape::StreamData:
      return LogKind::Stream;
    default:
      return LogKind::Unknown;
  }
}

// The header lines the two run starts write.
LineShape headerShape(QStringView line) {
  static const QString pidTitle = QString::fromUtf8("Данные работы PIDа");
  static const QString runTitle = QString::fromUtf8("Данные работы");
  static const QString number = QString::fromUtf8("1 номер");
  static const QString pidColumn = QString::fromUtf8("3темп");
  static const QString puskColumn = QString::fromUtf8("3 программа");
  const QStringView trimmed = line.trimmed();
  if (trimmed.startsWith(pidTitle)) return LineShape::PidHeader;
  if (trimmed == runTitle) return LineShape::PuskHeader;
  if (trimmed.startsWith(number)) {
    if (trimmed.contains(pidColumn)) return LineShape::PidHeader;
    if (trimmed.contains(puskColumn)) return LineShape::PuskHeader;
  }
  return LineShape::Other;
}

struct Parsed {
  LineShape shape = LineShape::Other;
  QTime time;
  Sample sample;
};

Parsed parseLine(QStringView line) {
  Parsed p;
  if (line.trimmed().isEmpty()) {
    p.shape = LineShape::Blank;
    return p;
  }
  const QList<QStringView> fields = line.split(QLatin1Char(';'));
  const int n = int(fields.size());
  const bool counted = n == kPidFields || n == kPuskFields;
  if (counted && integer(fields[0]) && timeOfDay(fields[1])) {
    p.time = *timeOfDay(fields[1]);
    if (n == kPidFields) {
      p.shape = LineShape::PidData;
      for (const FieldOf& f : kPidColumns)
        if (!p.sample.has(f.quantity)) p.sample.set(f.quantity, number(fields[f.field]));
    } else {
      const auto program = integer(fields[2]), stage = integer(fields[3]);
      if (!program || !stage) return p;
      p.shape = LineShape::PuskData;
      p.sample.program = *program;
      p.sample.stage = *stage;
      p.sample.set(Quantity::Temperature, number(fields[4]));
    }
    return p;
  }
  if (n == kStreamFields && timeOfDay(fields[0])) {
    p.shape = LineShape::StreamData;
    p.time = *timeOfDay(fields[0]);
    for (const FieldOf& f : kStreamColumns) p.sample.set(f.quantity, number(fields[f.field]));
    p.sample.set(Quantity::Error, number(fields[6]) / kStreamErrorScale);
    return p;
  }
  p.shape = headerShape(line);
  return p;
}

bool isData(LineShape shape) {
  return shape == LineShape::PidData || shape == LineShape::PuskData ||
         shape == LineShape::StreamData;
}

}  // namespace

LogReadResult parseLog(const QByteArray& bytes, QDate date) {
  LogReadResult result;
  if (!date.isValid()) date = QDate::currentDate();
  const QString text = cp1251::decode(bytes);
  QList<QStringView> lines = QStringView(text).split(QLatin1Char('\n'));
  // The writer ends every line; a last one without its end was cut off, possibly inside its last
  // number, which would still read as a (wrong) value.
  const bool cutLast = !lines.isEmpty() && !lines.back().isEmpty();
  if (!lines.isEmpty() && lines.back().isEmpty()) lines.removeLast();

  int day = 0;
  int previousS = -1;
  for (qsizetype i = 0; i < lines.size(); ++i) {
    QStringView line = lines[i];
    if (line.endsWith(QLatin1Char('\r'))) line.chop(1);
    const bool last = i == lines.size() - 1;
    // Where a run read no frames: neither data nor damage.
    if (loggap::isGapLine(line)) continue;
    Parsed p = parseLine(line);
    if (p.shape == LineShape::Blank) continue;
    const LogKind kind = kindOf(p.shape);
    if (result.kind == LogKind::Unknown && kind != LogKind::Unknown && !(last && cutLast))
      result.kind = kind;
    const bool belongs = kind != LogKind::Unknown && kind == result.kind;
    if (!belongs || (last && cutLast)) {
      ++result.skippedLines;
      continue;
    }
    if (!isData(p.shape)) continue;  // a header line of this log
    const int s = p.time.msecsSinceStartOfDay() / 1000;
    if (previousS >= 0 && s < previousS - kMidnightJumpS) ++day;
    previousS = s;
    p.sample.timeMs = QDateTime(date.addDays(day), p.time).toMSecsSinceEpoch();
    p.sample.source = Source::Log;
    result.samples.push_back(p.sample);
  }
  if (result.kind == LogKind::Unknown && result.skippedLines > 0)
    result.error = QString::fromUtf8("в файле нет ни одной строки журнала данных");
  return result;
}

LogReadResult readLog(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    LogReadResult failed;
    failed.error = QString::fromUtf8("файл не прочитан: %1").arg(file.errorString());
    return failed;
  }
  const QByteArray bytes = file.readAll();
  const QString where = QFileInfo(path).absoluteFilePath();
  static const QRegularExpression dated(QStringLiteral("/(\\d{4})/(\\d\\d)/(\\d\\d)/[^/]*$"));
  QDate date;
  if (const auto m = dated.match(where); m.hasMatch())
    date = QDate(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
  LogReadResult result = parseLog(bytes, date.isValid() ? date : QDate::currentDate());
  // The file is named by the time it was started ("09_05_03 Data.txt"): a first line earlier in
  // the day than that was written after midnight.
  static const QRegularExpression started(QStringLiteral("^(\\d\\d)_(\\d\\d)_(\\d\\d) "));
  const auto m = started.match(QFileInfo(path).fileName());
  if (date.isValid() && m.hasMatch() && !result.samples.empty()) {
    const QTime at(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
    if (at.isValid() && result.samples.front().timeMs < QDateTime(date, at).toMSecsSinceEpoch())
      result = parseLog(bytes, date.addDays(1));
  }
  return result;
}

QString logKindText(LogKind kind) {
  switch (kind) {
    case LogKind::PidRun:
      return QString::fromUtf8("журнал работы PID");
    case LogKind::PuskWork:
      return QString::fromUtf8("журнал работы (Пуск)");
    case LogKind::Stream:
      return QString::fromUtf8("журнал потока P/B");
    case LogKind::Unknown:
      break;
  }
  return QString::fromUtf8("не журнал данных");
}

}  // namespace calorix::plot
