#pragma once
// The working parts of the main window on its form, wired to each other: the
// panel mirror and the service area (panel/) and the main window's run timers
// (pid/), and the telemetry stream of the P/B key (pid/). panel/ and pid/
// know only the kit's RunView, PuskTimerHooks and StreamView; this is where
// each is handed the other's. TimerPid (pid/PidRun) lives here beside
// TimerPuskPidNew and fills the PID work window once it is attached.
#include <QObject>
#include <QString>
#include <QWidget>

#include <functional>

#include "panel/PanelMirror.h"
#include "panel/ServiceArea.h"
#include "pid/PidRun.h"
#include "pid/PuskRun.h"
#include "pid/TFormRabPID.h"
#include "pid/TelemetryStream.h"
#include "ui/TrendFeed.h"
#include "ui/WindowContext.h"

namespace calorix {

class MainWindowParts : public QObject {
  Q_OBJECT
 public:
  // Builds the panel area, the service area and the timers as children of form.
  MainWindowParts(QWidget* form, WindowContext& context);

  PanelMirror& mirror() { return *mirror_; }
  ServiceArea& service() { return *service_; }
  PuskRun& puskRun() { return *pusk_; }
  TelemetryStream& telemetry() { return *telemetry_; }
  PidRun& pidRun() { return *pid_; }

  // The PID work window, created after the main window: TimerPid fills it
  // and its start arms TimerPid.
  void attachPidWindow(TFormRabPID& window) {
    pidWindow_ = &window;
    pid_->attach(window);
  }
  // Every frame the runs and the stream read goes to feed as well.
  void setTrendFeed(const TrendFeed& feed);
  // The main window closes: no run tick may follow.
  void stopRunTimers();

  // The main-window button with this designed name shows a window through
  // open, on the press or click its design gives it; false when no such
  // window button exists.
  bool connectWindowButton(const QString& name, std::function<void()> open);

 private:
  PanelMirror* mirror_;
  ServiceArea* service_;
  PuskRun* pusk_;
  PidRun* pid_;
  TelemetryStream* telemetry_;
  TFormRabPID* pidWindow_ = nullptr;
};

}  // namespace calorix
