#pragma once
// The controller's measuring chain: the room sensor for the cold junction, the
// thermocouple amplifier and 12-bit converter, then back to the thermocouple
// voltage and temperature through the calibration words of the block memory
// and the correction Tкорр = A*T + B in RAM.
#include <cstdint>

#include "sim/Furnace.h"
#include "sim/Memory.h"

namespace calorix::sim {

// The physical side of the channel: the amplifier's real gain and the
// converter's step.
inline constexpr double kAmplifierGain = 45.0;
inline constexpr double kAdcLsbMv = 2500.0 / 4096.0;

// What one measurement gives the rest of the firmware.
struct Reading {
  double measured = 0;    // °C, what RAM 0xC4 holds
  double roomSensor = 0;  // °C, in the sensor's 1/16 steps
};

class ThermocoupleChain {
 public:
  // Room sensor fraction byte in sixteenths of a degree, or in 1/256.
  explicit ThermocoupleChain(bool roomFractionInSixteenths)
      : roomFractionInSixteenths_(roomFractionInSixteenths) {}

  // Takes the gain word of the block memory as already in effect.
  void adoptGainWord(const ControllerMemory& memory);
  // Measures the furnace and keeps the chain's RAM current: room sensor, raw
  // and normalised voltage, corrected and full temperature, and the amplifier
  // gain when a new gain word has been written.
  Reading measure(ControllerMemory& memory, const Furnace& furnace);

 private:
  bool roomFractionInSixteenths_;
  std::int32_t gainWordSeen_ = 0;
};

// The calibration words as numbers and back.
ThermocoupleCurve curveFromWords(const ControllerMemory& memory);
void storeCurveWords(ControllerMemory& memory, const ThermocoupleCurve& curve);
// The amplifier gain К from the gain word (100 / К in 16.16), and its word.
double gainFromWord(std::int32_t word);
std::uint32_t gainWordOf(double gain);

}  // namespace calorix::sim
