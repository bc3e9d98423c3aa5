#include "sim/FrontPanel.h"

#include <algorithm>
#include <cmath>

#include "core/ControllerMap.h"
#include "core/FieldRange.h"
#include "sim/FirmwareEncoding.h"

namespace calorix::sim {
namespace {

using namespace ctl;

constexpr int kProgramDigitCount = 2;
constexpr int kStageDigitCount = 2;
constexpr int kParameterDigitCount = 4;
constexpr long kParameterMax = 9999;  // four digits
constexpr double kHundredths = 100.0;
constexpr int kBarLevels = 10;  // a bar shows 1..10 while it is in use, 0 when not
constexpr double kSecondsPerMinute = 60.0;

void setDigits(ControllerMemory& m, Addr at, int value, int count) {
  for (int i = count - 1; i >= 0; --i, value /= 10) m.ram[at + i] = std::uint8_t(value % 10);
}

int barLevel(double progress) {
  return 1 + int(std::clamp(progress, 0.0, 1.0) * (kBarLevels - 1) + 1e-9);
}

}  // namespace

int FrontPanel::editLimit() const {
  switch (view_) {
    case View::StageTemp:
      return int(kTemperatureRange.hi);
    case View::StageTime:
      return int(kStabTimeRange.hi);
    case View::StageSpeed:
      return int(kSpeedRange.hi);
    default:
      return 0;
  }
}

Addr FrontPanel::runningStageValue() const {
  return view_ == View::StageTemp   ? ram::kSetTemperature
         : view_ == View::StageTime ? ram::kStabTime
                                    : ram::kSetSpeed;
}

std::uint8_t FrontPanel::stageLamp() const {
  return view_ == View::StageTemp   ? indication::kLampDegrees
         : view_ == View::StageTime ? indication::kLampMinutes
                                    : indication::kLampSpeed;
}

bool FrontPanel::stageView() const {
  return view_ == View::StageTemp || view_ == View::StageTime || view_ == View::StageSpeed;
}

int FrontPanel::stageField(const Stage& s) const {
  return view_ == View::StageTemp   ? s.temperature
         : view_ == View::StageTime ? s.stabMinutes
                                    : s.speed;
}

void FrontPanel::beginEdit(ControllerMemory& m, Edit e) {
  commitEdit(m);
  edit_ = e;
  if (e == Edit::Program) editValue_ = selectedProgram_;
  if (e == Edit::Stage) editValue_ = shownStage_;
  if (e == Edit::Param) editValue_ = stageField(readStage(m, selectedProgram_, shownStage_));
}

void FrontPanel::commitEdit(ControllerMemory& m) {
  switch (edit_) {
    case Edit::Program:
      if (editValue_ != selectedProgram_) shownStage_ = 1;
      selectedProgram_ = editValue_;
      break;
    case Edit::Stage:
      shownStage_ = editValue_;
      break;
    case Edit::Param: {
      Stage s = readStage(m, selectedProgram_, shownStage_);
      if (view_ == View::StageTemp) s.temperature = editValue_;
      if (view_ == View::StageTime) s.stabMinutes = editValue_;
      if (view_ == View::StageSpeed) s.speed = editValue_;
      writeStage(m, selectedProgram_, shownStage_, s);
      break;
    }
    case Edit::None:
      break;
  }
  edit_ = Edit::None;
}

void FrontPanel::change(int delta) {
  const int lo = edit_ == Edit::Param ? 0 : 1;
  const int hi = edit_ == Edit::Program ? program::kCount
                 : edit_ == Edit::Stage ? program::kStages
                                        : editLimit();
  if (edit_ != Edit::None) editValue_ = std::clamp(editValue_ + delta, lo, hi);
}

void FrontPanel::nextParamView(ControllerMemory& m, bool running) {
  if (running) {  // while running Парам. only looks, it edits nothing
    view_ = view_ == View::StageSpeed ? View::Current : View(int(view_) + 1);
    return;
  }
  commitEdit(m);
  switch (view_) {
    case View::StageTemp:
      view_ = View::StageTime;
      break;
    case View::StageTime:
      view_ = View::StageSpeed;
      break;
    case View::StageSpeed:
      view_ = View::Current;
      break;
    default:
      view_ = View::StageTemp;
      break;
  }
  if (stageView()) beginEdit(m, Edit::Param);
}

void FrontPanel::prepareForRun(ControllerMemory& m) {
  commitEdit(m);
  view_ = View::Current;
}

void FrontPanel::panelKey(ControllerMemory& m, std::uint8_t code, bool running) {
  switch (code) {
    case panelKey::kProg:
      if (running) break;
      if (edit_ == Edit::Program)
        commitEdit(m);
      else
        beginEdit(m, Edit::Program);
      break;
    case panelKey::kStup:
      if (running) break;
      if (edit_ == Edit::Stage)
        commitEdit(m);
      else
        beginEdit(m, Edit::Stage);
      break;
    case panelKey::kParam:
      nextParamView(m, running);
      break;
    case panelKey::kLeft:
      change(-1);
      break;
    case panelKey::kRight:
      change(+1);
      break;
    case panelKey::kEncoder:  // confirm
      if (edit_ == Edit::Param) {
        commitEdit(m);
        view_ = View::Current;
      }
      commitEdit(m);
      break;
    default:  // the release after "<" and ">"
      break;
  }
}

// Key codes of the service area:
//   "Увеличить"  as ">" on the display being edited
//   "Уменьшить"  as "<"
//   "Ступень"    as Ступ.: selects the stage display for change
//   "<="         cancels the edit in progress (the value before it stays)
//                or, with nothing edited, returns the parameter display
//                to the current temperature
//   "t/T/N"      the parameter display cycles current temperature t, set
//                temperature T, heater power N (%)
//   "P/B"        the telemetry stream is the command layer's; nothing here
void FrontPanel::plainKey(ControllerMemory& m, std::uint8_t code, bool running) {
  switch (code) {
    case plainKey::kIncrease:
      change(+1);
      break;
    case plainKey::kDecrease:
      change(-1);
      break;
    case plainKey::kStage:
      panelKey(m, panelKey::kStup, running);
      break;
    case plainKey::kBack:
      if (edit_ == Edit::Param || edit_ == Edit::None) view_ = View::Current;
      edit_ = Edit::None;
      break;
    case plainKey::kTTN:
      edit_ = edit_ == Edit::Param ? Edit::None : edit_;
      view_ = view_ == View::Current    ? View::SetPoint
              : view_ == View::SetPoint ? View::Power
                                        : View::Current;
      break;
    default:
      break;
  }
}

// Four digits; below 100 a value with a fraction shows two decimals (12,34).
void FrontPanel::showParameter(ControllerMemory& m, double v, bool fraction) const {
  v = std::max(0.0, v);
  const long hundredths = std::lround(v * kHundredths);
  if (fraction && hundredths <= kParameterMax) {
    setDigits(m, ram::kParameterDigits, int(hundredths), kParameterDigitCount);
    m.ram[ram::kParameterDigits + 1] |= indication::kCommaBit;
  } else {
    setDigits(m, ram::kParameterDigits, int(std::min(std::lround(v), kParameterMax)),
              kParameterDigitCount);
  }
}

void FrontPanel::show(ControllerMemory& m, const ProgramRunner& runner,
                      const Reading& reading) const {
  const bool runView = runner.showsRun();
  const int program = edit_ == Edit::Program ? editValue_
                      : runView              ? runner.program()
                                             : selectedProgram_;
  const int stageShown = edit_ == Edit::Stage ? editValue_ : runView ? runner.stage() : shownStage_;
  setDigits(m, ram::kProgramDigits, program, kProgramDigitCount);
  setDigits(m, ram::kStageDigits, stageShown, kStageDigitCount);

  std::uint8_t lamps = 0;
  const int viewStage = runView ? std::max(runner.stage(), 1) : shownStage_;
  const Stage s = readStage(m, runView ? runner.program() : selectedProgram_, viewStage);
  if (runner.state() == RunState::DelayedStart && view_ == View::Current) {
    showParameter(m, m.ramWord(ram::kDelayedStart), false);  // minutes left before the start
    lamps = indication::kLampMinutes;
  } else {
    switch (view_) {
      case View::Current:
        showParameter(m, reading.measured, true);
        lamps = indication::kLampDegrees;
        break;
      case View::SetPoint:
        showParameter(m, runner.heaterOn() ? runner.setPoint() : m.ramWord(ram::kSetTemperature),
                      true);
        lamps = indication::kLampDegrees;
        break;
      case View::Power:
        showParameter(m, m.ram[ram::kHeaterPower], false);
        break;
      case View::StageTemp:
      case View::StageTime:
      case View::StageSpeed: {
        // The value being edited, the running stage's working value, or the record's.
        const int value = edit_ == Edit::Param ? editValue_
                          : runView            ? m.ramWord(runningStageValue())
                                               : stageField(s);
        showParameter(m, value, false);
        lamps = stageLamp();
        break;
      }
    }
  }
  m.ram[ram::kLamps] = lamps;

  int heat = 0, stab = 0, cool = 0;
  const double target = m.ramWord(ram::kSetTemperature);
  if (runner.state() == RunState::Heating)
    heat = barLevel(target != runner.rampFrom()
                        ? (runner.setPoint() - runner.rampFrom()) / (target - runner.rampFrom())
                        : 1.0);
  if (runner.state() == RunState::Stabilising) {
    const double total = m.ramWord(ram::kStabTime) * kSecondsPerMinute;
    stab = barLevel(total > 0 ? runner.stabElapsedS() / total : 1.0);
  }
  if (runner.state() == RunState::Ended) {
    const double span = runner.endTempC() - reading.roomSensor;
    cool = barLevel(span > 1 ? (runner.endTempC() - reading.measured) / span : 1.0);
  }
  m.ram[ram::kHeatingBar] = std::uint8_t(heat);
  m.ram[ram::kStabilisingBar] = std::uint8_t(stab);
  m.ram[ram::kCoolingBar] = std::uint8_t(cool);

  m.ram[ram::kBlinkFlags] = edit_ == Edit::Program ? indication::kBlinkProgram
                            : edit_ == Edit::Stage ? indication::kBlinkStage
                            : edit_ == Edit::Param ? indication::kBlinkParameter
                                                   : 0;
  setFlag(m.ram[ram::kFlags], flags::kHeaterOn, runner.heaterOn());
  runner.showNumbers(m, selectedProgram_);
}

}  // namespace calorix::sim
