#pragma once
// Time for the link: a monotonic millisecond counter, the local wall-clock time
// for stamps and file names, and blocking sleeps for the fixed pauses.
// The virtual clock lets tests run 6-second time-outs and 100 ms pauses in no
// real time.
#include <QDateTime>
#include <QtGlobal>

namespace calorix {

class Clock {
 public:
  virtual ~Clock() = default;
  // Monotonic milliseconds since an arbitrary start.
  virtual qint64 nowMs() const = 0;
  // Local date and time of day, with milliseconds.
  virtual QDateTime localNow() const = 0;
  virtual void sleepMs(qint64 ms) = 0;
};

class RealClock : public Clock {
 public:
  RealClock();
  qint64 nowMs() const override;
  QDateTime localNow() const override;
  void sleepMs(qint64 ms) override;

 private:
  qint64 startNs_;
};

// Time moves only when somebody sleeps or advances it. localNow() is the start
// date-time plus the elapsed virtual milliseconds.
class VirtualClock : public Clock {
 public:
  explicit VirtualClock(QDateTime start = QDateTime(QDate(2026, 3, 5), QTime(12, 3, 7, 450)));
  qint64 nowMs() const override { return nowMs_; }
  QDateTime localNow() const override { return start_.addMSecs(nowMs_); }
  void sleepMs(qint64 ms) override { advance(ms); }
  void advance(qint64 ms) {
    if (ms > 0) nowMs_ += ms;
  }
  void advanceTo(qint64 ms) {
    if (ms > nowMs_) nowMs_ = ms;
  }
  void setLocalStart(const QDateTime& start) { start_ = start; }

 private:
  QDateTime start_;
  qint64 nowMs_ = 0;
};

}  // namespace calorix
