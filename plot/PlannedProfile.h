#pragma once
// The planned course of a run from its program, and where the furnace lagged
// behind it. The controller runs a program stage by stage: it heats (or
// cools) at the stage's speed to the stage's temperature, then holds there
// for the stage's stabilisation time; a stage with temperature 0 ends the
// program; speed 0 means as fast as the heater can, so the set point steps
// to the temperature at once. The stage-0 value (row 0 of the editor's
// table, in its stabilisation-time column) is the program's delayed start:
// minutes the furnace waits, unheated, before stage 1.
#include <QtGlobal>

#include <cstdint>
#include <vector>

#include "core/ProgramCodec.h"
#include "plot/TrendStore.h"

namespace calorix::plot {

struct PlanStage {
  double temperature;     // °C; NaN: stay where the furnace is (the delayed start)
  double stabMinutes;     // hold at the temperature
  double speedPerMinute;  // °C/min; 0: a step
};

struct PlanPoint {
  qint64 timeMs;
  double temperature;
  friend bool operator==(const PlanPoint&, const PlanPoint&) = default;
};

// The stages of a program as the editor holds it (core/ProgramCodec.h ProgramTable), in run order,
// ending at the first empty stage; a stage-0 value above 0 comes first as a hold where the furnace
// is. An empty program (stage 1 empty) has no stages.
std::vector<PlanStage> planStages(const calorix::ProgramTable& program);

// From startMs at startTemperature: each stage heats (or cools) at its speed to its temperature,
// then holds for its stabilisation time. A speed of 0 is a step to the temperature. The points are
// the corners of the course, in time order; a step gives two points at one time.
std::vector<PlanPoint> plannedProfile(const std::vector<PlanStage>& stages, qint64 startMs,
                                      double startTemperature);

// The planned temperature at timeMs (after a step, the new temperature); NaN outside the plan.
double plannedAt(const std::vector<PlanPoint>& plan, qint64 timeMs);

struct LagInterval {
  qint64 fromMs;
  qint64 toMs;
  friend bool operator==(const LagInterval&, const LagInterval&) = default;
};

// Stretches where the actual temperature (Quantity::Temperature) is below the plan by more than
// marginC. A stretch begins and ends where the lag crosses the margin, between two samples by
// straight lines; samples without a temperature are passed over, and the plan's end ends a stretch.
std::vector<LagInterval> lagIntervals(const TrendStore& store, const std::vector<PlanPoint>& plan,
                                      double marginC);

// The same kept up as a store grows: each update looks only at the samples
// appended since the last one (a redraw of a day at line rate does not go
// through the day again), and starts over for another store, plan or margin.
class LagFinder {
 public:
  const std::vector<LagInterval>& update(const TrendStore& store,
                                         const std::vector<PlanPoint>& plan, double marginC);

 private:
  struct Point {
    qint64 t;
    double excess;  // lag beyond the margin; > 0 lags
  };
  std::uint64_t storeId_ = 0;
  std::size_t done_ = 0;
  std::vector<PlanPoint> plan_;
  double marginC_ = 0;
  std::vector<LagInterval> out_;
  bool open_ = false;
  bool havePrevious_ = false;
  Point previous_{};
};

}  // namespace calorix::plot
