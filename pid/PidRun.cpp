#include "pid/PidRun.h"

#include "core/Abort.h"
#include "core/ControllerMap.h"
#include "link/Action.h"
#include "pid/RunStop.h"
#include "pid/TFormRabPID.h"
#include "pid/TrendSampleDecode.h"

namespace calorix {

namespace reg = ctl::reg;

PidRun::PidRun(WindowContext& context, RunState& state, QObject* parent)
    : QObject(parent),
      ctx_(context),
      state_(state),
      report_(context.messages),
      log_(context.link, report_) {
  timerPid_.setObjectName(QStringLiteral("TimerPid"));
  timerPid_.setInterval(kDesignedPeriodMs);
  timerPid_.setTimerType(Qt::PreciseTimer);
  connect(&timerPid_, &QTimer::timeout, this, &PidRun::tick);
}

void PidRun::attach(TFormRabPID& window) {
  window_ = &window;
  window.setRun(*this);
}

void PidRun::arm() {
  timerPid_.setInterval(kCyclePeriodMs);
  timerPid_.start();
}

// ---- the start -------------------------------------------------------------------

// A start that ends before the controller was switched on goes back to idle:
// the buttons as before, no run flags, and R14 bit 0 (own coefficients) as
// every stop leaves it, since the coefficients it was to select were never
// written.
void PidRun::abandonStart(bool ownCoefsSet) {
  if (ownCoefsSet)
    report_.step([this] {
      ctx_.link.SetRegBits(reg::kRegulator, reg::kKeepOr, std::uint8_t(~reg::kOwnCoefs));
    });
  log_.forget();
  window_->showIdle();
}

void PidRun::pressStart(const PidRunStart& how) {
  runAction(ctx_.link, ctx_.messages, [&] { start(how); });
  report_.show();
}

void PidRun::start(const PidRunStart& how) {
  Link& link = ctx_.link;
  if (!window_) return;
  if (state_.PidRunActive == 1) {
    // A Пуск run holds the run flags and its timer; a second timer on them
    // would take its frames and end its run.
    ctx_.messages.show(kPidStartRefusedText);
    return;
  }
  link.PurgePort();
  link.DrainPort();
  state_.WorkCounter = 0;
  window_->runStarting();

  // Only an entry that does not convert or a log that cannot be created
  // abandons the start, before the controller is switched on; the files'
  // other failures are noted and the sequence goes on.
  bool ownCoefsSet = false;
  log_.forget();
  try {
    if (how.ownCoefficients) {
      report_.step([&] { link.SetRegBits(reg::kRegulator, reg::kOwnCoefs, reg::kKeepAnd); });
      ownCoefsSet = true;
      const auto coefficients = how.coefficients();
      report_.step([&] { link.WrRam(ctl::ram::kPK, coefficients); });
    }
    if (how.log) {
      log_.open();
      report_.step([&] { link.SetRegBits(reg::kRun, reg::kRunPidFrames, reg::kKeepAnd); });
    }
  } catch (const AbortAction&) {
    abandonStart(ownCoefsSet);
    throw;  // the guard shows the message
  }
  report_.step([&] { link.resumeTracing(); });
  if (how.noPropDecrease)
    report_.step([&] { link.SetRegBits(reg::kRegulator, reg::kNoPropDecrease, reg::kKeepAnd); });
  report_.step([&] { link.SendPanelKey(ctl::panelKey::kPuskStop); });
  state_.PidRunActive = 1;
  state_.Owner = RunOwner::PidWindow;

  link.clock().sleepMs(kPauseMs);
  gap_.reset();
  framesAsked_ = how.log;  // R5 bit 2 goes with the log box
  QString gapLine;         // a run that starts without a frame starts its log with a gap
  const bool read = takeFrame([&](const QString& line) { gapLine = line; });
  log_.write(window_->runLogHeader1());
  log_.write(pid::runLogHeader2());
  if (read)
    writePidLine();
  else
    log_.write(gapLine);
  link.clock().sleepMs(kPauseMs);
  arm();
}

// Exchanges nothing, so it needs no line: a press while a read-out or another
// window holds it is never lost.
void PidRun::requestStop() {
  state_.PidStopRequest = 1;
  if (window_) window_->showStopping();
}

// ---- every frame -------------------------------------------------------------

// The frame just read: counted, shown in the window and handed to the trend.
// A tick that read none shows so and leaves the window's values and history
// as the last frame left them.
bool PidRun::takeFrame(const RunGap::WriteLine& writeGapLine) {
  Link& link = ctx_.link;
  report_.step([&] { link.RdPidFrame(); });
  if (!gap_.frameRead(link, writeGapLine, framesAsked_)) {
    window_->showNoFrame(state_.WorkCounter);
    return false;
  }
  ++state_.WorkCounter;
  window_->showFrame(state_.WorkCounter);
  trend_(pid::pidFrameSample(pid::RamImage(link.RamMirror()), pid::sampleTime(link.clock()),
                             plot::Source::PidRun));
  return true;
}

// The window's history moves with every measurement, logged or not.
void PidRun::writePidLine() {
  Link& link = ctx_.link;
  link.MakeTimeStamps();
  log_.write(window_->pidDataLine(link.LineStamp()));
}

// ---- TimerPid ----------------------------------------------------------------

void PidRun::tick() {
  // An idle tick leaves its timer running and does nothing on the port; a
  // Пуск run's frames are its own timer's.
  if (state_.PidRunActive != 1 || state_.Owner == RunOwner::Pusk || !window_) return;
  if (!runAction(ctx_.link, ctx_.messages, [this] { runTick(); })) {
    // Another exchange lets events run: come back shortly rather than lose
    // the cycle.
    timerPid_.start(kBusyRetryMs);
  }
  report_.show();
}

void PidRun::runTick() {
  Link& link = ctx_.link;
  if (state_.PidRunActive != 1) return;
  timerPid_.stop();

  // Whatever the protocol switch says: the cycles of a run can be found in
  // the protocol even when the transfers are not traced.
  report_.step([&] {
    link.WriteProtocolDirect(QString::fromUtf8("Начало чтения по срабатыванию таймера"));
  });
  const bool read = takeFrame([this](const QString& line) { log_.write(line); });
  if (read) writePidLine();

  if (state_.PidStopRequest == 1)
    stopSequence();
  else if (!read && link.portLost())
    timerPid_.start(kLineWatchMs);  // the first frame after its return read at once
  else
    arm();
}

void PidRun::stopSequence() {
  stopOnController(ctx_.link, true, ctx_.readPanel, report_, warning_);
  state_.PidStopRequest = 0;
  state_.PidRunActive = 0;
  state_.Owner = RunOwner::None;
  window_->showIdle();
  // Last, so that a log that cannot be closed leaves a stopped run behind.
  log_.close();
  emit runEnded();
}

}  // namespace calorix
