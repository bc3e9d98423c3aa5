#pragma once
// The Пуск run of the main window, from the Пуск/Стоп press to the end of its
// stop: the start (work log, register bit, key code, first frame), the
// re-armed 4-second tick of TimerPuskPidNew that takes the controller's next
// PID frame, appends a work-log line, repaints the panel from the frame and
// notices the end of the program, and the stop sequence. It alone writes
// PuskFlag, WorkLineDue and, while its run holds them, PidRunActive,
// PidStopRequest and WorkCounter; it reaches the panel only through the
// RunView it is given.
//
// Стоп is latched whatever holds the line (it exchanges nothing) and carried
// out by the next tick, which comes back as soon as the line is free; every
// tick re-arms and every stop runs to its end whatever the files do, and what
// there is to tell is shown once the line is free again.
#include <QColor>
#include <QObject>
#include <QTimer>

#include <cstdint>

#include "pid/HeatWarning.h"
#include "pid/RunGap.h"
#include "pid/RunLog.h"
#include "pid/RunReport.h"
#include "ui/RunHooks.h"
#include "ui/TrendFeed.h"
#include "ui/WindowContext.h"

namespace calorix {

class PuskRun : public QObject {
  Q_OBJECT
 public:
  static constexpr int kCyclePeriodMs = 4000;
  static constexpr int kDesignedPeriodMs = 5000;
  static constexpr int kBusyRetryMs = calorix::kBusyRetryMs;

  PuskRun(WindowContext& context, RunState& state, RunView view, QObject* parent = nullptr);

  QTimer& TimerPuskPidNew() { return timerPuskPidNew_; }
  QTimer& TimerForReadForPolz() { return timerForReadForPolz_; }

  // What the panel's Пуск/Стоп key forwards: pressPuskStop.
  PuskStopKey key() {
    return [this] { pressPuskStop(); };
  }
  // Пуск/Стоп pressed: Стоп while PuskFlag is 1 (latched at once), refused
  // while a stop is pending, otherwise Пуск under the exchange guard.
  void pressPuskStop();
  // A stop that did not reach the controller is shown through warning.
  void setHeatWarning(HeatWarning* warning) { warning_ = warning; }

  // One TimerPuskPidNew tick as the timer delivers it: it takes the exchange
  // guard itself and re-arms shortly when the link is busy.
  void tick();
  // The main window closes: no tick may follow.
  void stopTimers();

  // Every frame a tick reads goes to the trend as well.
  void setTrendFeed(TrendFeed feed) { trend_ = std::move(feed); }

  // The frames this run's ticks did not get.
  const RunGap& gap() const { return gap_; }

  // Caller holds the exchange guard for these.
  void WriteRunLine();
  void ShowPanelFromMirror();

 signals:
  // The stop sequence has run to its end.
  void runEnded();

 private:
  void start();
  void requestStop();
  void arm();
  void runTick();
  void missedTick();
  void stopSequence();
  void paintPanel(const QColor& color);
  std::uint8_t mirror(int addr) const { return ctx_.link.RamMirror()[addr]; }
  bool heaterOn() const;

  WindowContext& ctx_;
  RunState& state_;
  RunView view_;
  RunReport report_;
  RunLog log_;
  HeatWarning* warning_ = nullptr;
  // What this run last painted Panel1: the first tick turns the Пуск colour
  // into the running one.
  QColor panelColor_ = colors::kActiveBorder;
  QTimer timerPuskPidNew_;
  QTimer timerForReadForPolz_;
  TrendFeed trend_;
  RunGap gap_;
};

}  // namespace calorix
