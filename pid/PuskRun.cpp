#include "pid/PuskRun.h"

#include "core/Abort.h"
#include "core/ByteCodec.h"
#include "core/ControllerMap.h"
#include "core/NumberText.h"
#include "link/Action.h"
#include "pid/RunGap.h"
#include "pid/RunStop.h"
#include "pid/TrendSampleDecode.h"
#include "plot/PuskWorkLog.h"
#include "ui/Events.h"

namespace calorix {

PuskRun::PuskRun(WindowContext& context, RunState& state, RunView view, QObject* parent)
    : QObject(parent),
      ctx_(context),
      state_(state),
      view_(std::move(view)),
      report_(context.messages),
      log_(context.link, report_) {
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

bool PuskRun::heaterOn() const {
  return ctl::flagSet(mirror(ctl::ram::kFlags), ctl::flags::kHeaterOn);
}

void PuskRun::paintPanel(const QColor& color) {
  panelColor_ = color;
  view_.setPanelColor(color);
}

void PuskRun::arm() {
  timerPuskPidNew_.setInterval(kCyclePeriodMs);
  timerPuskPidNew_.start();
}

void PuskRun::stopTimers() {
  timerPuskPidNew_.stop();
  timerForReadForPolz_.stop();
}

// ---- the Пуск/Стоп key ---------------------------------------------------------

void PuskRun::pressPuskStop() {
  // Стоп sends nothing, so it needs no line: a press while a read-out or
  // another window holds it is never lost.
  if (state_.PuskFlag == 1) return requestStop();
  if (state_.PidStopRequest == 1 && state_.Owner == RunOwner::Pusk) {
    // Key code 1 now would start the program again on a controller that the
    // next tick is about to stop.
    ctx_.messages.show(kPuskStopPendingText);
    return;
  }
  runAction(ctx_.link, ctx_.messages, [this] { start(); });
  report_.show();
}

// Стоп sends nothing: the next tick carries out the stop. Latched before
// events run, so that a tick they let in stops the run already.
void PuskRun::requestStop() {
  state_.PuskFlag = 0;
  state_.PidStopRequest = 1;
  timerForReadForPolz_.stop();
  paintPanel(colors::kStop);
  view_.showKeyPressed();
  ui::letEventsRun();
  ctx_.link.clock().sleepMs(50);
}

void PuskRun::start() {
  using namespace ctl;
  Link& link = ctx_.link;
  if (state_.PidRunActive == 1 && state_.Owner == RunOwner::PidWindow) {
    // Two timers on the same run flags would take each other's frames and
    // stop each other's run: the PID window's run must end first.
    ctx_.messages.show(kPuskRefusedText);
    return;
  }
  state_.WorkCounter = 0;
  state_.WorkLineDue = 1;
  paintPanel(colors::kPusk);
  state_.PuskFlag = 1;
  try {
    log_.open();
  } catch (...) {
    // Without a work log nothing has been started: the key stays a Пуск key.
    state_.PuskFlag = 0;
    state_.WorkLineDue = 0;
    paintPanel(colors::kActiveBorder);
    throw;
  }
  // From here on the controller is started and the run must come to its
  // ticks whatever the files do: every step goes on after a file error.
  report_.step([&] { link.resumeTracing(); });
  report_.step([&] { link.SetRegBits(reg::kRun, reg::kRunPidFrames, reg::kKeepAnd); });
  report_.step([&] { link.SendPanelKey(panelKey::kPuskStop); });
  view_.showKeyPressed();
  ui::letEventsRun();
  state_.PidRunActive = 1;
  state_.Owner = RunOwner::Pusk;
  // A Стоп pressed while events ran stays asked for.
  if (state_.PuskFlag == 1) state_.PidStopRequest = 0;
  link.clock().sleepMs(50);
  gap_.reset();
  report_.step([&] { link.RdPidFrame(); });
  QString gapLine;  // a run that starts without a frame starts its log with a gap
  const bool read = gap_.frameRead(link, [&](const QString& line) { gapLine = line; });
  view_.setWorkCounterText(read ? decimalText(state_.WorkCounter)
                                : noFrameText(state_.WorkCounter));
  log_.write(plot::pusklog::title());
  log_.write(plot::pusklog::columns());
  if (read)
    WriteRunLine();
  else
    log_.write(gapLine);
  arm();
}

// ---- TimerPuskPidNew -------------------------------------------------------------

void PuskRun::tick() {
  // An idle tick leaves its timer running and does nothing on the port; the
  // PID work window's run is TimerPid's.
  if (state_.PidRunActive != 1 || state_.Owner == RunOwner::PidWindow) return;
  if (!runAction(ctx_.link, ctx_.messages, [this] { runTick(); })) {
    // Another exchange is in progress (it lets events run): come back shortly
    // rather than lose the cycle.
    timerPuskPidNew_.start(kBusyRetryMs);
  }
  report_.show();
}

void PuskRun::runTick() {
  Link& link = ctx_.link;
  if (state_.PidRunActive != 1) return;
  timerPuskPidNew_.stop();

  report_.step([&] { link.RdPidFrame(); });
  if (!gap_.frameRead(link, [this](const QString& line) { log_.write(line); })) return missedTick();
  ++state_.WorkCounter;
  view_.setWorkCounterText(decimalText(state_.WorkCounter));
  WriteRunLine();
  ShowPanelFromMirror();
  trend_(pid::pidFrameSample(pid::RamImage(link.RamMirror()), pid::sampleTime(link.clock()),
                             plot::Source::PuskRun));

  if (panelColor_ == colors::kPusk) paintPanel(colors::kRunning);

  const bool stageSet = mirror(ctl::ram::kStageNumber) != 0;
  if (stageSet && !heaterOn()) {
    // The controller ended the program by itself.
    state_.PidStopRequest = 1;
    paintPanel(colors::kStop);
    timerForReadForPolz_.stop();
    state_.PuskFlag = 0;
    link.clock().sleepMs(50);
  }

  if (state_.PidStopRequest == 1)
    stopSequence();
  else
    arm();
}

// A tick that read no frame: nothing of it is shown as measured, logged or
// handed to the trend, and the end of the program cannot be noticed; a stop
// asked for is carried out as after a frame, otherwise the run waits for the
// next one: while the port is lost, no longer than the line watch does, so
// that the first frame after its return is read as soon as it comes.
void PuskRun::missedTick() {
  view_.setWorkCounterText(noFrameText(state_.WorkCounter));
  if (state_.PidStopRequest == 1)
    stopSequence();
  else if (ctx_.link.portLost())
    timerPuskPidNew_.start(kLineWatchMs);
  else
    arm();
}

void PuskRun::stopSequence() {
  // Key code 1 toggles the run on the controller: only send it while the
  // controller still runs (heater on) or has no stage.
  const bool keyDue = heaterOn() || mirror(ctl::ram::kStageNumber) == 0;
  stopOnController(ctx_.link, keyDue, ctx_.readPanel, report_, warning_);
  state_.PidStopRequest = 0;
  state_.PidRunActive = 0;
  state_.Owner = RunOwner::None;
  state_.WorkCounter = 0;
  view_.setWorkCounterText(QStringLiteral("0"));
  paintPanel(colors::kActiveBorder);
  // Last: a log that cannot be closed leaves a stopped run behind.
  log_.close();
  emit runEnded();
}

void PuskRun::WriteRunLine() {
  Link& link = ctx_.link;
  namespace ram = ctl::ram;
  if (state_.WorkLineDue == 0 && mirror(ram::kStageNumber) == 0) return;
  link.MakeTimeStamps();
  const qint32 temperature = ctl::le32s(&link.RamMirror()[ram::kTemperature]);
  const QString line = plot::pusklog::line(
      decimalText(state_.WorkCounter), link.LineStamp(), decimalText(mirror(ram::kProgramNumber)),
      decimalText(mirror(ram::kStageNumber)), generalText(ctl::fromFraction8(temperature)));
  state_.WorkLineDue = 0;
  log_.write(line);
}

void PuskRun::ShowPanelFromMirror() {
  view_.showPanelFromMirror(ctx_.link.RamMirror().data());
}

}  // namespace calorix
