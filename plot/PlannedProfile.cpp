#include "plot/PlannedProfile.h"

#include <algorithm>
#include <cmath>

namespace calorix::plot {
namespace {

constexpr double kMsPerMinute = 60'000.0;

qint64 minutesMs(double minutes) {
  return minutes > 0 ? qint64(std::llround(minutes * kMsPerMinute)) : 0;
}

}  // namespace

std::vector<PlanStage> planStages(const calorix::ProgramTable& program) {
  std::vector<PlanStage> stages;
  for (int k = 1; k <= kStageCount; ++k) {
    const auto& row = program[std::size_t(k)];
    if (row[kColTemperature] <= 0) break;  // temperature 0 ends the program
    stages.push_back({double(row[kColTemperature]), double(std::max(row[kColStabTime], 0)),
                      double(std::max(row[kColSpeed], 0))});
  }
  const qint32 delayMinutes = program[0][kColStabTime];
  if (!stages.empty() && delayMinutes > 0)
    stages.insert(stages.begin(), {kAbsent, double(delayMinutes), 0});
  return stages;
}

std::vector<PlanPoint> plannedProfile(const std::vector<PlanStage>& stages, qint64 startMs,
                                      double startTemperature) {
  std::vector<PlanPoint> plan;
  if (stages.empty() || !std::isfinite(startTemperature)) return plan;
  qint64 t = startMs;
  double temperature = startTemperature;
  plan.push_back({t, temperature});
  for (const PlanStage& stage : stages) {
    if (std::isfinite(stage.temperature) && stage.temperature != temperature) {
      if (stage.speedPerMinute > 0)
        t += minutesMs(std::abs(stage.temperature - temperature) / stage.speedPerMinute);
      temperature = stage.temperature;
      plan.push_back({t, temperature});
    }
    if (const qint64 hold = minutesMs(stage.stabMinutes); hold > 0) {
      t += hold;
      plan.push_back({t, temperature});
    }
  }
  return plan;
}

double plannedAt(const std::vector<PlanPoint>& plan, qint64 timeMs) {
  // The first corner after timeMs; the one before it is the last at or before timeMs, so a
  // step (two corners at one time) gives its new temperature.
  const auto next = std::upper_bound(plan.begin(), plan.end(), timeMs,
                                     [](qint64 t, const PlanPoint& p) { return t < p.timeMs; });
  if (next == plan.begin()) return kAbsent;
  const PlanPoint& before = *(next - 1);
  if (next == plan.end()) return timeMs == before.timeMs ? before.temperature : kAbsent;
  const double f = double(timeMs - before.timeMs) / double(next->timeMs - before.timeMs);
  return before.temperature + f * (next->temperature - before.temperature);
}

const std::vector<LagInterval>& LagFinder::update(const TrendStore& store,
                                                  const std::vector<PlanPoint>& plan,
                                                  double marginC) {
  // Another store, one cleared since, another plan or margin: from the start.
  if (store.id() != storeId_ || store.size() < done_ || plan != plan_ || marginC != marginC_) {
    *this = LagFinder();
    storeId_ = store.id();
    plan_ = plan;
    marginC_ = marginC;
  }
  if (plan_.empty()) return out_;
  // Where the excess crosses 0 between a and b (of opposite signs), by a straight line.
  auto crossing = [](const Point& a, const Point& b) {
    const double f = a.excess / (a.excess - b.excess);
    return a.t + qint64(std::llround(f * double(b.t - a.t)));
  };
  for (; done_ < store.size(); ++done_) {
    const double temperature = store.value(done_, Quantity::Temperature);
    if (std::isnan(temperature)) continue;
    const qint64 t = store.timeAt(done_);
    const double planned = plannedAt(plan_, t);
    if (std::isnan(planned)) {
      if (open_) out_.back().toMs = previous_.t;
      open_ = havePrevious_ = false;
      continue;
    }
    const Point p{t, planned - temperature - marginC_};
    if (p.excess > 0 && !open_) {
      const qint64 from = havePrevious_ ? crossing(previous_, p) : p.t;
      out_.push_back({from, p.t});
      open_ = true;
    } else if (p.excess <= 0 && open_) {
      out_.back().toMs = crossing(previous_, p);
      open_ = false;
    }
    if (open_) out_.back().toMs = p.t;
    previous_ = p;
    havePrevious_ = true;
  }
  return out_;
}

std::vector<LagInterval> lagIntervals(const TrendStore& store, const std::vector<PlanPoint>& plan,
                                      double marginC) {
  LagFinder finder;
  return finder.update(store, plan, marginC);
}

}  // namespace calorix::plot
