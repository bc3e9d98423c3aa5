#pragma once
// Tuning rules: PID coefficients from a band's identified model, in the
// controller's units (P in % per °C, I in % per °C·s of the sum of errors, D
// in % per °C/s), and the three cubics of the temperature fitted through
// them as the controller stores them (words of 1e-8, magnitude and sign).
#include <QString>
#include <QStringList>

#include <array>
#include <limits>
#include <optional>
#include <vector>

#include "tuning/Identify.h"
#include "tuning/Polynomial.h"

namespace calorix::tuning {

// Model: coefficients chosen by running the identified furnace under the
// derived law (tuning/ModelRule); the others read a band's model alone.
enum class Rule { Model, Simc, Amigo, ZieglerNichols };

struct RuleInfo {
  Rule rule;
  const char* key;  // as --rule takes it and --json gives it
  const char* description;
};
const std::vector<RuleInfo>& rules();
std::optional<Rule> ruleByKey(const QString& key);
const RuleInfo& infoOf(Rule rule);

struct Pid {
  double kp = 0, ki = 0, kd = 0;
};

// The controller's cubic words: raw = |v|·1e8 in 32 bits, the sign apart.
inline constexpr double kCubicWordScale = 100000000.0;
inline constexpr double kCubicWordMax = 2147483647.0 / kCubicWordScale;

// sumPerSecond: how fast the controller's sum of errors grows per °C of error
// and second (the derived law); KI is scaled by it. kdLimit: the largest KD
// to propose (none by default: the cubic's C and B words carry a KD far
// beyond one word above a hundred degrees).
Pid propose(Rule rule, const BandModel& band, double sumPerSecond,
            double kdLimit = std::numeric_limits<double>::infinity());

struct FittedCubic {
  Cubic cubic;               // D, C, B, A as the words hold them
  bool heldAtLimit = false;  // a word had to be held at ±kCubicWordMax
  double worstMisfit = 0;    // the most the cubic misses a point by
  // The cubic follows the points: no word at its limit, or the others made
  // up for it within a tenth of the largest value.
  bool fits = true;
};

// Through the points (temperature, coefficient), degree at most three and
// below the number of points. A word beyond the controller's range is held at
// its limit and the others fitted to what is left: a coefficient of a few
// hundred is still held above a hundred degrees by the C and B words. Each
// word is rounded to 1e-8 from A down, the lower ones fitted again after each
// rounding.
FittedCubic fitControllerCubic(const std::vector<double>& temps, const std::vector<double>& values);

}  // namespace calorix::tuning
