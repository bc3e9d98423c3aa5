#include "tuning/ScheduleSearch.h"

#include <algorithm>
#include <cmath>

namespace calorix::tuning {
namespace {

constexpr double kLowestFitC = 100;  // below, the furnace is cold and the error large anyway
constexpr double kFitAboveC = 100;   // the words hold a little above the program's top
constexpr double kFitStepC = 25;
constexpr double kInfeasible = 1e5;  // cost per unit of a violated bound
constexpr double kSmallest = 1e-6;   // a coefficient the search starts from when given none
// The coarse search: factors on the start's KP, KI, KD.
constexpr double kKpFactors[] = {0.25, 0.5, 1, 2, 4};
constexpr double kKiFactors[] = {0.03, 0.1, 0.3, 1, 3};
constexpr double kKdFactors[] = {0.25, 0.5, 1, 2, 4};
// The cost is rough (whole percent of power, the converter's steps, bounds
// met or not): the simplex is started again from several places.
constexpr int kConstantStarts = 4;
constexpr int kLineStarts = 2;
constexpr int kConstantSteps = 60;
constexpr int kLineSteps = 150;
constexpr double kSimplexSpread = 0.5;  // in the logarithm of each coefficient
constexpr double kSimplexDone = 0.01;
constexpr int kExpectedRuns = 1800;  // for the progress: the coarse grid and the simplexes

struct Trial {
  Schedule schedule;
  CubicWords words{};
  LoopScore nominal, margin;
  double cost = 0;
  bool feasible = false;
};

using Point = std::vector<double>;

// Nelder–Mead on the trials' cost, from z0 with a simplex of kSimplexSpread.
template <typename F>
Trial nelderMead(const Point& z0, const F& f, int steps) {
  const std::size_t n = z0.size();
  std::vector<std::pair<Point, Trial>> simplex;
  simplex.push_back({z0, f(z0)});
  for (std::size_t d = 0; d < n; ++d) {
    Point z = z0;
    z[d] += kSimplexSpread;
    simplex.push_back({z, f(z)});
  }
  auto toward = [&](const Point& from, const Point& to, double k) {
    Point z(n);
    for (std::size_t d = 0; d < n; ++d) z[d] = from[d] + k * (to[d] - from[d]);
    return std::pair<Point, Trial>{z, f(z)};
  };
  auto byCost = [](const auto& a, const auto& b) { return a.second.cost < b.second.cost; };
  for (int step = 0; step < steps; ++step) {
    std::sort(simplex.begin(), simplex.end(), byCost);
    Point centre(n, 0.0);
    for (std::size_t i = 0; i < n; ++i)
      for (std::size_t d = 0; d < n; ++d) centre[d] += simplex[i].first[d] / double(n);
    const Point worst = simplex[n].first;
    auto reflected = toward(centre, worst, -1);
    if (reflected.second.cost < simplex[0].second.cost) {
      auto expanded = toward(centre, worst, -2);
      simplex[n] = expanded.second.cost < reflected.second.cost ? expanded : reflected;
    } else if (reflected.second.cost < simplex[n - 1].second.cost) {
      simplex[n] = reflected;
    } else if (auto contracted = toward(centre, worst, 0.5);
               contracted.second.cost < simplex[n].second.cost) {
      simplex[n] = contracted;
    } else {
      for (std::size_t i = 1; i <= n; ++i)
        simplex[i] = toward(simplex[0].first, simplex[i].first, 0.5);
    }
    double spread = 0;
    for (std::size_t i = 1; i <= n; ++i)
      for (std::size_t d = 0; d < n; ++d)
        spread = std::max(spread, std::abs(simplex[i].first[d] - simplex[0].first[d]));
    if (spread < kSimplexDone) break;
  }
  return std::min_element(simplex.begin(), simplex.end(), byCost)->second;
}

double over(double value, double limit) {
  return value > limit ? (value - limit) / limit : 0.0;
}

Point logsOf(const Pid& p) {
  return {std::log(p.kp), std::log(p.ki), std::log(p.kd)};
}

Pid pidOf(const Point& z, std::size_t at) {
  return {std::exp(z[at]), std::exp(z[at + 1]), std::exp(z[at + 2])};
}

}  // namespace

Pid Schedule::at(double t) const {
  const double f = toC > fromC ? (t - fromC) / (toC - fromC) : 0.0;
  return {low.kp + f * (high.kp - low.kp), low.ki + f * (high.ki - low.ki),
          low.kd + f * (high.kd - low.kd)};
}

std::pair<double, double> scheduleRange(const std::vector<ReferenceStage>& program) {
  double top = kLowestFitC + kFitStepC;
  for (const ReferenceStage& s : program) top = std::max(top, s.temperatureC);
  return {kLowestFitC, top + kFitAboveC};
}

CubicWords wordsFor(const Schedule& s) {
  std::vector<double> temps;
  for (double t = s.fromC; t <= s.toC + 1e-9; t += kFitStepC) temps.push_back(t);
  std::array<std::vector<double>, 3> values;  // in the editor's column order: KP, KD, KI
  for (double t : temps) {
    const Pid p = s.at(t);
    values[0].push_back(p.kp);
    values[1].push_back(p.kd);
    values[2].push_back(p.ki);
  }
  CubicWords w{};
  for (int col = 0; col < 3; ++col) {
    const FittedCubic f = fitControllerCubic(temps, values[std::size_t(col)]);
    for (int row = 0; row < 4; ++row)
      w[std::size_t(4 * col + row)] = f.cubic.c[std::size_t(3 - row)];
  }
  return w;
}

SearchResult searchSchedule(const LoopRun& nominal, const LoopRun& margin, const Schedule& start,
                            std::pair<double, double> range, const SearchBounds& bounds,
                            const std::function<void(int, int)>& progress) {
  SearchResult out;
  auto evaluate = [&](const Pid& low, const Pid& high) {
    Trial t;
    t.schedule = {range.first, range.second, low, high};
    t.words = wordsFor(t.schedule);
    t.nominal = nominal(t.words);
    ++out.runs;
    double violation =
        over(t.nominal.overshoot, bounds.overshootLimitC) +
        over(t.nominal.worstSwing(), bounds.swingLimitC) +
        over(t.nominal.worstRampSwing(), bounds.rampSwingFactor * bounds.swingLimitC) +
        (t.nominal.finished ? 0.0 : 1.0) + (t.nominal.beyondLaw ? 1.0 : 0.0);
    // Only what the first furnace accepts is tried on the second.
    if (violation == 0 && margin) {
      t.margin = margin(t.words);
      ++out.runs;
      violation += over(t.margin.worstSwing(), bounds.marginSwingFactor * bounds.swingLimitC) +
                   over(t.margin.worstRampSwing(),
                        bounds.marginSwingFactor * bounds.rampSwingFactor * bounds.swingLimitC) +
                   (t.margin.finished ? 0.0 : 1.0);
    }
    t.feasible = violation == 0;
    t.cost = t.nominal.iae + kInfeasible * violation;
    if (progress) progress(std::min(out.runs, kExpectedRuns - 1), kExpectedRuns);
    return t;
  };
  auto constant = [&](const Point& z) { return evaluate(pidOf(z, 0), pidOf(z, 0)); };
  auto line = [&](const Point& z) { return evaluate(pidOf(z, 0), pidOf(z, 3)); };

  auto positive = [](const Pid& p) {
    return Pid{std::max(p.kp, kSmallest), std::max(p.ki, kSmallest), std::max(p.kd, kSmallest)};
  };
  const Pid base = positive(start.at((range.first + range.second) / 2));
  std::vector<Trial> coarse;
  for (double fp : kKpFactors)
    for (double fi : kKiFactors)
      for (double fd : kKdFactors) {
        const Pid p{base.kp * fp, base.ki * fi, base.kd * fd};
        coarse.push_back(evaluate(p, p));
      }
  std::sort(coarse.begin(), coarse.end(),
            [](const Trial& a, const Trial& b) { return a.cost < b.cost; });
  auto byCost = [](const Trial& a, const Trial& b) { return a.cost < b.cost; };
  std::vector<Trial> constants;
  for (int s = 0; s < kConstantStarts && s < int(coarse.size()); ++s)
    constants.push_back(
        nelderMead(logsOf(coarse[std::size_t(s)].schedule.low), constant, kConstantSteps));
  std::sort(constants.begin(), constants.end(), byCost);
  // Then lines of the temperature from the best constants, and once more from the best line.
  auto lineFrom = [&](const Trial& from) {
    Point z = logsOf(from.schedule.low);
    const Point high = logsOf(from.schedule.high);
    z.insert(z.end(), high.begin(), high.end());
    return nelderMead(z, line, kLineSteps);
  };
  Trial best = coarse.front();
  for (const Trial& t : constants) best = std::min(best, t, byCost);
  for (int s = 0; s < kLineStarts && s < int(constants.size()); ++s)
    best = std::min(best, lineFrom(constants[std::size_t(s)]), byCost);
  best = std::min(
      best, lineFrom(evaluate(positive(start.at(range.first)), positive(start.at(range.second)))),
      byCost);
  best = std::min(best, lineFrom(best), byCost);
  if (progress) progress(kExpectedRuns, kExpectedRuns);

  out.feasible = best.feasible;
  out.schedule = best.schedule;
  out.words = best.words;
  out.nominal = best.nominal;
  out.margin = best.margin;
  return out;
}

}  // namespace calorix::tuning
