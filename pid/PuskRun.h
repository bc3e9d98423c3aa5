#pragma once
// The Пуск run of the main window: the re-armed 4-second tick that takes the
// controller's next PID frame, appends a work-log line, repaints the panel
// from the frame, notices the end of the program and carries out the stop.
// It reaches the panel only through the RunView it is given.
#include <QObject>
#include <QTimer>

#include <cstdint>

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

  PuskRun(WindowContext& context, RunView view, QObject* parent = nullptr);

  QTimer& TimerPuskPidNew() { return timerPuskPidNew_; }
  QTimer& TimerForReadForPolz() { return timerForReadForPolz_; }

  // What the panel's Пуск/Стоп key asks of this timer.
  PuskTimerHooks hooks();

  // One TimerPuskPidNew tick as the timer delivers it: it takes the exchange
  // guard itself and re-arms shortly when the link is busy.
  void tick();
  // Arms the first tick of a run (the last step of the Пуск start).
  void arm();

  // Every frame a tick reads goes to the trend as well.
  void setTrendFeed(TrendFeed feed) { trend_ = std::move(feed); }

  // Caller holds the exchange guard for these.
  void WriteRunLine();
  void ShowPanelFromMirror();

 private:
  void runTick();
  void stopSequence();
  std::uint8_t mirror(int addr) const { return ctx_.link.RamMirror()[addr]; }
  bool heaterOn() const;

  WindowContext& ctx_;
  RunView view_;
  QTimer timerPuskPidNew_;
  QTimer timerForReadForPolz_;
  TrendFeed trend_;
};

}  // namespace calorix
