// The tuning assistant on the simulated furnace, for three furnaces wide
// apart: (1) the model identified from the log of a run the furnace makes
// anyway (a 10 °C/min ramp to 600 °C, 30 minutes' hold, a ramp to 900 °C and
// a hold, under the factory cubics) against each furnace's own step response
// read the same way (dead time and time constant); (2) the same program, from
// the same cold start under the same controller, with the cubics each rule
// proposes against the factory cubics: integral of absolute error, overshoot,
// and what is left of oscillation at the end of each hold.
//
//   bench_tuning_bench [--search] [abc]
// --search also searches the words directly on each furnace itself (a few
// hundred runs of the furnace each): the best the controller's words do there.
#include <QElapsedTimer>

#include <cmath>
#include <cstdio>
#include <cstring>

#include "sim/Furnace.h"
#include "tests/support/FurnaceRunLog.h"
#include "tuning/Tuning.h"

using namespace calorix;

namespace {

struct Plant {
  const char* name;
  double rate, lag, dead;
};

constexpr double kIaeRatioTarget = 0.7;
constexpr double kOvershootTarget = 5;  // °C
// A hold still swinging by more at its end oscillates: three steps of the
// controller's converter.
constexpr double kSwingTarget = 1.0;
constexpr double kMaxSeconds = 4 * 3600;

std::vector<sim::Stage> programOf(const std::vector<tuning::ReferenceStage>& ref) {
  std::vector<sim::Stage> out;
  for (const auto& s : ref)
    out.push_back({int(s.temperatureC), int(s.holdMin), int(s.speedCPerMin)});
  return out;
}

testing::FurnaceRun runOf(const sim::FurnaceParams& p, const testing::PidCubics& words) {
  testing::FurnaceRun run;
  run.furnace = p;
  run.stages = programOf(tuning::standardReference());
  run.cubics = words;
  run.maxSeconds = kMaxSeconds;
  return run;
}

tuning::LoopScore closedLoop(const sim::FurnaceParams& p, const testing::PidCubics& words) {
  const testing::FurnaceRecord r = runFurnace(runOf(p, words));
  const tuning::LoopTrace trace{r.t, r.temperature, r.setPoint, r.power};
  const bool ended = r.t.empty() || r.t.back() < kMaxSeconds;
  return tuning::scoreLoop(trace, tuning::standardReference(), ended);
}

QString swingText(const tuning::LoopScore& s) {
  QStringList parts;
  for (double v : s.holdSwing)
    parts << (v == tuning::kNeverHeld ? QStringLiteral("not held") : QString::number(v, 'f', 2));
  return parts.join(QStringLiteral(" / "));
}

bool meets(const tuning::LoopScore& s, const tuning::LoopScore& factory) {
  return s.finished && s.iae <= kIaeRatioTarget * factory.iae && s.overshoot <= kOvershootTarget &&
         s.worstSwing() <= kSwingTarget;
}

void row(const char* name, const tuning::LoopScore& s, const tuning::LoopScore* factory) {
  std::printf("  %-10s %9.0f  %5s  %9.1f  %-16s %10.2f  %s\n", name, s.iae,
              factory ? qPrintable(QString::number(s.iae / factory->iae, 'f', 2)) : "", s.overshoot,
              qPrintable(swingText(s)), s.worstRampSwing(),
              factory ? (meets(s, *factory) ? "meets" : "misses") : "");
}

void identification(const tuning::TuneResult& r, const sim::FurnaceParams& p) {
  std::printf("  identified: dead %.0f s, lag %.0f s, %.2f °C/min per 10 %%\n  law: %s\n",
              r.id.plant.deadS, r.id.plant.lagS, r.id.plant.b * 600, qPrintable(r.law.statement));
  std::printf("  band °C    dead s id/plant  (err)   tau s id/plant   (err)   fit %%\n");
  for (const tuning::BandProposal& b : r.bands) {
    if (!b.proposed) {
      std::printf("  %4.0f..%-4.0f %s\n", b.band.fromC, b.band.toC, qPrintable(b.band.why));
      continue;
    }
    const tuning::Fopdt truth = testing::furnaceStep(p, b.band.middle());
    std::printf("  %4.0f..%-4.0f %6.0f/%-6.0f (%+4.0f%%)  %6.0f/%-6.0f (%+4.0f%%)  %5.1f\n",
                b.band.fromC, b.band.toC, b.band.fopdt.deadS, truth.deadS,
                100 * (b.band.fopdt.deadS / truth.deadS - 1), b.band.fopdt.tauS, truth.tauS,
                100 * (b.band.fopdt.tauS / truth.tauS - 1), b.band.fitPercent);
  }
}

testing::PidCubics wordsOf(const tuning::CubicWords& w) {
  testing::PidCubics out{};
  for (std::size_t i = 0; i < out.size(); ++i) out[i] = w[i];
  return out;
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
  bool search = false;
  QString only = QStringLiteral("abc");
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--search") == 0)
      search = true;
    else
      only = QString::fromLocal8Bit(argv[i]);
  }
  const Plant plants[] = {
      {"small, quick", 40, 20, 5}, {"mid-size", 30, 60, 15}, {"large, slow", 30, 180, 40}};
  std::printf(
      "tuning bench: 10 °C/min to 600 °C, 30 min, 10 °C/min to 900 °C, 30 min, from cold;\n"
      "targets against the factory cubics: IAE <= %.2fx, overshoot <= %.0f °C, hold swing <= "
      "%.1f °C\n",
      kIaeRatioTarget, kOvershootTarget, kSwingTarget);
  for (const Plant& plant : plants) {
    if (!only.contains(QChar('a' + int(&plant - plants)))) continue;
    sim::FurnaceParams p;
    p.maxRateCPerMin = plant.rate;
    p.chamberLagS = plant.lag;
    p.deadTimeS = plant.dead;
    const testing::FurnaceRecord factoryRun = runFurnace(runOf(p, testing::kFactoryCubics));
    const std::vector<tuning::TuningLog> logs = {
        tuning::tuningLogFrom(factoryRun.log, QDate(2026, 3, 5), "factory run")};
    std::printf("\n== %s furnace: %.0f °C/min, lag %.0f s, dead time %.0f s (%zu log lines)\n",
                plant.name, plant.rate, plant.lag, plant.dead, factoryRun.t.size());
    const tuning::LoopScore factory = closedLoop(p, testing::kFactoryCubics);
    std::printf(
        "  rule        IAE °C·min  ratio  overshoot °C  hold swing 600 / 900 °C  ramp swing\n");
    row("factory", factory, nullptr);
    for (const tuning::RuleInfo& rule : tuning::rules()) {
      QElapsedTimer timer;
      timer.start();
      tuning::TuneOptions options;
      options.rule = rule.rule;
      const tuning::TuneResult r = tuning::tune(logs, options);
      const qint64 ms = timer.elapsed();
      if (&rule == &tuning::rules().front()) identification(r, p);
      if (!r.ok) {
        std::printf("  %-9s no proposal: %s\n", rule.key, qPrintable(r.error));
        continue;
      }
      row(rule.key, closedLoop(p, wordsOf(r)), &factory);
      if (r.model) {
        const tuning::Schedule& s = r.model->schedule;
        std::printf(
            "            KP %.3g..%.3g  KI %.3g..%.3g  KD %.3g..%.3g over %.0f..%.0f °C; the model "
            "foretold IAE %.0f, overshoot %.1f; %d model runs in %lld ms%s\n",
            s.low.kp, s.high.kp, s.low.ki, s.high.ki, s.low.kd, s.high.kd, s.fromC, s.toC,
            r.model->predicted.iae, r.model->predicted.overshoot, r.model->runs, ms,
            r.model->ok ? "" : qPrintable(QStringLiteral("\n            ") + r.model->why));
      }
      if (search && r.model) {
        // The same search, run on this furnace itself and bounded by the
        // targets: once with steady ramps as the model rule asks, once with
        // the holds alone bounded.
        for (const bool steadyRamps : {true, false}) {
          tuning::SearchBounds bounds;
          bounds.overshootLimitC = kOvershootTarget;
          bounds.swingLimitC = kSwingTarget;
          if (!steadyRamps) bounds.rampSwingFactor = tuning::kNotSeen;
          const tuning::SearchResult best = tuning::searchSchedule(
              [&](const tuning::CubicWords& w) { return closedLoop(p, wordsOf(w)); }, {},
              r.model->schedule, tuning::scheduleRange(tuning::standardReference()), bounds);
          row(steadyRamps ? "searched" : "searched-h", best.nominal, &factory);
          const tuning::Schedule& s = best.schedule;
          std::printf(
              "            the words searched on this furnace itself, %s (%d runs)%s: KP "
              "%.3g..%.3g  KI %.3g..%.3g  KD %.3g..%.3g\n",
              steadyRamps ? "ramps steady" : "holds only", best.runs,
              best.feasible ? "" : ", none met the bounds", s.low.kp, s.high.kp, s.low.ki,
              s.high.ki, s.low.kd, s.high.kd);
        }
      }
    }
  }
  return 0;
}
