#pragma once
// The model-based rule: the identified furnace run under the derived law
// (clamp, easing, integral band, smoothing, the cubic words as the controller
// holds them) over a reference program, and the schedule of coefficients with
// the least integral of absolute error kept whose overshoot and hold swing
// stay within bounds there, and which still settles on a furnace slower and
// stronger by a margin, so that a model a little off does not tip the loop
// into oscillation.
#include <QString>

#include <functional>

#include "tuning/ClosedLoop.h"
#include "tuning/ScheduleSearch.h"

namespace calorix::tuning {

struct ModelRuleOptions {
  std::vector<ReferenceStage> reference = standardReference();
  // On the model: the bound a furnace is held to (5 °C) less what a model
  // may be off by.
  double overshootLimitC = 4.5;
  double swingLimitC = 1.0;
  // The margin model: dead time, lag and heating per % this much larger.
  double margin = 1.15;
  std::function<void(int done, int total)> progress;
};

struct ModelProposal {
  bool ok = false;  // the bounds were met on the model
  QString why;      // when not: what the best found does
  // The reference program as run: kept within the temperatures the logs
  // cover, where the model is known.
  std::vector<ReferenceStage> reference;
  Schedule schedule;    // the coefficients sought
  CubicWords words{};   // what the controller will hold
  LoopScore predicted;  // on the model
  LoopScore onMargin;   // on the margin model
  int runs = 0;
};

// The program with every stage above topC brought down to it (whole tens of
// degrees), a stage that then repeats the one before left out.
std::vector<ReferenceStage> referenceWithin(const std::vector<ReferenceStage>& program,
                                            double topC);

// start: a rule's proposal to search around.
ModelProposal proposeByModel(const LoopModel& model, const Schedule& start,
                             const ModelRuleOptions& options = {});

}  // namespace calorix::tuning
