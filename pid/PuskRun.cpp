#include "pid/PuskRun.h"

#include <QStringList>

#include "core/Abort.h"
#include "core/ByteCodec.h"
#include "core/ControllerMap.h"
#include "core/NumberText.h"
#include "link/Action.h"
#include "pid/RunRegisters.h"
#include "pid/TrendSampleDecode.h"

namespace calorix {

PuskRun::PuskRun(WindowContext& context, RunView view, QObject* parent)
    : QObject(parent), ctx_(context), view_(std::move(view)) {
  for (QTimer* t : {&timerPuskPidNew_, &timerForReadForPolz_}) {
    t->setInterval(kDesignedPeriodMs);
    t->setTimerType(Qt::PreciseTimer);
  }
  timerPuskPidNew_.setObjectName(QStringLiteral("TimerPuskPidNew"));
  timerForReadForPolz_.setObjectName(QStringLiteral("TimerForReadForPolz"));
  connect(&timerPuskPidNew_, &QTimer::timeout, this, &PuskRun::tick);
  // TimerForReadForPolz has no work: it is switched off by Стоп and by the end
  // of a program, and nothing switches it on.
}

PuskTimerHooks PuskRun::hooks() {
  PuskTimerHooks h;
  h.writeRunLine = [this] { WriteRunLine(); };
  h.arm = [this] { arm(); };
  h.stopReadForPolz = [this] { timerForReadForPolz_.stop(); };
  return h;
}

bool PuskRun::heaterOn() const {
  return ctl::flagSet(mirror(ctl::ram::kFlags), ctl::flags::kHeaterOn);
}

void PuskRun::arm() {
  timerPuskPidNew_.setInterval(kCyclePeriodMs);
  timerPuskPidNew_.start();
}

void PuskRun::tick() {
  // An idle tick leaves its timer running and does nothing on the port; the
  // PID work window's run is TimerPid's.
  if (ctx_.run.PidRunActive != 1 || ctx_.run.Owner == RunOwner::PidWindow) return;
  if (!runAction(ctx_.link, ctx_.messages, [this] { runTick(); })) {
    // Another exchange is in progress (it lets events run): come back shortly
    // rather than lose the cycle.
    timerPuskPidNew_.start(kBusyRetryMs);
  }
}

void PuskRun::runTick() {
  RunState& run = ctx_.run;
  Link& link = ctx_.link;
  if (run.PidRunActive != 1) return;
  timerPuskPidNew_.stop();

  link.RdPidFrame();
  ++run.WorkCounter;
  view_.setWorkCounterText(decimalText(run.WorkCounter));
  try {
    WriteRunLine();
  } catch (const AbortAction& failed) {
    // A work log that cannot be written must not stop the run from being
    // carried on or stopped: report it and go on with the cycle.
    ctx_.messages.show(failed.message());
  }
  ShowPanelFromMirror();
  trend_(pid::pidFrameSample(pid::RamImage(link.RamMirror()), pid::sampleTime(link.clock()),
                             plot::Source::PuskRun));

  if (view_.panelColor() == colors::kPusk) view_.setPanelColor(colors::kRunning);

  const bool stageSet = mirror(ctl::ram::kStageNumber) != 0;
  if (stageSet && !heaterOn()) {
    // The controller ended the program by itself.
    run.PidStopRequest = 1;
    view_.setPanelColor(colors::kStop);
    timerForReadForPolz_.stop();
    run.PuskFlag = 0;
    link.clock().sleepMs(50);
  }

  if (run.PidStopRequest == 1) {
    stopSequence();
  } else {
    timerPuskPidNew_.setInterval(kCyclePeriodMs);
    timerPuskPidNew_.start();
  }
}

void PuskRun::stopSequence() {
  RunState& run = ctx_.run;
  Link& link = ctx_.link;
  // Key code 1 toggles the run on the controller: only send it while the
  // controller still runs (heater on) or has no stage.
  if (heaterOn() || mirror(ctl::ram::kStageNumber) == 0)
    link.SendPanelKey(ctl::panelKey::kPuskStop);
  link.clock().sleepMs(50);
  clearRunRegisterBits(link);
  link.clock().sleepMs(50);
  if (ctx_.readPanel) ctx_.readPanel();
  link.CloseDataLog();
  run.PidStopRequest = 0;
  run.PidRunActive = 0;
  run.Owner = RunOwner::None;
  run.WorkCounter = 0;
  view_.setWorkCounterText(QStringLiteral("0"));
  view_.setPanelColor(colors::kActiveBorder);
}

void PuskRun::WriteRunLine() {
  RunState& run = ctx_.run;
  Link& link = ctx_.link;
  namespace ram = ctl::ram;
  if (run.WorkLineDue == 0 && mirror(ram::kStageNumber) == 0) return;
  link.MakeTimeStamps();
  const qint32 temperature = ctl::le32s(&link.RamMirror()[ram::kTemperature]);
  const QStringList fields{
      decimalText(run.WorkCounter), link.LineStamp(), decimalText(mirror(ram::kProgramNumber)),
      decimalText(mirror(ram::kStageNumber)), generalText(ctl::fromFraction8(temperature))};
  run.WorkLineDue = 0;
  link.WriteDataLog(fields.join(QStringLiteral("  ;  ")));
}

void PuskRun::ShowPanelFromMirror() {
  view_.showPanelFromMirror(ctx_.link.RamMirror().data());
}

}  // namespace calorix
