#include "sim/FactoryDefaults.h"

#include <algorithm>
#include <array>

#include "core/ControllerMap.h"
#include "core/ProgramCodec.h"
#include "sim/FirmwareEncoding.h"
#include "sim/StageRecords.h"
#include "sim/ThermocoupleChain.h"

namespace calorix::sim {
namespace {

using namespace ctl;

constexpr int kWordBytes = 4;
constexpr std::uint8_t kFullPowerPercent = 100;

bool blank(const std::uint8_t* p, std::size_t n) {
  return std::all_of(p, p + n, [](std::uint8_t b) { return b == 0; });
}

void loadCalibrationAndTable(ControllerMemory& m) {
  m.setBlockWord(block::kAmplifierA, std::uint32_t(kFixed1616));  // A = 1
  m.setBlockWord(block::kAmplifierB, 0);
  m.setBlockWord(block::kGain, gainWordOf(kAmplifierGain));
  storeCurveWords(m, ThermocoupleCurve{});
  // KP = 0.002*T + 4, KD = 10, KI = 0.01 (all positive: sign word 0).
  const std::array<double, block::kPidCubicWords> pid = {0, 0,    0.002, 4.0, 0, 0,
                                                         0, 10.0, 0,     0,   0, 0.01};
  for (int i = 0; i < block::kPidCubicWords; ++i)
    m.setBlockWord(std::uint16_t(block::kPidCubics + kWordBytes * i),
                   magnitudeWord(pid[i], block::kPidCubicScale));
  // Program table: a ladder of stage presets, 75..1300 °C.
  for (int i = 1; i <= kTableRecords; ++i) {
    const TableWords words = {quint16(50 + 25 * i), quint16(10 + 5 * (i % 6)), quint16(5 + i % 11),
                              0};
    encodeTableRecord(words, &m.blockMem[tableRecordAddress(i)]);
  }
}

}  // namespace

void loadFactoryDefaults(ControllerMemory& m) {
  if (blank(m.blockMem.data(), m.blockMem.size())) loadCalibrationAndTable(m);
  if (blank(m.progMem.data(), m.progMem.size())) {
    writeStage(m, 1, 1, {300, 10, 10});
    writeStage(m, 1, 2, {500, 5, 5});
    writeStage(m, 2, 1, {200, 30, 5});
    writeStage(m, 2, 2, {600, 60, 10});
    writeStage(m, 2, 3, {900, 30, 8});
    writeStage(m, 3, 1, {1000, 120, 15});
  }
  if (blank(&m.rom[program::kRomBase], program::kRomPages * program::kRomPageBytes)) {
    writeStage(m, 18, 1, {400, 20, 10});
    writeStage(m, 18, 2, {800, 30, 10});
    writeStage(m, 19, 1, {150, 60, 3});
  }
  if (m.ram[ram::kPowerLimit] == 0) m.ram[ram::kPowerLimit] = kFullPowerPercent;
  if (m.ramDWord(ram::kCorrA) == 0)
    m.setRamDWord(ram::kCorrA, std::uint32_t(kFixed1616));  // Tкорр = 1*T + 0
  if (m.ramDWord(ram::kAmplifierGain) == 0) {
    const std::int32_t g = m.blockWord(block::kGain);
    m.setRamDWord(ram::kAmplifierGain,
                  std::uint32_t(fixed1616Saturated(g > 0 ? gainFromWord(g) : kAmplifierGain)));
  }
}

}  // namespace calorix::sim
