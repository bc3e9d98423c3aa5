#include "plot/LogReader.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <limits>

#include "core/Cp1251.h"
#include "plot/LogFields.h"
#include "plot/LogGap.h"
#include "plot/PidRunLog.h"
#include "plot/PuskWorkLog.h"
#include "plot/StreamLog.h"

namespace calorix::plot {
namespace {

// A time of day this far before the previous line's is the next day.
constexpr int kMidnightJumpS = 12 * 3600;
// No log line comes near this; a longer one is skipped without being kept whole.
constexpr qsizetype kMaxLineBytes = 64 * 1024;
constexpr qint64 kChunkBytes = 1 << 20;
constexpr int kQuarterS = 900;
// Clocks change by at most a few hours, months apart.
constexpr qint64 kNoChangeMs = 4 * 3600 * 1000;
constexpr qint64 kUnixEpochJulianDay = 2440588;

struct LineRead {
  LogKind kind = LogKind::Unknown;
  bool data = false;
  QTime time;
  Sample sample;
};

LineRead readLine(QByteArrayView line, std::vector<QByteArrayView>& fields) {
  LineRead r;
  logfield::split(line, fields);
  if (pidlog::read(fields, r.time, r.sample))
    r.kind = LogKind::PidRun;
  else if (pusklog::read(fields, r.time, r.sample))
    r.kind = LogKind::PuskWork;
  else if (streamlog::read(fields, r.time, r.sample))
    r.kind = LogKind::Stream;
  r.data = r.kind != LogKind::Unknown;
  if (r.data) return r;
  const QString text = cp1251::decode(line.toByteArray());
  const QStringView trimmed = QStringView(text).trimmed();
  if (pidlog::isHeader(trimmed))
    r.kind = LogKind::PidRun;
  else if (pusklog::isHeader(trimmed))
    r.kind = LogKind::PuskWork;
  return r;
}

}  // namespace

struct LogParser::State {
  QDate date;
  SampleSink sink;
  QTime startedAt;
  LogSummary summary;
  QByteArray pending;  // the start of a line not ended yet
  bool pendingTooLong = false;
  std::vector<QByteArrayView> fields;
  bool firstDataSeen = false;
  int day = 0;
  int previousS = -1;
  // Local time to ms: QDateTime once a quarter of an hour, straight on from
  // there while the zone's offset is the same for hours around. Near a clock
  // change each line is placed by the offsets on either side: where the clock
  // went back a time of day names two moments, and the log, written in time
  // order, means the first one not before the line above it.
  qint64 quarterKey = std::numeric_limits<qint64>::min();
  qint64 quarterMs = 0;
  bool quarterStraight = false;
  qint64 previousMs = std::numeric_limits<qint64>::min();

  static int offsetAt(qint64 ms) { return QDateTime::fromMSecsSinceEpoch(ms).offsetFromUtc(); }

