#include "sim/ThermocoupleChain.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "core/ByteCodec.h"
#include "core/ControllerMap.h"
#include "sim/FirmwareEncoding.h"

namespace calorix::sim {
namespace {

using namespace ctl;

constexpr int kRoomSensorSteps = 16;         // a 1/16 °C sensor
constexpr double kNormVoltageScale = 100.0;  // the normalised voltage is kept x 100

}  // namespace

ThermocoupleCurve curveFromWords(const ControllerMemory& m) {
  ThermocoupleCurve curve;
  curve.a = m.blockWord(block::kCurveA) / block::kCurveAScale;
  curve.b = -m.blockWord(block::kCurveB) / block::kCurveBScale;
  curve.c = m.blockWord(block::kCurveC) / block::kCurveCScale;
  curve.d = -m.blockWord(block::kCurveD) / block::kCurveDScale;
  return curve;
}

void storeCurveWords(ControllerMemory& m, const ThermocoupleCurve& curve) {
  m.setBlockWord(block::kCurveA, magnitudeWord(curve.a, block::kCurveAScale));
  m.setBlockWord(block::kCurveB, magnitudeWord(curve.b, block::kCurveBScale));
  m.setBlockWord(block::kCurveC, magnitudeWord(curve.c, block::kCurveCScale));
  m.setBlockWord(block::kCurveD, magnitudeWord(curve.d, block::kCurveDScale));
}

double gainFromWord(std::int32_t word) {
  return block::kGainPercent * kFixed1616 / word;
}

std::uint32_t gainWordOf(double gain) {
  return magnitudeWord(block::kGainPercent / gain, kFixed1616);
}

void ThermocoupleChain::adoptGainWord(const ControllerMemory& memory) {
  gainWordSeen_ = memory.blockWord(block::kGain);
}

Reading ThermocoupleChain::measure(ControllerMemory& m, const Furnace& furnace) {
  Reading reading;
  const int sixteenths = int(std::lround(furnace.roomC() * kRoomSensorSteps));
  reading.roomSensor = sixteenths / double(kRoomSensorSteps);
  m.ram[ram::kRoomWhole] = std::uint8_t((sixteenths / kRoomSensorSteps) & ram::kRoomWholeBits);
  const int fraction = sixteenths % kRoomSensorSteps;
  m.ram[ram::kRoomFraction] = roomFractionInSixteenths_
                                  ? std::uint8_t(fraction)
                                  : std::uint8_t(fraction * (256 / kRoomSensorSteps));

  // Converter: the amplified thermocouple voltage in 12 bits.
  const double adcMv = std::max(0.0, furnace.thermocoupleMv()) * kAmplifierGain;
  const int raw = int(std::clamp(std::lround(adcMv / kAdcLsbMv), 0l, long(ram::kRawVoltageBits)));
  m.setRamWord(ram::kRawVoltage, std::uint16_t(raw));

  // Back to the thermocouple voltage through the calibration words.
  const double ampA = fromFixed1616(m.blockWord(block::kAmplifierA));
  const double ampB = fromFixed1616(m.blockWord(block::kAmplifierB));
  const std::int32_t gainWord = m.blockWord(block::kGain);
  if (gainWord != gainWordSeen_) {  // a new gain written to the block memory takes effect
    gainWordSeen_ = gainWord;
    if (gainWord > 0)
      m.setRamDWord(ram::kAmplifierGain, std::uint32_t(fixed1616Saturated(gainFromWord(gainWord))));
  }
  double gain = fromFixed1616(std::int32_t(m.ramDWord(ram::kAmplifierGain)));
  if (gain <= 0) gain = kAmplifierGain;
  const double inputMv = (ampA * raw * kAdcLsbMv + ampB) / gain;
  m.setRamWord(ram::kNormVoltage,
               std::uint16_t(std::clamp(std::lround(inputMv * kNormVoltageScale), 0l,
                                        long(std::numeric_limits<std::uint16_t>::max()))));

  const double tc = curveFromWords(m).temperature(inputMv);

  // Tкорр = A*T + B (B sign-magnitude), then the cold junction from the room sensor.
  const double corrA = fromFixed1616(m.ramDWord(ram::kCorrA));
  const std::uint32_t bWord = m.ramDWord(ram::kCorrB);
  const double corrB =
      fromFixed1616(signMagnitudeValue(bWord)) * (signMagnitudeNegative(bWord) ? -1 : 1);
  const double corrected = std::max(0.0, corrA * tc + corrB);
  m.setRamDWord(ram::kTempCorrected, std::uint32_t(std::lround(corrected * kFraction8)));
  reading.measured = corrected + reading.roomSensor;
  m.setRamDWord(ram::kTemperature, std::uint32_t(std::lround(reading.measured * kFraction8)));
  return reading;
}

}  // namespace calorix::sim
