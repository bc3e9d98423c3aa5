#pragma once
// The Пуск run of the main window: the re-armed 4-second tick that takes the
// controller's next PID frame, appends a work-log line, repaints the panel
// from the frame, notices the end of the program and carries out the stop.
#include <QColor>
#include <QObject>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <functional>

#include "app/WindowContext.h"
#include "panel/PanelDecode.h"

namespace calorix {

// What the run changes on the main window.
struct PuskRunView {
  std::function<void(const panel::Indication&)> showIndication;
  std::function<void(std::uint8_t)> setBlinkFlags;
  std::function<void(const QString&)> setWorkCounterText;  // Edit37
  std::function<QColor()> panelColor;                      // Panel1
  std::function<void(const QColor&)> setPanelColor;
};

class PuskRun : public QObject {
  Q_OBJECT
 public:
  static constexpr int kCyclePeriodMs = 4000;
  static constexpr int kDesignedPeriodMs = 5000;
  // A tick that finds the link busy comes back this much later.
  static constexpr int kBusyRetryMs = 50;

  PuskRun(WindowContext& context, PuskRunView view, QObject* parent = nullptr);

  QTimer& TimerPuskPidNew() { return timerPuskPidNew_; }
  QTimer& TimerForReadForPolz() { return timerForReadForPolz_; }

  // One TimerPuskPidNew tick as the timer delivers it: it takes the exchange
  // guard itself and re-arms shortly when the link is busy.
  void tick();
  // Arms the first tick of a run (the last step of the Пуск start).
  void arm();

  // Caller holds the exchange guard for these.
  void WriteRunLine();
  void ShowPanelFromMirror();

 private:
  void runTick();
  void stopSequence();
  std::uint8_t mirror(int addr) const { return ctx_.link.RamMirror()[addr]; }

  WindowContext& ctx_;
  PuskRunView view_;
  QTimer timerPuskPidNew_;
  QTimer timerForReadForPolz_;
};

}  // namespace calorix
