// The tuning assistant on the simulated furnace, for three furnaces wide
// apart: (1) the model identified from the log of a run the furnace makes
// anyway (a 10 °C/min ramp to 600 °C, 30 minutes' hold, a ramp to 900 °C and
// a hold, under the factory cubics) against each furnace's own step response
// read the same way (dead time and time constant); (2) the same program under
// the proposed cubics against the factory cubics: integral of absolute error,
// overshoot, and what is left of oscillation at the end of each hold.
#include <QElapsedTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "sim/Furnace.h"
#include "tests/support/FurnaceRunLog.h"
#include "tuning/Tuning.h"

using namespace calorix;

namespace {

struct Plant {
  const char* name;
  double rate, lag, dead;
};

constexpr double kHoldMinutes = 30;
const std::vector<sim::Stage> kProgram = {{600, int(kHoldMinutes), 10},
                                          {900, int(kHoldMinutes), 10}};

constexpr double kNeverHeld = -1;  // the set point never reached the hold within the run

QString swing(double v) {
  return v == kNeverHeld ? QStringLiteral("not reached") : QString::number(v, 'f', 2);
}

struct Loop {
  double iae = 0;                // °C·min over the whole program
  double overshoot = 0;          // °C above the set point, most
  double holdSwing[2] = {0, 0};  // peak to peak of the error in the last 10 minutes of each hold
};

Loop closedLoop(const sim::FurnaceParams& p, const testing::PidCubics& cubics) {
  testing::FurnaceRun run;
  run.furnace = p;
  run.stages = kProgram;
  run.cubics = cubics;
  run.maxSeconds = 4 * 3600;
  const testing::FurnaceRecord r = runFurnace(run);
  if (qEnvironmentVariableIsSet("CALORIX_TUNE_DUMP"))
    for (std::size_t k = 0; k < r.t.size(); k += 15)
      std::printf("    t %6.0f  T %7.2f  SP %7.2f  u %3.0f\n", r.t[k], r.temperature[k],
                  r.setPoint[k], r.power[k]);
  Loop l;
  for (std::size_t k = 1; k < r.t.size(); ++k) {
    const double e = r.temperature[k] - r.setPoint[k];
    l.iae += std::abs(e) * (r.t[k] - r.t[k - 1]) / 60;
    l.overshoot = std::max(l.overshoot, e);
  }
  // The holds: where the set point stands at a stage's temperature; their last 10 minutes.
  for (int h = 0; h < 2; ++h) {
    const double target = kProgram[std::size_t(h)].temperature;
    std::size_t last = 0;
    for (std::size_t k = 0; k < r.t.size(); ++k)
      if (r.setPoint[k] == target) last = k;
    double lo = 1e9, hi = -1e9;
    for (std::size_t k = 0; k < r.t.size(); ++k)
      if (r.setPoint[k] == target && r.t[k] > r.t[last] - 600) {
        lo = std::min(lo, r.temperature[k] - target);
        hi = std::max(hi, r.temperature[k] - target);
      }
    l.holdSwing[h] = last > 0 ? hi - lo : kNeverHeld;
  }
  return l;
}

testing::PidCubics wordsOf(const tuning::TuneResult& r) {
  testing::PidCubics w{};
  for (int col = 0; col < 3; ++col)
    for (int row = 0; row < 4; ++row)
      w[std::size_t(4 * col + row)] = r.cubics[std::size_t(col)].cubic.c[std::size_t(3 - row)];
  return w;
}

}  // namespace

int main(int argc, char** argv) {
  const QString rule = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("simc");
  const Plant plants[] = {
      {"small, quick", 40, 20, 5}, {"mid-size", 30, 60, 15}, {"large, slow", 30, 180, 40}};
  std::printf("tuning bench, rule %s\n", qPrintable(rule));
  const QString only = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral("abc");
  for (const Plant& plant : plants) {
    if (!only.contains(QChar('a' + int(&plant - plants)))) continue;
    sim::FurnaceParams p;
    p.maxRateCPerMin = plant.rate;
    p.chamberLagS = plant.lag;
    p.deadTimeS = plant.dead;
    testing::FurnaceRun run;
    run.furnace = p;
    run.stages = kProgram;
    run.cubics = testing::kFactoryCubics;
    run.maxSeconds = 4 * 3600;
    const testing::FurnaceRecord factoryRun = runFurnace(run);
    QElapsedTimer timer;
    timer.start();
    tuning::TuneOptions options;
    options.rule = tuning::ruleByKey(rule).value_or(tuning::Rule::Simc);
    const tuning::TuneResult r = tuning::tune(
        {tuning::tuningLogFrom(factoryRun.log, QDate(2026, 3, 5), "factory run")}, options);
    const qint64 ms = timer.elapsed();
    std::printf(
        "\n== %s furnace: %.0f °C/min, lag %.0f s, dead time %.0f s (%zu log lines, tuned in %lld "
        "ms)\n",
        plant.name, plant.rate, plant.lag, plant.dead, factoryRun.t.size(), ms);
    if (!r.ok) {
      std::printf("  no proposal: %s\n", qPrintable(r.error));
      continue;
    }
    std::printf("  identified: dead %.0f s, lag %.0f s, %.2f °C/min per 10 %%\n", r.id.plant.deadS,
                r.id.plant.lagS, r.id.plant.b * 600);
    std::printf(
        "  band °C    dead s id/plant  (err)   tau s id/plant   (err)   fit %%   KP     KI       "
        "KD\n");
    for (const tuning::BandProposal& b : r.bands) {
      if (!b.proposed) {
        std::printf("  %4.0f..%-4.0f %s\n", b.band.fromC, b.band.toC, qPrintable(b.band.why));
        continue;
      }
      const tuning::Fopdt truth = testing::furnaceStep(p, b.band.middle());
      std::printf(
          "  %4.0f..%-4.0f %6.0f/%-6.0f (%+4.0f%%)  %6.0f/%-6.0f (%+4.0f%%)  %5.1f  %5.2f  %.5f  "
          "%6.1f\n",
          b.band.fromC, b.band.toC, b.band.fopdt.deadS, truth.deadS,
          100 * (b.band.fopdt.deadS / truth.deadS - 1), b.band.fopdt.tauS, truth.tauS,
          100 * (b.band.fopdt.tauS / truth.tauS - 1), b.band.fitPercent, b.proposed->kp,
          b.proposed->ki, b.proposed->kd);
    }
    if (qEnvironmentVariableIsSet(
            "CALORIX_TUNE_DUMP"))  // the whole proposal, as calorix-cli prints it
      std::printf("%s\n", qPrintable(tuning::tuneText(r)));
    const Loop factory = closedLoop(p, testing::kFactoryCubics);
    const Loop proposed = closedLoop(p, wordsOf(r));
    std::printf("  closed loop    IAE °C·min  overshoot °C  swing end of hold 600 / 900 °C\n");
    std::printf("  factory        %9.0f  %12.1f  %s / %s\n", factory.iae, factory.overshoot,
                qPrintable(swing(factory.holdSwing[0])), qPrintable(swing(factory.holdSwing[1])));
    std::printf(
        "  proposed       %9.0f  %12.1f  %s / %s   IAE ratio %.2f (target <= 0.70), "
        "overshoot target <= 5\n",
        proposed.iae, proposed.overshoot, qPrintable(swing(proposed.holdSwing[0])),
        qPrintable(swing(proposed.holdSwing[1])), proposed.iae / factory.iae);
  }
  return 0;
}
