#pragma once
// The heating run of the PID work window, from "Вкл нагрева" to the end of
// its stop: the start (register bits, own coefficients, run log, key code,
// first frame), the re-armed 4-second tick of TimerPid that takes the
// controller's next PID frame, refreshes the window, appends a line to the
// run log and, once "Выкл нагрева" has asked, carries out the stop. It alone
// writes the run's flags while its run holds them. The main window owns the
// timer (app/MainWindowParts); the window it fills is attached once both
// exist, and the window forwards its two run buttons here.
//
// "Выкл нагрева" is latched whatever holds the line and carried out by the
// next tick, which comes back as soon as the line is free; every tick
// re-arms and every stop runs to its end whatever the files do, and what
// there is to tell is shown once the line is free again.
#include <QObject>
#include <QTimer>

#include <array>
#include <cstdint>
#include <functional>

#include "core/ControllerMap.h"
#include "pid/HeatWarning.h"
#include "pid/RunGap.h"
#include "pid/RunLog.h"
#include "pid/RunReport.h"
#include "ui/TrendFeed.h"
#include "ui/WindowContext.h"

namespace calorix {

class TFormRabPID;

// How "Вкл нагрева" starts a run: the three boxes of the window, and its
// coefficient entries, parsed when the start reaches them (a text that does
// not convert abandons the start with AbortAction).
struct PidRunStart {
  bool ownCoefficients = false;  // "Задать к-ты PID"
  bool log = true;               // "Вывод данных PID в файл"
  bool noPropDecrease = false;   // "Запрет уменьшения пропор возд"
  std::function<std::array<std::uint8_t, ctl::ram::kPidCoefBytes>()> coefficients;
};

class PidRun : public QObject {
  Q_OBJECT
 public:
  static constexpr int kCyclePeriodMs = 4000;
  static constexpr int kDesignedPeriodMs = 5000;
  static constexpr int kBusyRetryMs = calorix::kBusyRetryMs;
  static constexpr int kPauseMs = 50;

  PidRun(WindowContext& context, RunState& state, QObject* parent = nullptr);

  QTimer& TimerPid() { return timerPid_; }

  // The window whose fields the run fills and whose run buttons come here.
  void attach(TFormRabPID& window);

  // "Вкл нагрева": under the exchange guard, refused with a message while
  // another run holds the run flags.
  void pressStart(const PidRunStart& how);
  // "Выкл нагрева": latched at once, the next tick carries out the stop.
  void requestStop();
  // A stop that did not reach the controller is shown through warning.
  void setHeatWarning(HeatWarning* warning) { warning_ = warning; }

  // One tick as the timer delivers it: it takes the exchange guard itself and
  // comes back shortly when the link is busy.
  void tick();
  // Every frame the run reads goes to the trend as well.
  void setTrendFeed(TrendFeed feed) { trend_ = std::move(feed); }
  // The main window closes: no tick may follow.
  void stop() { timerPid_.stop(); }
  // The frames this run's ticks did not get.
  const RunGap& gap() const { return gap_; }

 signals:
  // The stop sequence has run to its end.
  void runEnded();

 private:
  void start(const PidRunStart& how);
  void arm();
  void abandonStart(bool ownCoefsSet);
  bool takeFrame(const RunGap::WriteLine& writeGapLine);
  void writePidLine();
  void runTick();
  void stopSequence();

  WindowContext& ctx_;
  RunState& state_;
  TFormRabPID* window_ = nullptr;
  RunReport report_;
  RunLog log_;
  HeatWarning* warning_ = nullptr;
  QTimer timerPid_;
  TrendFeed trend_;
  RunGap gap_;
  bool framesAsked_ = true;
};

}  // namespace calorix
