#include "sim/Regulator.h"

#include <algorithm>
#include <cmath>

#include "core/ByteCodec.h"
#include "core/ControllerMap.h"
#include "sim/FirmwareEncoding.h"

namespace calorix::sim {
namespace {

using namespace ctl;

constexpr double kApproachBandC = 10.0;  // nearer than this the ramp is "ДОВОДКА"
// In the last degrees of a heating stage the regulator eases its proportional
// action to this share, to brake the approach, unless the console forbids it
// (R14 bit 1, "Запрет уменьшения пропор возд").
constexpr double kEasedProportionalShare = 0.5;
constexpr double kIntegralBandC = 30.0;      // the integral works only inside this band
constexpr double kDerivativeFilterS = 20.0;  // the converter steps are ~0.3 °C
constexpr double kSumLimit = 1e6;
constexpr double kFullPower = 100.0;  // %
constexpr double kSpeedKp = 2.0;      // % per °C/min of speed error (speed loop, shown only)
constexpr double kSpeedKi = 0.05;     // % per °C of speed-error sum
constexpr double kSecondsPerMinute = 60.0;
constexpr int kWordBytes = 4;
// The cubics' first words: KP A..D, KD A..D, KI A..D.
constexpr int kCubicKP = 0, kCubicKD = 4, kCubicKI = 8;

double cubicCoefficient(const ControllerMemory& m, int word) {
  const std::uint16_t signs = le16(&m.blockMem[block::kPidSignFlags]);
  const double v =
      m.blockWord(std::uint16_t(block::kPidCubics + kWordBytes * word)) / block::kPidCubicScale;
  return (signs >> word) & 1 ? -v : v;
}

double cubicOfTemperature(const ControllerMemory& m, int first, double t) {
  return ((cubicCoefficient(m, first) * t + cubicCoefficient(m, first + 1)) * t +
          cubicCoefficient(m, first + 2)) *
             t +
         cubicCoefficient(m, first + 3);
}

double coefficient(const ControllerMemory& m, Addr at) {
  return fromFixed1616(std::int32_t(m.ramDWord(at)));
}

}  // namespace

void Regulator::reset() {
  errorSum_ = 0;
  havePrevError_ = false;
  dErrFiltered_ = 0;
  speedErrSum_ = 0;
}

void Regulator::record(double measuredC) {
  history_[std::size_t(historyAt_)] = measuredC;
  historyAt_ = (historyAt_ + 1) % kSpeedWindowSteps;
  historyCount_ = std::min(historyCount_ + 1, kSpeedWindowSteps);
}

double Regulator::heatingSpeedPerMin() const {
  if (historyCount_ < 2) return 0;
  const int n = std::min(historyCount_, kSpeedWindowSteps);
  const int oldest = (historyAt_ - n + kSpeedWindowSteps) % kSpeedWindowSteps;
  const int newest = (historyAt_ - 1 + kSpeedWindowSteps) % kSpeedWindowSteps;
  return (history_[newest] - history_[oldest]) / ((n - 1) * stepS_) * kSecondsPerMinute;
}

namespace {
bool easesProportional(const ControllerMemory& m, const ProgramRunner& runner, double measuredC,
                       double error) {
  if (m.reg(reg::kRegulator) & reg::kNoPropDecrease) return false;
  const double target = m.ramWord(ram::kSetTemperature);
  return runner.state() == RunState::Heating && error > 0 && target > measuredC &&
         target - measuredC < kApproachBandC;
}
}  // namespace

// PK/IK/DK: the console's own when it set its bit in R14, else the cubics of
// the temperature.
void Regulator::writeCoefficients(ControllerMemory& m, double measuredC) const {
  if (m.reg(reg::kRegulator) & reg::kOwnCoefs) return;
  m.setRamDWord(ram::kPK,
                std::uint32_t(fixed1616Saturated(cubicOfTemperature(m, kCubicKP, measuredC))));
  m.setRamDWord(ram::kDK,
                std::uint32_t(fixed1616Saturated(cubicOfTemperature(m, kCubicKD, measuredC))));
  m.setRamDWord(ram::kIK,
                std::uint32_t(fixed1616Saturated(cubicOfTemperature(m, kCubicKI, measuredC))));
}

void Regulator::regulate(ControllerMemory& m, double dt, const ProgramRunner& runner,
                         double measuredC) {
  // With the heater off the regulator rests: what it shows is current, with no
  // sums left over from a run that has stopped or ended.
  if (!runner.heaterOn()) reset();
  writeCoefficients(m, measuredC);
  const double kp = coefficient(m, ram::kPK);
  const double ki = coefficient(m, ram::kIK);
  const double kd = coefficient(m, ram::kDK);

  double error = 0, puv = 0, iuv = 0, duv = 0, total = 0;
  bool integrating = false;
  if (runner.heaterOn()) {
    error = runner.setPoint() - measuredC;
    const double dErr = havePrevError_ ? (error - prevError_) / dt : 0.0;
    prevError_ = error;
    havePrevError_ = true;
    dErrFiltered_ += (dErr - dErrFiltered_) * std::min(1.0, dt / kDerivativeFilterS);
    puv = kp * error;
    if (easesProportional(m, runner, measuredC, error)) puv *= kEasedProportionalShare;
    duv = kd * dErrFiltered_;
    // Integrate inside the band and only while that does not push a
    // saturated output further (no wind-up).
    const double trial = puv + ki * errorSum_ + duv;
    const bool saturatedSame = (trial >= kFullPower && error > 0) || (trial <= 0 && error < 0);
    integrating = std::abs(error) < kIntegralBandC && !saturatedSame;
    if (integrating) errorSum_ += error * dt;
    const double sumLimit = ki != 0 ? std::min(kSumLimit, kFullPower / std::abs(ki)) : kSumLimit;
    errorSum_ = std::clamp(errorSum_, -sumLimit, sumLimit);
    iuv = ki * errorSum_;
    total = puv + iuv + duv;
  }
  const int limit = std::min<int>(int(kFullPower), m.ram[ram::kPowerLimit]);
  const int power = runner.heaterOn() ? int(std::clamp<long>(std::lround(total), 0, limit)) : 0;

  m.setRamDWord(ram::kError, magnitudeWord(error, kFraction8));
  m.setRamDWord(ram::kErrorSum, magnitudeWord(errorSum_, kFraction8));
  m.setRamDWord(ram::kPUV, magnitudeWord(puv, kFixed1616));
  m.setRamDWord(ram::kIUV, magnitudeWord(iuv, kFixed1616));
  m.setRamDWord(ram::kDUV, magnitudeWord(duv, kFixed1616));
  m.setRamDWord(ram::kTotalAction, std::uint32_t(std::abs(std::lround(total))));
  std::uint8_t signs = 0;
  setFlag(signs, sign::kPUV, puv < 0);
  setFlag(signs, sign::kIUV, iuv < 0);
  setFlag(signs, sign::kDUV, duv < 0);
  setFlag(signs, sign::kPK, kp < 0);
  setFlag(signs, sign::kIK, ki < 0);
  setFlag(signs, sign::kDK, kd < 0);
  setFlag(signs, sign::kErrorSum, errorSum_ < 0);
  setFlag(signs, sign::kError, error < 0);
  m.ram[ram::kSigns] = signs;
  const bool totalNegative = std::lround(total) < 0;
  setFlag(m.ram[ram::kFlags], flags::kTotalNegativePid, totalNegative);
  setFlag(m.ram[ram::kFlags], flags::kTotalNegativeStream, totalNegative);
  setFlag(m.ram[ram::kIntegralState], indication::kIntegralWorking, integrating);
  m.ram[ram::kHeaterPower] = std::uint8_t(power);

  regulateSpeed(m, dt, runner);

  std::uint8_t phase = 0;
  if (runner.state() == RunState::Heating) {
    const double target = m.ramWord(ram::kSetTemperature);
    const bool near = runner.setPoint() == target || std::abs(target - measuredC) < kApproachBandC;
    phase = near ? phase::kApproach : phase::kHeating;
  } else if (runner.state() == RunState::Stabilising) {
    phase = phase::kStabilising;
  }
  m.ram[ram::kPhase] = phase;
}

// Heating speed and the speed loop: shown for the engineer; the heater follows
// the PID on the ramped set point.
void Regulator::regulateSpeed(ControllerMemory& m, double dt, const ProgramRunner& runner) {
  const double speedNow = heatingSpeedPerMin();
  m.setRamDWord(ram::kHeatingSpeed,
                signMagnitudeWord(magnitudeWord(speedNow, kFraction8), speedNow < 0));
  double speedErr = 0;
  if (runner.state() == RunState::Heating && runner.setPoint() != m.ramWord(ram::kSetTemperature)) {
    speedErr = m.ramWord(ram::kSetSpeed) - std::abs(speedNow);
    speedErrSum_ += speedErr * dt / kSecondsPerMinute;
  }
  const double speedProp = kSpeedKp * speedErr;
  m.setRamWord(ram::kSpeedProportional,
               std::uint16_t(std::min(magnitudeWord(speedProp, kFraction8), 0xFFFFu)));
  m.setRamDWord(ram::kSpeedErrorSum, magnitudeWord(speedErrSum_, kFixed1616));
  setFlag(m.reg(reg::kRegulator), reg::kPropSpeedSign, speedProp < 0);
  setFlag(m.reg(reg::kRegulator), reg::kIntegralSpeedSign, speedErrSum_ < 0);
  const double speedPower = std::clamp(speedProp + kSpeedKi * speedErrSum_, 0.0, kFullPower);
  m.setRamWord(ram::kSpeedPower, std::uint16_t(std::lround(speedPower * kFraction8)));
  m.setRamDWord(ram::kTheoreticalTemp,
                std::uint32_t(std::lround(std::max(0.0, runner.setPoint()) * kFraction8)));
}

}  // namespace calorix::sim
