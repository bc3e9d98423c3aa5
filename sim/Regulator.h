#pragma once
// The PID regulator on the ramped set point, and the heating-speed loop shown
// beside it. PK, IK and DK come from the cubics of the temperature in the
// block memory unless the console has set its own (R14 bit 0). Every quantity
// goes to RAM as a magnitude with its sign in the flag bytes, as the console's
// displays read them.
#include <array>

#include "sim/Memory.h"
#include "sim/ProgramRunner.h"

namespace calorix::sim {

class Regulator {
 public:
  // stepS: simulated seconds of one regulator step (the speed window's unit).
  explicit Regulator(double stepS) : stepS_(stepS) {}

  // A run starts afresh: no integral, no derivative history, no speed error.
  void reset();
  // The measurement of this step, for the heating speed.
  void record(double measuredC);
  // One step of dt simulated seconds: the coefficients, error, control
  // actions, heater power, speed loop and phase into RAM.
  void regulate(ControllerMemory& memory, double dt, const ProgramRunner& runner, double measuredC);

 private:
  static constexpr int kSpeedWindowSteps = 60;  // heating speed over this many steps

  double heatingSpeedPerMin() const;
  void writeCoefficients(ControllerMemory& memory, double measuredC) const;
  void regulateSpeed(ControllerMemory& memory, double dt, const ProgramRunner& runner);

  double stepS_;
  double errorSum_ = 0;
  double dErrFiltered_ = 0;
  double prevError_ = 0;
  bool havePrevError_ = false;
  std::array<double, kSpeedWindowSteps> history_{};
  int historyCount_ = 0;
  int historyAt_ = 0;
  double speedErrSum_ = 0;
};

}  // namespace calorix::sim
