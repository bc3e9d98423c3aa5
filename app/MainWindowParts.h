#pragma once
// The working parts of the main window on its form, wired to each other: the
// panel mirror and the service area (panel/), and the owners of the runs
// (pid/): the Пуск run, the PID work window's run (TimerPid, which fills the
// window once it is attached) and the telemetry stream of the P/B key. The
// owners alone write the run state; panel/ and pid/ know only the kit's
// RunView, PuskStopKey, StreamView and StreamKeys, and this is where each is
// handed the other's.
#include <QObject>
#include <QString>
#include <QWidget>

#include <functional>
#include <memory>

#include "panel/PanelMirror.h"
#include "panel/ServiceArea.h"
#include "pid/HeatWarning.h"
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
  // Builds the panel area, the service area and the run owners as children of
  // form; the owners write state, which context shows read-only.
  MainWindowParts(QWidget* form, WindowContext& context, RunState& state);

  PanelMirror& mirror() { return *mirror_; }
  ServiceArea& service() { return *service_; }
  PuskRun& puskRun() { return *pusk_; }
  TelemetryStream& telemetry() { return *telemetry_; }
  PidRun& pidRun() { return *pid_; }

  // The PID work window, created after the main window: TimerPid fills it
  // and its start arms TimerPid.
  void attachPidWindow(TFormRabPID& window) { pid_->attach(window); }
  // Every frame the runs and the stream read goes to feed as well.
  void setTrendFeed(const TrendFeed& feed);
  // The main window closes: no run tick may follow.
  void stopRunTimers();
  // The close box during a heating run, answered "stop it first": the run's
  // stop is asked for and carried out now. False when the line is busy: the
  // stop then follows as soon as it is free, and runEnded() comes after it.
  bool stopRunNow();

 signals:
  // A Пуск or PID-window run has run its stop sequence to the end.
  void runEnded();

 public:
  // The main-window button with this designed name shows a window through
  // open, on the press or click its design gives it; false when no such
  // window button exists.
  bool connectWindowButton(const QString& name, std::function<void()> open);

 private:
  const RunState& state_;
  std::unique_ptr<HeatWarning> warning_;
  PanelMirror* mirror_;
  ServiceArea* service_;
  PuskRun* pusk_;
  PidRun* pid_;
  TelemetryStream* telemetry_;
};

}  // namespace calorix
