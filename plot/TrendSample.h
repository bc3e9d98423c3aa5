#pragma once
// One moment of a furnace run as the trend shows it: the regulator quantities
// at a clock time, whichever way they reached the console (a PID frame of a
// PID-window run or a Пуск run, a telemetry frame, a line of a past log).
// No widget: the trend window, the headless plot and the log readers share it.
#include <QString>

#include <array>
#include <cmath>
#include <cstdint>
#include <limits>

namespace calorix::plot {

enum class Quantity : int {
  Temperature,     // current temperature with the room sensor, °C
  TempCorrected,   // corrected thermocouple temperature, °C
  SetTemperature,  // °C
  HeaterPower,     // %
  PAction,         // signed control actions
  IAction,
  DAction,
  TotalAction,
  HeatingSpeed,  // current heating speed, °C/min, signed
  SetSpeed,      // set heating speed of the stage, °C/min
  Error,         // temperature error, °C, signed
};
inline constexpr int kQuantityCount = 11;

// Which axis a quantity is drawn against: °C (temperatures, their error and
// speeds) or the second axis (power in % and the control actions).
enum class Axis { Celsius, Action };

struct QuantityInfo {
  Quantity quantity;
  const char* key;    // the CSV column and the command line's name
  const char* label;  // UTF-8, shown in the legend
  Axis axis;
};

inline constexpr std::array<QuantityInfo, kQuantityCount> kQuantities{{
    {Quantity::Temperature, "temperature", "Температура, °C", Axis::Celsius},
    {Quantity::TempCorrected, "temp_corrected", "Температура термопары корр., °C", Axis::Celsius},
    {Quantity::SetTemperature, "set_temperature", "Заданная температура, °C", Axis::Celsius},
    {Quantity::HeaterPower, "heater_power", "Мощность, %", Axis::Action},
    {Quantity::PAction, "p_action", "П-воздействие", Axis::Action},
    {Quantity::IAction, "i_action", "И-воздействие", Axis::Action},
    {Quantity::DAction, "d_action", "Д-воздействие", Axis::Action},
    {Quantity::TotalAction, "total_action", "Суммарное воздействие", Axis::Action},
    {Quantity::HeatingSpeed, "heating_speed", "Скорость нагрева, °C/мин", Axis::Celsius},
    {Quantity::SetSpeed, "set_speed", "Заданная скорость, °C/мин", Axis::Celsius},
    {Quantity::Error, "error", "Ошибка, °C", Axis::Celsius},
}};

inline constexpr const QuantityInfo& info(Quantity q) {
  return kQuantities[std::size_t(q)];
}

// Where a sample came from.
enum class Source { PidRun, PuskRun, Stream, Log };

inline constexpr double kAbsent = std::numeric_limits<double>::quiet_NaN();

struct Sample {
  qint64 timeMs = 0;  // local clock time, ms since the epoch
  Source source = Source::Log;
  std::array<double, kQuantityCount> values = filledAbsent();
  int program = -1;  // RAM 0x7C, -1 when the source does not carry it
  int stage = -1;    // RAM 0x7D, -1 when the source does not carry it

  double value(Quantity q) const { return values[std::size_t(q)]; }
  void set(Quantity q, double v) { values[std::size_t(q)] = v; }
  bool has(Quantity q) const { return !std::isnan(value(q)); }

  static constexpr std::array<double, kQuantityCount> filledAbsent() {
    std::array<double, kQuantityCount> a{};
    for (double& v : a) v = kAbsent;
    return a;
  }
};

}  // namespace calorix::plot
