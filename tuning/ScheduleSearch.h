#pragma once
// A search for the controller's coefficients by closed-loop runs: KP, KI and
// KD each a straight line of the temperature over the program's range, put
// into the cubic words as the controller holds them, each candidate run and
// scored; the one with the least integral of absolute error kept whose
// overshoot and hold swing stay within bounds. The runs are the caller's: the
// identified model for the model-based rule, a simulated furnace for the
// benchmark's figure of what the words can do at best.
#include <functional>
#include <optional>
#include <utility>
#include <vector>

#include "tuning/ClosedLoop.h"
#include "tuning/Rules.h"

namespace calorix::tuning {

// Coefficients along a straight line from fromC to toC (the same when low and high agree).
struct Schedule {
  double fromC = 0, toC = 0;
  Pid low, high;
  Pid at(double t) const;
};

// The cubic words for a schedule, fitted over its range; KD beyond one word is
// carried by the C and B words, so it falls off below fromC.
CubicWords wordsFor(const Schedule& schedule);

// The range the words are fitted over for a program: from 100 °C, where the
// furnace is no longer cold, to a little above the program's top.
std::pair<double, double> scheduleRange(const std::vector<ReferenceStage>& program);

struct SearchBounds {
  double overshootLimitC = 5;
  double swingLimitC = 1;
  // A ramp's error drifts as the losses grow: its swing may be this many
  // times the holds'.
  double rampSwingFactor = 2;
  // A second furnace, if any, on which the loop must still settle (its
  // holds' swing within twice the bound) and finish the program.
  double marginSwingFactor = 2;
};

using LoopRun = std::function<LoopScore(const CubicWords&)>;

struct SearchResult {
  bool feasible = false;  // the bounds were met
  Schedule schedule;
  CubicWords words{};
  LoopScore nominal, margin;
  int runs = 0;
};

// start: the coefficients to search around (over any range: read at the
// range's ends, and at its middle for the coarse grid). margin may be empty.
SearchResult searchSchedule(const LoopRun& nominal, const LoopRun& margin, const Schedule& start,
                            std::pair<double, double> range, const SearchBounds& bounds,
                            const std::function<void(int done, int total)>& progress = {});

}  // namespace calorix::tuning
