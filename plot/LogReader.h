#pragma once
// The console's three data logs read back into trend samples: the PID run log
// of a PID-window run (two header lines, then 23 fields a line), the work log
// of a Пуск run (two header lines, then number, time, program, stage,
// temperature) and the telemetry log of the P/B stream (no header; time, then
// eight values). Each is recognised by the shape of its header or its lines.
#include <QByteArray>
#include <QDate>
#include <QString>

#include <vector>

#include "plot/TrendSample.h"

namespace calorix::plot {

enum class LogKind { PidRun, PuskWork, Stream, Unknown };

struct LogReadResult {
  LogKind kind = LogKind::Unknown;
  std::vector<Sample> samples;  // Source::Log, in file order
  int skippedLines = 0;  // header lines not counted; non-log lines and a truncated last line are
  QString error;         // non-empty when the file could not be read at all
};

// bytes: Windows-1251, CR LF (LF alone accepted), "," or "." decimals; date: the day of the log's
// dated directory (the time of day comes from each line). A line whose time of day is more than
// twelve hours before the previous one's is taken as the next day: a log goes on in the
// directory of the day it was started in after midnight.
LogReadResult parseLog(const QByteArray& bytes, QDate date);
// Reads path; the date from its dated directory (…/YYYY/MM/DD/…), today when there is none.
LogReadResult readLog(const QString& path);

// What the kind is called where the operator reads it ("журнал PID", ...).
QString logKindText(LogKind kind);

}  // namespace calorix::plot
