#pragma once
// The console's three data logs read back into trend samples: the PID run log
// of a PID-window run (plot/PidRunLog.h), the work log of a Пуск run
// (plot/PuskWorkLog.h) and the telemetry log of the P/B stream
// (plot/StreamLog.h). Each is recognised by the shape of its header or its
// lines. A log is read as it streams past: nothing of the file is kept but
// the line being read, so a day of the stream costs only what its samples do
// where the caller puts them.
//
// Iterating a log's samples, simplest first:
//   for (const Sample& s : readLog(path).samples) ...          // all in memory
//   streamLog(path, [&](const Sample& s) { ... });             // one at a time
//   LogParser p(date, sink); p.feed(bytes); ... p.finish();    // bytes you have
#include <QByteArray>
#include <QByteArrayView>
#include <QDate>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

#include "plot/TrendSample.h"

namespace calorix::plot {

enum class LogKind { PidRun, PuskWork, Stream, Unknown };

// What a reading found besides its samples.
struct LogSummary {
  LogKind kind = LogKind::Unknown;
  std::size_t samples = 0;
  int skippedLines = 0;  // header lines not counted; non-log lines and a truncated last line are
  QString error;         // non-empty when the file could not be read at all
};

struct LogReadResult {
  LogKind kind = LogKind::Unknown;
  std::vector<Sample> samples;  // Source::Log, in file order
  int skippedLines = 0;
  QString error;
};

using SampleSink = std::function<void(const Sample&)>;

// Reads a log from its bytes as they come, in pieces of any size. Bytes:
// Windows-1251, CR LF (LF alone accepted), "," or "." decimals; date: the day
// of the log's dated directory (the time of day comes from each line). A line
// whose time of day is more than twelve hours before the previous one's is
// taken as the next day: a log goes on in the directory of the day it was
// started in after midnight. startedAt (the time in the file's name): a first
// line earlier in the day than that was written after midnight. Lines of
// another shape than the first log line's are skipped and counted: so is a
// line the console does not write yet, and a line longer than any log line
// (64 KiB).
class LogParser {
 public:
  LogParser(QDate date, SampleSink sink, QTime startedAt = QTime());
  ~LogParser();
  LogParser(const LogParser&) = delete;
  LogParser& operator=(const LogParser&) = delete;

  void feed(QByteArrayView bytes);
  // The end of the bytes: a last line without its line end was cut off,
  // possibly inside its last number, and is skipped.
  LogSummary finish();

 private:
  struct State;
  void takeLine(QByteArrayView line, bool cut);
  void endPending(bool cut);
  std::unique_ptr<State> s_;
};

// Streams the file at path into sink; the date from its dated directory
// (…/YYYY/MM/DD/…), today when there is none. progress (may be empty) hears
// the bytes read so far and the file's size.
LogSummary streamLog(const QString& path, const SampleSink& sink,
                     const std::function<void(qint64 done, qint64 size)>& progress = {});

// The same, every sample collected.
LogReadResult parseLog(const QByteArray& bytes, QDate date);
LogReadResult readLog(const QString& path);

// What the kind is called where the operator reads it ("журнал PID", ...).
QString logKindText(LogKind kind);

}  // namespace calorix::plot
