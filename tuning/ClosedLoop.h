#pragma once
// The regulator's law as the logs showed it, run on the identified furnace
// over a reference program: what a set of cubic words would do before the
// engineer writes them. And one scoring for every closed-loop run, simulated
// here or recorded on a furnace: integral of absolute error, overshoot, and
// what is left of oscillation at the end of each hold.
#include <array>
#include <vector>

#include "tuning/Identify.h"
#include "tuning/LawDetails.h"

namespace calorix::tuning {

struct ReferenceStage {
  double temperatureC = 0;
  double holdMin = 0;
  double speedCPerMin = 0;  // 0: the set point steps at once
};

// 10 °C/min to 600 °C, 30 minutes, 10 °C/min to 900 °C, 30 minutes.
const std::vector<ReferenceStage>& standardReference();

// KP A..D, KD A..D, KI A..D: the coefficient editor's group 4 in word order.
inline constexpr int kCubicWords = 12;
using CubicWords = std::array<double, kCubicWords>;
// K(T) of column 0 (KP), 1 (KD) or 2 (KI).
double coefficientOf(const CubicWords& words, int column, double t);

struct LoopTrace {
  std::vector<double> t, temperature, setPoint, power;
};

inline constexpr double kNeverHeld = -1;

struct LoopScore {
  double iae = 0;        // °C·min over the whole program
  double overshoot = 0;  // °C, the most the temperature stood above the set point
  std::vector<double>
      holdSwing;  // per stage: peak to peak of the error in its hold's last 10 minutes
  // per stage: peak to peak of the error in the last 10 minutes of its ramp
  // (a loop that tracks follows a ramp a steady distance behind)
  std::vector<double> rampSwing;
  bool finished = false;  // the program ran to its end
  // The run's sum of errors grew at errors the logs never showed it growing
  // at: what the model says of it is a guess.
  bool beyondLaw = false;
  double worstSwing() const;  // kNeverHeld-aware: a hold never reached counts as endless
  double worstRampSwing() const;
};

// Holds are where the set point stands at a stage's temperature, ramps where
// it moves towards it.
LoopScore scoreLoop(const LoopTrace& trace, const std::vector<ReferenceStage>& program,
                    bool finished);

struct LoopModel {
  HeatBalance plant;
  LawDetails law;
  double sumPerSecond = 1.0;
  double startC = 20;
};

// The model for a law and an identification: the furnace starts cold, where
// its losses vanish.
LoopModel loopModel(const HeatBalance& plant, const LawDetails& law, double sumPerSecond);

// One step a second, as the controller regulates; the trace every second.
LoopScore simulateLoop(const LoopModel& model, const CubicWords& words,
                       const std::vector<ReferenceStage>& program, LoopTrace* trace = nullptr);

}  // namespace calorix::tuning
