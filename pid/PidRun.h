#pragma once
// TimerPid of the main window: the re-armed 4-second tick of a run started in
// the PID work window. Each tick takes the controller's next PID frame,
// refreshes the window's display, appends a line to the run log and, when the
// window has asked, carries out the stop. The main window owns the timer
// (app/MainWindowParts); the window it fills is attached once both exist.
#include <QObject>
#include <QTimer>

#include "ui/TrendFeed.h"
#include "ui/WindowContext.h"

namespace calorix {

class TFormRabPID;

class PidRun : public QObject {
  Q_OBJECT
 public:
  static constexpr int kCyclePeriodMs = 4000;
  static constexpr int kDesignedPeriodMs = 5000;
  static constexpr int kBusyRetryMs = calorix::kBusyRetryMs;

  explicit PidRun(WindowContext& context, QObject* parent = nullptr);

  QTimer& TimerPid() { return timerPid_; }

  // The window whose fields the ticks fill; its start arms this timer.
  void attach(TFormRabPID& window);

  // One tick as the timer delivers it: it takes the exchange guard itself and
  // comes back shortly when the link is busy.
  void tick();
  // The first tick of a run: interval 4000 ms, enabled.
  void arm();
  // Every frame a tick reads goes to the trend as well.
  void setTrendFeed(TrendFeed feed) { trend_ = std::move(feed); }
  // The main window closes: no tick may follow.
  void stop() { timerPid_.stop(); }

 private:
  void runTick();
  void stopSequence();

  WindowContext& ctx_;
  TFormRabPID* window_ = nullptr;
  QTimer timerPid_;
  TrendFeed trend_;
};

}  // namespace calorix