  qint64 localMs(QTime time) {
    const int s = time.msecsSinceStartOfDay() / 1000;
    const qint64 key = qint64(day) * (86400 / kQuarterS) + s / kQuarterS;
    const QDate d = date.addDays(day);
    if (key != quarterKey) {
      quarterKey = key;
      const QDateTime start(d, QTime::fromMSecsSinceStartOfDay(s / kQuarterS * kQuarterS * 1000));
      quarterMs = start.toMSecsSinceEpoch();
      const int offset = start.offsetFromUtc();
      quarterStraight = offsetAt(quarterMs - kNoChangeMs) == offset &&
                        offsetAt(quarterMs + kNoChangeMs) == offset;
    }
    if (quarterStraight) return previousMs = quarterMs + qint64(s % kQuarterS) * 1000;

    const qint64 naive = (d.toJulianDay() - kUnixEpochJulianDay) * 86'400'000LL + qint64(s) * 1000;
    const qint64 guess = QDateTime(d, time).toMSecsSinceEpoch();
    qint64 chosen = std::numeric_limits<qint64>::max(), earliest = chosen;
    for (const int offset : {offsetAt(guess - kNoChangeMs), offsetAt(guess + kNoChangeMs)}) {
      const qint64 ms = naive - qint64(offset) * 1000;
      if (offsetAt(ms) != offset) continue;  // not a moment of that offset
      earliest = std::min(earliest, ms);
      if (ms >= previousMs) chosen = std::min(chosen, ms);
    }
    if (chosen == std::numeric_limits<qint64>::max()) chosen = earliest;
    // No moment at all: a time the clock skipped; as the zone places it.
    if (chosen == std::numeric_limits<qint64>::max()) chosen = guess;
    return previousMs = chosen;
  }
};

LogParser::LogParser(QDate date, SampleSink sink, QTime startedAt) : s_(std::make_unique<State>()) {
  s_->date = date.isValid() ? date : QDate::currentDate();
  s_->sink = std::move(sink);
  s_->startedAt = startedAt;
}

LogParser::~LogParser() = default;

void LogParser::feed(QByteArrayView bytes) {
  State& s = *s_;
  while (!bytes.isEmpty()) {
    const qsizetype end = bytes.indexOf('\n');
    const QByteArrayView part = end < 0 ? bytes : bytes.first(end);
    if (end >= 0 && s.pending.isEmpty() && !s.pendingTooLong) {
      takeLine(part, false);  // the common case: a whole line in the piece, read where it is
    } else {
      if (!s.pendingTooLong && s.pending.size() + part.size() > kMaxLineBytes) {
        s.pendingTooLong = true;
        s.pending.clear();
      }
      if (!s.pendingTooLong) s.pending.append(part);
      if (end < 0) return;
      endPending(false);
    }
    bytes = bytes.sliced(end + 1);
  }
}

void LogParser::endPending(bool cut) {
  State& s = *s_;
  if (s.pendingTooLong)
    ++s.summary.skippedLines;
  else if (!s.pending.isEmpty())
    takeLine(s.pending, cut);
  s.pending.clear();
  s.pendingTooLong = false;
}

LogSummary LogParser::finish() {
  State& s = *s_;
  endPending(true);
  if (s.summary.kind == LogKind::Unknown && s.summary.skippedLines > 0)
    s.summary.error = QString::fromUtf8("в файле нет ни одной строки журнала данных");
  return s.summary;
}

void LogParser::takeLine(QByteArrayView line, bool cut) {
  State& s = *s_;
  if (line.size() > kMaxLineBytes) {
    ++s.summary.skippedLines;
    return;
  }
  if (line.endsWith('\r')) line.chop(1);
  if (logfield::blank(line)) return;
  // Where a run read no frames: neither data nor damage.
  if (loggap::isGapLine(line)) return;
  LineRead r = readLine(line, s.fields);
  if (s.summary.kind == LogKind::Unknown && r.kind != LogKind::Unknown && !cut)
    s.summary.kind = r.kind;
  const bool belongs = r.kind != LogKind::Unknown && r.kind == s.summary.kind;
  if (!belongs || cut) {
    ++s.summary.skippedLines;
    return;
  }
  if (!r.data) return;  // a header line of this log
  if (!s.firstDataSeen) {
    s.firstDataSeen = true;
    if (s.startedAt.isValid() && QDateTime(s.date, r.time).toMSecsSinceEpoch() <
                                     QDateTime(s.date, s.startedAt).toMSecsSinceEpoch())
      s.date = s.date.addDays(1);
  }
  const int seconds = r.time.msecsSinceStartOfDay() / 1000;
  if (s.previousS >= 0 && seconds < s.previousS - kMidnightJumpS) ++s.day;
  s.previousS = seconds;
  r.sample.timeMs = s.localMs(r.time);
  r.sample.source = Source::Log;
  ++s.summary.samples;
  if (s.sink) s.sink(r.sample);
}

LogSummary streamLog(const QString& path, const SampleSink& sink,
                     const std::function<void(qint64 done, qint64 size)>& progress) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    LogSummary failed;
    failed.error = QString::fromUtf8("файл не прочитан: %1").arg(file.errorString());
    return failed;
  }
  const QString where = QFileInfo(path).absoluteFilePath();
  static const QRegularExpression dated(QStringLiteral("/(\\d{4})/(\\d\\d)/(\\d\\d)/[^/]*$"));
  QDate date;
  if (const auto m = dated.match(where); m.hasMatch())
    date = QDate(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
  // The file is named by the time it was started ("09_05_03 Data.txt").
  QTime startedAt;
  static const QRegularExpression started(QStringLiteral("^(\\d\\d)_(\\d\\d)_(\\d\\d) "));
  if (const auto m = started.match(QFileInfo(path).fileName()); date.isValid() && m.hasMatch())
    startedAt = QTime(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());

  LogParser parser(date, sink, startedAt);
  QByteArray chunk(kChunkBytes, Qt::Uninitialized);
  const qint64 size = file.size();
  qint64 done = 0;
  for (;;) {
    const qint64 got = file.read(chunk.data(), kChunkBytes);
    if (got < 0) {
      LogSummary failed = parser.finish();
      failed.error = QString::fromUtf8("файл не прочитан: %1").arg(file.errorString());
      return failed;
    }
    if (got == 0) break;
    parser.feed(QByteArrayView(chunk.constData(), got));
    done += got;
    if (progress) progress(done, size);
  }
  return parser.finish();
}

namespace {

LogReadResult collected(LogSummary summary, std::vector<Sample> samples) {
  LogReadResult r;
  r.kind = summary.kind;
  r.samples = std::move(samples);
  r.skippedLines = summary.skippedLines;
  r.error = summary.error;
  return r;
}

}  // namespace

LogReadResult parseLog(const QByteArray& bytes, QDate date) {
  std::vector<Sample> samples;
  LogParser parser(date, [&samples](const Sample& s) { samples.push_back(s); });
  parser.feed(bytes);
  return collected(parser.finish(), std::move(samples));
}

LogReadResult readLog(const QString& path) {
  std::vector<Sample> samples;
  LogSummary summary = streamLog(path, [&samples](const Sample& s) { samples.push_back(s); });
  return collected(std::move(summary), std::move(samples));
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
