#pragma once
// The program runner: a run of the selected program stage by stage, each
// stage ramped to its temperature at its speed and held for its
// stabilisation time, with an optional delayed start; and the run switch
// (the PID-frame bit of R5) that decides whether the run sends PID frames.
//
// The stage's working values live in RAM (set temperature 0xDC, stabilisation
// time, speed) and are read back every step, so a console that writes them
// changes the running stage. The ramped set point the regulator follows is
// the runner's own.
#include "sim/Memory.h"

namespace calorix::sim {

// The run as the firmware sees it.
enum class RunState { Idle, DelayedStart, Heating, Stabilising, Ended };

class ProgramRunner {
 public:
  RunState state() const { return state_; }
  bool running() const {
    return state_ == RunState::Heating || state_ == RunState::Stabilising ||
           state_ == RunState::DelayedStart;
  }
  bool heaterOn() const { return state_ == RunState::Heating || state_ == RunState::Stabilising; }
  // While running or after the end, the panel shows the run, not the selection.
  bool showsRun() const { return running() || state_ == RunState::Ended; }
  bool pidFramesOn() const { return framesOn_; }

  int program() const { return program_; }
  int stage() const { return stage_; }  // 1..15; 0 before the first
  double setPoint() const { return setPoint_; }
  double rampFrom() const { return rampFrom_; }
  double stabElapsedS() const { return stabElapsedS_; }
  double endTempC() const { return endTempC_; }

  // Пуск/Стоп starts a run from rest, or a new one after the end once the
  // run switch has been set afresh; otherwise it stops.
  bool puskStarts() const {
    return state_ == RunState::Idle || (state_ == RunState::Ended && armedSinceEnd_);
  }
  void start(ControllerMemory& memory, int program, double measuredC);
  void stop(ControllerMemory& memory);
  // One step of dt simulated seconds.
  void advance(ControllerMemory& memory, double dt, double measuredC);

  // The run switch as memory holds it at power-up, and its changes.
  void adoptRunSwitch(const ControllerMemory& memory);
  void onRunSwitchChanged(const ControllerMemory& memory);
  // At rest the set point is where the furnace is.
  void restAt(double measuredC) { setPoint_ = measuredC; }

  // Program and stage number bytes: the run's, or the selected program at rest.
  void showNumbers(ControllerMemory& memory, int selectedProgram) const;

 private:
  void beginStage(ControllerMemory& memory, int k, double measuredC);

  RunState state_ = RunState::Idle;
  bool framesOn_ = false;
  bool runSwitchWasOn_ = false;
  bool armedSinceEnd_ = false;  // the run switch set afresh since the program ended
  int program_ = 1;
  int stage_ = 0;
  double setPoint_ = 0;  // ramped set point, °C
  double rampFrom_ = 0;
  double stabElapsedS_ = 0;
  double delayLeftS_ = 0;
  double endTempC_ = 0;
};

bool runSwitchOn(const ControllerMemory& memory);

}  // namespace calorix::sim
