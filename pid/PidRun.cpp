#include "pid/PidRun.h"

#include "core/Abort.h"
#include "core/ControllerMap.h"
#include "link/Action.h"
#include "pid/RunRegisters.h"
#include "pid/TFormRabPID.h"
#include "pid/TrendSampleDecode.h"

namespace calorix {

PidRun::PidRun(WindowContext& context, QObject* parent) : QObject(parent), ctx_(context) {
  timerPid_.setObjectName(QStringLiteral("TimerPid"));
  timerPid_.setInterval(kDesignedPeriodMs);
  timerPid_.setTimerType(Qt::PreciseTimer);
  connect(&timerPid_, &QTimer::timeout, this, &PidRun::tick);
}

void PidRun::attach(TFormRabPID& window) {
  window_ = &window;
  window.setTimerPid([this] { arm(); });
}

void PidRun::arm() {
  timerPid_.setInterval(kCyclePeriodMs);
  timerPid_.start();
}

void PidRun::tick() {
  // An idle tick leaves its timer running and does nothing on the port; a
  // Пуск run's frames are its own timer's.
  if (ctx_.run.PidRunActive != 1 || ctx_.run.Owner == RunOwner::Pusk || !window_) return;
  if (!runAction(ctx_.link, ctx_.messages, [this] { runTick(); })) {
    // Another exchange lets events run: come back shortly rather than lose
    // the cycle.
    timerPid_.start(kBusyRetryMs);
  }
}

void PidRun::runTick() {
  RunState& run = ctx_.run;
  Link& link = ctx_.link;
  if (run.PidRunActive != 1) return;
  timerPid_.stop();

  // Whatever the protocol switch says: the cycles of a run can be found in
  // the protocol even when the transfers are not traced.
  link.WriteProtocolDirect(QString::fromUtf8("Начало чтения по срабатыванию таймера"));
  link.RdPidFrame();
  window_->countFrame();
  window_->ShowPidCoefs();
  window_->ShowPidValues();
  trend_(pid::pidFrameSample(pid::RamImage(link.RamMirror()), pid::sampleTime(link.clock()),
                             plot::Source::PidRun));
  try {
    window_->WritePidLine();
  } catch (const AbortAction& failed) {
    // A run log that cannot be written must not keep the run from going on
    // or from being stopped.
    ctx_.messages.show(failed.message());
  }

  if (run.PidStopRequest == 1)
    stopSequence();
  else
    arm();
}

void PidRun::stopSequence() {
  RunState& run = ctx_.run;
  Link& link = ctx_.link;
  link.SendPanelKey(ctl::panelKey::kPuskStop);
  link.clock().sleepMs(TFormRabPID::kPauseMs);
  clearRunRegisterBits(link);
  link.clock().sleepMs(TFormRabPID::kPauseMs);
  if (ctx_.readPanel) ctx_.readPanel();
  run.PidStopRequest = 0;
  run.PidRunActive = 0;
  run.Owner = RunOwner::None;
  window_->runStopped();
  // Last, so that a log that cannot be closed leaves a stopped run behind.
  window_->closeRunLog();
}

}  // namespace calorix
