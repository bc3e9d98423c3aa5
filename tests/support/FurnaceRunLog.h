#pragma once
// A heating run of the simulated controller and furnace, written as the PID
// work window logs it (its header lines, then one line every regulator cycle
// from the window's own line builders): what the tuning assistant reads, made
// without a link or a window. Header-only, so the benchmarks use it too.
#include <QByteArray>
#include <QStringList>
#include <QTime>

#include <array>
#include <cmath>
#include <optional>
#include <vector>

#include "core/ByteCodec.h"
#include "core/ControllerMap.h"
#include "core/Cp1251.h"
#include "pid/PidFrameDecode.h"
#include "sim/FirmwareEncoding.h"
#include "sim/FurnaceFirmware.h"
#include "sim/StageRecords.h"
#include "tuning/Identify.h"

namespace calorix::testing {

// KP A..D, KD A..D, KI A..D: the coefficient editor's group 4 in word order.
using PidCubics = std::array<double, ctl::block::kPidCubicWords>;
inline constexpr PidCubics kFactoryCubics = {0, 0, 0.002, 4.0, 0, 0, 0, 10.0, 0, 0, 0, 0.01};

struct FurnaceRun {
  sim::FurnaceParams furnace;
  std::vector<sim::Stage> stages;   // program 1; a stage of temperature 0 is added at the end
  std::optional<PidCubics> cubics;  // the controller's own when empty
  double maxSeconds = 6 * 3600;
  double lineSeconds = 4;
};

struct FurnaceRecord {
  QByteArray log;  // Windows-1251, CR LF
  std::vector<double> t, temperature, setPoint, power;
};

inline void storeCubics(sim::ControllerMemory& m, const PidCubics& words) {
  std::uint16_t signs = 0;
  for (int i = 0; i < ctl::block::kPidCubicWords; ++i) {
    m.setBlockWord(std::uint16_t(ctl::block::kPidCubics + 4 * i),
                   sim::magnitudeWord(words[std::size_t(i)], ctl::block::kPidCubicScale));
    if (words[std::size_t(i)] < 0) signs |= std::uint16_t(1u << i);
  }
  ctl::putLe16(&m.blockMem[ctl::block::kPidSignFlags], signs);
}

inline FurnaceRecord runFurnace(const FurnaceRun& run) {
  sim::FurnaceFirmwareOptions options;
  options.furnace = run.furnace;
  sim::FurnaceFirmware firmware(options);
  sim::ControllerMemory m;
  firmware.attach(m);
  if (run.cubics) storeCubics(m, *run.cubics);
  int n = 1;
  for (const sim::Stage& s : run.stages) sim::writeStage(m, 1, n++, s);
  sim::writeStage(m, 1, n, {0, 0, 0});
  firmware.onPanelKey(ctl::panelKey::kPuskStop);

  FurnaceRecord out;
  pid::PrevErr prev;
  pid::TempHistory history;
  QStringList lines;
  for (int line = 1; line * run.lineSeconds <= run.maxSeconds; ++line) {
    firmware.runSimulatedSeconds(run.lineSeconds);
    const pid::RamImage ram(m.ram);
    pid::FieldTexts rows = pid::decodePidCoefs(ram);
    for (auto& row : pid::decodePidValues(ram, prev)) rows.push_back(row);
    rows.push_back({QStringLiteral("EditNumIzm"), QString::number(line)});
    rows.push_back({QStringLiteral("EditZSE"), QString::number(m.ramWord(ctl::ram::kSetSpeed))});
    const auto fields = pid::lookupIn(rows);
    if (line == 1) lines << pid::runLogHeader1(fields) << pid::runLogHeader2();
    const double t = line * run.lineSeconds;
    const QTime at = QTime(6, 0).addSecs(int(t));
    lines << pid::pidDataLine(fields, at.toString(QStringLiteral("HH:mm:ss ")), history);
    out.t.push_back(t);
    out.temperature.push_back(firmware.measuredC());
    out.setPoint.push_back(m.ramDWord(ctl::ram::kTheoreticalTemp) / 256.0);
    out.power.push_back(m.ram[ctl::ram::kHeaterPower]);
    if (firmware.runState() == sim::RunState::Idle || firmware.runState() == sim::RunState::Ended)
      break;
  }
  out.log = cp1251::encode(lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"));
  return out;
}

// The furnace's own step response at a temperature (a 5 % step from the power
// that holds it, down where that would pass 100 %), read by the tangent rule
// the tuning assistant reads its identified model with.
inline tuning::Fopdt furnaceStep(const sim::FurnaceParams& params, double at) {
  sim::FurnaceParams p = params;
  p.startC = at;
  p.roomDriftC = 0;
  // Twins with one history: their difference is the step response alone.
  sim::Furnace held(p), stepped(p);
  const double hold = 100 * held.lossRate(at) / held.fullPowerRate();
  const double step = hold + 5 > 100 ? -5 : 5;
  std::vector<double> times, rise;
  for (int s = 0; s < 8 * 3600; ++s) {
    times.push_back(s);
    rise.push_back(stepped.chamberC() - held.chamberC());
    held.step(1, hold);
    stepped.step(1, hold + step);
  }
  return tuning::tangentFit(times, rise, 0, rise.back(), step);
}

}  // namespace calorix::testing
