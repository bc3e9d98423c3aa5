#include "tuning/ClosedLoop.h"

#include <algorithm>
#include <cmath>

namespace calorix::tuning {
namespace {

constexpr double kFullPower = 100.0;
constexpr double kStepS = 1.0;         // the regulator's step
constexpr int kSubSteps = 4;           // of the heat balance within a step
constexpr double kSwingWindowS = 600;  // the end of a hold that the swing is read over
constexpr double kSpareS = 3600;       // beyond the program's own length, before giving up
constexpr double kColdSearchC[] = {-50, 300};

double cubic(const CubicWords& w, int first, double t) {
  return ((w[std::size_t(first)] * t + w[std::size_t(first + 1)]) * t + w[std::size_t(first + 2)]) *
             t +
         w[std::size_t(first + 3)];
}

double programSeconds(const std::vector<ReferenceStage>& program, double startC) {
  double s = 0, from = startC;
  for (const ReferenceStage& st : program) {
    if (st.speedCPerMin > 0) s += std::abs(st.temperatureC - from) / st.speedCPerMin * 60;
    s += st.holdMin * 60;
    from = st.temperatureC;
  }
  return s;
}

}  // namespace

const std::vector<ReferenceStage>& standardReference() {
  static const std::vector<ReferenceStage> program = {{600, 30, 10}, {900, 30, 10}};
  return program;
}

double coefficientOf(const CubicWords& words, int column, double t) {
  return cubic(words, 4 * column, t);
}

double LoopScore::worstSwing() const {
  double worst = 0;
  for (double s : holdSwing) worst = s == kNeverHeld ? kNotSeen : std::max(worst, s);
  return worst;
}

double LoopScore::worstRampSwing() const {
  double worst = 0;
  for (double s : rampSwing) worst = std::max(worst, s);
  return worst;
}

LoopScore scoreLoop(const LoopTrace& r, const std::vector<ReferenceStage>& program, bool finished) {
  LoopScore l;
  l.finished = finished;
  for (std::size_t k = 1; k < r.t.size(); ++k) {
    const double e = r.temperature[k] - r.setPoint[k];
    l.iae += std::abs(e) * (r.t[k] - r.t[k - 1]) / 60;
    l.overshoot = std::max(l.overshoot, e);
  }
  for (const ReferenceStage& stage : program) {
    const double target = stage.temperatureC;
    std::size_t last = 0;
    bool held = false;
    for (std::size_t k = 0; k < r.t.size(); ++k)
      if (r.setPoint[k] == target) {
        last = k;
        held = true;
      }
    double lo = 0, hi = 0;
    bool any = false;
    for (std::size_t k = 0; held && k < r.t.size(); ++k)
      if (r.setPoint[k] == target && r.t[k] > r.t[last] - kSwingWindowS) {
        const double e = r.temperature[k] - target;
        lo = any ? std::min(lo, e) : e;
        hi = any ? std::max(hi, e) : e;
        any = true;
      }
    l.holdSwing.push_back(any ? hi - lo : kNeverHeld);
    // The ramp: the set point on its way here, up to the hold's first line.
    std::size_t end = 0;
    while (end < r.t.size() && r.setPoint[end] != target) ++end;
    const double until = end < r.t.size() ? r.t[end] : (r.t.empty() ? 0.0 : r.t.back());
    any = false;
    for (std::size_t k = end; k-- > 0;) {
      if (r.t[k] <= until - kSwingWindowS) break;
      if (k + 1 < r.t.size() && r.setPoint[k] == r.setPoint[k + 1]) break;  // it stood: no ramp
      const double e = r.temperature[k] - r.setPoint[k];
      lo = any ? std::min(lo, e) : e;
      hi = any ? std::max(hi, e) : e;
      any = true;
    }
    l.rampSwing.push_back(any ? hi - lo : 0.0);
  }
  return l;
}

LoopModel loopModel(const HeatBalance& plant, const LawDetails& law, double sumPerSecond) {
  LoopModel m;
  m.plant = plant;
  m.law = law;
  m.sumPerSecond = sumPerSecond;
  // Cold: where the fitted losses vanish (the room), by bisection.
  double lo = kColdSearchC[0], hi = kColdSearchC[1];
  if (plant.loss(lo) < 0 && plant.loss(hi) > 0) {
    for (int i = 0; i < 60; ++i) {
      const double mid = (lo + hi) / 2;
      (plant.loss(mid) > 0 ? hi : lo) = mid;
    }
    m.startC = lo;
  } else {
    m.startC = plant.fromC;
  }
  return m;
}

LoopScore simulateLoop(const LoopModel& m, const CubicWords& words,
                       const std::vector<ReferenceStage>& program, LoopTrace* out) {
  const HeatBalance& p = m.plant;
  const LawDetails& law = m.law;
  LoopTrace local;
  LoopTrace& trace = out ? *out : local;
  trace = {};
  const double limitS = programSeconds(program, m.startC) + kSpareS;
  for (auto* v : {&trace.t, &trace.temperature, &trace.setPoint, &trace.power})
    v->reserve(std::size_t(limitS / kStepS) + 1);

  // The power command reaches the elements after the dead time, the chamber
  // through the lining's lag.
  const int delay = std::max(0, int(std::lround(p.deadS / kStepS)));
  std::vector<double> commands(std::size_t(delay + 1), 0.0);
  std::size_t head = 0;
  const double keep = p.lagS > 0 ? std::exp(-kStepS / p.lagS) : 0.0;
  const double keepD = law.derivativeLagS > 0 ? std::exp(-kStepS / law.derivativeLagS) : 0.0;
  double temp = m.startC, delivered = 0, power = 0;

  std::size_t stage = 0;
  double setPoint = m.startC, heldS = 0;
  bool holding = false;
  double sum = 0, dSmoothed = 0, prevError = 0;
  bool havePrev = false, finished = false, beyondLaw = false;

  for (double t = kStepS; t <= limitS && stage < program.size(); t += kStepS) {
    // The furnace over the step with the power commanded before it.
    commands[head] = power;
    head = (head + 1) % commands.size();
    const double acting = commands[head];  // given delay steps ago
    delivered = acting + (delivered - acting) * keep;
    const double h = kStepS / kSubSteps;
    for (int i = 0; i < kSubSteps; ++i) {
      const double rise = p.b * delivered - p.loss(temp);
      temp += h * rise / (1 + h * std::max(0.0, p.lossSlope(temp)));
    }
    const double q = law.measurementStepC;
    const double measured = q > 0 ? std::round(temp / q) * q : temp;

    // The program: the set point ramps to the stage's temperature; the hold
    // begins once the furnace has come near it.
    const ReferenceStage& st = program[stage];
    const double target = st.temperatureC;
    if (!holding) {
      const double stepC = st.speedCPerMin > 0 ? st.speedCPerMin / 60 * kStepS : kNotSeen;
      setPoint = std::abs(target - setPoint) <= stepC
                     ? target
                     : setPoint + (target > setPoint ? stepC : -stepC);
      // Where the logs never showed the hold's band, it begins with the set point's arrival.
      if (setPoint == target &&
          (law.holdBandC <= 0 || std::abs(target - measured) <= law.holdBandC)) {
        holding = true;
        heldS = 0;
      }
    } else if ((heldS += kStepS) >= st.holdMin * 60) {
      holding = false;
      if (++stage == program.size()) finished = true;
    }

    // The regulator.
    const double kp = cubic(words, 0, measured), kd = cubic(words, 4, measured),
                 ki = cubic(words, 8, measured);
    const double e = setPoint - measured;
    const double dErr = havePrev ? (e - prevError) / kStepS : 0.0;
    prevError = e;
    havePrev = true;
    dSmoothed = dErr + (dSmoothed - dErr) * keepD;
    double pAction = kp * e;
    if (!holding && e > 0 && target > measured && target - measured < law.easingBandC)
      pAction *= law.easedShare;
    const double dAction = kd * dSmoothed;
    const double trial = pAction + ki * sum + dAction;
    const bool pushing =
        law.antiWindup && ((trial >= kFullPower && e > 0) || (trial <= 0 && e < 0));
    if (std::abs(e) < law.integralBandC && !pushing) {
      sum += e * m.sumPerSecond * kStepS;
      beyondLaw = beyondLaw || (law.integralBandC == kNotSeen && std::abs(e) > law.sumSeenUpToC);
    }
    power = std::clamp(std::round(pAction + ki * sum + dAction), 0.0, kFullPower);

    trace.t.push_back(t);
    trace.temperature.push_back(measured);
    trace.setPoint.push_back(setPoint);
    trace.power.push_back(power);
  }
  LoopScore score = scoreLoop(trace, program, finished);
  score.beyondLaw = beyondLaw;
  return score;
}

}  // namespace calorix::tuning
