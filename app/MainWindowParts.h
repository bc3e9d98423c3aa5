#pragma once
// The working parts of the main window on its form, wired to each other: the
// panel mirror and the service area (panel/) and the main window's run timers
// (pid/), and the telemetry stream of the P/B key (pid/). panel/ and pid/
// know only the kit's RunView, PuskTimerHooks and StreamView; this is where
// each is handed the other's. The PID work window's timer
// (TimerPid) joins here beside TimerPuskPidNew when it is built.
#include <QObject>
#include <QString>
#include <QWidget>

#include <functional>

#include "panel/PanelMirror.h"
#include "panel/ServiceArea.h"
#include "pid/PuskRun.h"
#include "pid/TelemetryStream.h"
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

  // The main-window button with this designed name shows a window through
  // open, on the press or click its design gives it; false when no such
  // window button exists.
  bool connectWindowButton(const QString& name, std::function<void()> open);

 private:
  PanelMirror* mirror_;
  ServiceArea* service_;
  PuskRun* pusk_;
  TelemetryStream* telemetry_;
};

}  // namespace calorix
