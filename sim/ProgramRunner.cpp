#include "sim/ProgramRunner.h"

#include <algorithm>
#include <cmath>

#include "core/ControllerMap.h"
#include "sim/StageRecords.h"

namespace calorix::sim {
namespace {

using namespace ctl;

constexpr double kStabBandC = 2.0;  // close enough to start the stabilisation time
constexpr double kSecondsPerMinute = 60.0;
constexpr double kNoSpeedLimitC = 1e9;  // speed 0: as fast as the heater can

}  // namespace

bool runSwitchOn(const ControllerMemory& memory) {
  return (memory.reg(reg::kRun) & reg::kRunPidFrames) != 0;
}

void ProgramRunner::start(ControllerMemory& m, int program, double measuredC) {
  framesOn_ = runSwitchOn(m);
  armedSinceEnd_ = false;
  program_ = program;
  stage_ = 0;
  setPoint_ = measuredC;
  const int delayMin = m.ramWord(ram::kDelayedStart);
  if (delayMin > 0) {
    state_ = RunState::DelayedStart;
    delayLeftS_ = delayMin * kSecondsPerMinute;
  } else {
    beginStage(m, 1, measuredC);
  }
}

void ProgramRunner::stop(ControllerMemory& m) {
  state_ = RunState::Idle;
  framesOn_ = false;
  stage_ = 0;
  m.setRamWord(ram::kDelayedStart, 0);
  m.ram[ram::kHeaterPower] = 0;  // off at once, not at the next regulator step
}

void ProgramRunner::beginStage(ControllerMemory& m, int k, double measuredC) {
  const Stage s = k <= program::kStages ? readStage(m, program_, k) : Stage{};
  if (s.temperature == 0) {
    // The program is over; keep its last stage so the console sees the end
    // (an empty program shows stage 1).
    stage_ = std::max(stage_, 1);
    state_ = RunState::Ended;
    armedSinceEnd_ = false;  // only an arming after the end may start the next run
    endTempC_ = measuredC;
    return;
  }
  stage_ = k;
  m.setRamWord(ram::kSetTemperature, std::uint16_t(s.temperature));
  m.setRamWord(ram::kStabTime, std::uint16_t(s.stabMinutes));
  m.setRamWord(ram::kSetSpeed, std::uint16_t(s.speed));
  rampFrom_ = setPoint_;
  stabElapsedS_ = 0;
  state_ = RunState::Heating;
}

void ProgramRunner::advance(ControllerMemory& m, double dt, double measuredC) {
  const double target = m.ramWord(ram::kSetTemperature);
  const double speed = m.ramWord(ram::kSetSpeed);
  switch (state_) {
    case RunState::DelayedStart:
      delayLeftS_ -= dt;
      if (delayLeftS_ <= 0) {
        m.setRamWord(ram::kDelayedStart, 0);
        setPoint_ = measuredC;
        beginStage(m, 1, measuredC);
      } else {
        m.setRamWord(ram::kDelayedStart, std::uint16_t(std::ceil(delayLeftS_ / kSecondsPerMinute)));
      }
      break;
    case RunState::Heating: {
      const double stepC = speed > 0 ? speed / kSecondsPerMinute * dt : kNoSpeedLimitC;
      if (std::abs(target - setPoint_) <= stepC)
        setPoint_ = target;
      else
        setPoint_ += target > setPoint_ ? stepC : -stepC;
      if (setPoint_ == target && std::abs(target - measuredC) <= kStabBandC) {
        state_ = RunState::Stabilising;
        stabElapsedS_ = 0;
      }
      break;
    }
    case RunState::Stabilising:
      if (target != setPoint_) {  // the console moved the set temperature
        rampFrom_ = setPoint_;
        state_ = RunState::Heating;
        break;
      }
      stabElapsedS_ += dt;
      if (stabElapsedS_ >= m.ramWord(ram::kStabTime) * kSecondsPerMinute)
        beginStage(m, stage_ + 1, measuredC);
      break;
    case RunState::Idle:
    case RunState::Ended:
      break;
  }
}

void ProgramRunner::adoptRunSwitch(const ControllerMemory& m) {
  runSwitchWasOn_ = runSwitchOn(m);
}

void ProgramRunner::onRunSwitchChanged(const ControllerMemory& m) {
  const bool on = runSwitchOn(m);
  if (!on) framesOn_ = false;
  if (on && !runSwitchWasOn_) armedSinceEnd_ = true;
  runSwitchWasOn_ = on;
}

void ProgramRunner::showNumbers(ControllerMemory& m, int selectedProgram) const {
  m.ram[ram::kProgramNumber] = std::uint8_t(showsRun() ? program_ : selectedProgram);
  m.ram[ram::kStageNumber] = std::uint8_t(state_ == RunState::Idle ? 0 : stage_);
}

}  // namespace calorix::sim
