#include "tuning/ModelRule.h"

#include <cmath>

namespace calorix::tuning {

std::vector<ReferenceStage> referenceWithin(const std::vector<ReferenceStage>& program,
                                            double topC) {
  constexpr double kTensC = 10;
  std::vector<ReferenceStage> out;
  for (ReferenceStage s : program) {
    if (s.temperatureC > topC) s.temperatureC = std::floor(topC / kTensC) * kTensC;
    if (!out.empty() && out.back().temperatureC == s.temperatureC) continue;
    out.push_back(s);
  }
  return out;
}

ModelProposal proposeByModel(const LoopModel& model, const Schedule& start,
                             const ModelRuleOptions& o) {
  const std::vector<ReferenceStage> reference = referenceWithin(o.reference, model.plant.toC);
  LoopModel slow = model;
  slow.plant.deadS *= o.margin;
  slow.plant.lagS *= o.margin;
  slow.plant.b *= o.margin;
  SearchBounds bounds;
  bounds.overshootLimitC = o.overshootLimitC;
  bounds.swingLimitC = o.swingLimitC;
  const SearchResult found =
      searchSchedule([&](const CubicWords& w) { return simulateLoop(model, w, reference); },
                     [&](const CubicWords& w) { return simulateLoop(slow, w, reference); }, start,
                     scheduleRange(reference), bounds, o.progress);
  ModelProposal out;
  out.reference = reference;
  out.ok = found.feasible;
  out.schedule = found.schedule;
  out.words = found.words;
  out.predicted = found.nominal;
  out.onMargin = found.margin;
  out.runs = found.runs;
  if (!out.ok)
    out.why = QStringLiteral(
                  "no coefficients met the bounds on the model (overshoot %1 °C, hold swing %2 °C, "
                  "settling with %3× dead time, lag and gain): the best found overshoots by %4 °C "
                  "with a swing of %5 °C")
                  .arg(o.overshootLimitC)
                  .arg(o.swingLimitC)
                  .arg(o.margin)
                  .arg(found.nominal.overshoot, 0, 'f', 1)
                  .arg(found.nominal.worstSwing(), 0, 'f', 2);
  return out;
}

}  // namespace calorix::tuning
