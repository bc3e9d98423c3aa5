#pragma once
// The data log of one run or stream: opened by its start, written by its
// cycles, closed by its stop. A run writes only into the log it opened
// itself: once another log has replaced it (or when it keeps none) its lines
// go nowhere and its stop closes no other log. A log that cannot be written
// is closed by the link and noted in the run's report once; the run goes on
// without it, and its next start opens a new one.
#include <QString>

#include <array>

#include "link/Link.h"
#include "pid/RunReport.h"

namespace calorix {

class RunLog {
 public:
  RunLog(Link& link, RunReport& report) : link_(link), report_(report) {}

  // A new data log for this run; AbortAction when it cannot be created.
  void open();
  // The run keeps no log (any more).
  void forget() { path_.clear(); }
  // This run's log is the link's open one.
  bool isOpen() const;
  void write(const QString& line);
  // The telemetry stream's line (Link::WriteDataLine).
  void writeTelemetry(const std::array<QString, 8>& texts);
  // Closes this run's log, no other.
  void close();

 private:
  Link& link_;
  RunReport& report_;
  QString path_;
};

}  // namespace calorix
