#pragma once
// Tuning rules: PID coefficients from a band's identified model, in the
// controller's units (P in % per °C, I in % per °C·s of the sum of errors, D
// in % per °C/s), and the three cubics of the temperature fitted through
// them as the controller stores them (words of 1e-8, magnitude and sign).
#include <QString>
#include <QStringList>

#include <array>
#include <optional>
#include <vector>

#include "tuning/Identify.h"
#include "tuning/Polynomial.h"

namespace calorix::tuning {

enum class Rule { Simc, Amigo, ZieglerNichols };

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
// the controller can hold (a constant cubic word).
Pid propose(Rule rule, const BandModel& band, double sumPerSecond, double kdLimit = kCubicWordMax);

struct FittedCubic {
  Cubic cubic;       // D, C, B, A as the words hold them
  bool fits = true;  // every word within the controller's range
};

// Through the points (temperature, coefficient), degree at most three and
// below the number of points; each word rounded to 1e-8 from A down, the
// lower ones fitted again after each rounding, so the rounding of A (which
// counts a thousand million times at 1000 °C) is made good by the others.
FittedCubic fitControllerCubic(const std::vector<double>& temps, const std::vector<double>& values);

}  // namespace calorix::tuning
