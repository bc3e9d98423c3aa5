#include "sim/FurnaceFirmware.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>

namespace calorix::sim {
namespace {

// RAM map of the firmware (multi-byte values little-endian).
namespace ram {
constexpr std::uint16_t kFlags = 0x02;  // bit 1 heater on; bits 2 and 6 sign of the total action
constexpr std::uint16_t kSigns =
    0x03;  // negative: 0 PUV, 1 IUV, 2 DUV, 3 PK, 4 IK, 5 DK, 6 sum, 7 error
constexpr std::uint16_t kRunSwitch = 0x05;      // R5 bit 2: PID frames wanted with the run
constexpr std::uint16_t kIntegralState = 0x07;  // bit 7: the integral is working
constexpr std::uint16_t kPhase = 0x08;          // bit 0 heating, 1 approach, 2 stabilisation
constexpr std::uint16_t kBlink = 0x0B;
constexpr std::uint16_t kRegFlags = 0x0E;  // bit 0 console's own PK/IK/DK; 4, 7 speed-loop signs
constexpr std::uint16_t kDigits = 0x60;    // 0x60..0x67 program, stage, parameter digits
constexpr std::uint16_t kBarHeat = 0x68;
constexpr std::uint16_t kBarStab = 0x69;
constexpr std::uint16_t kBarCool = 0x6A;
constexpr std::uint16_t kLamps = 0x6C;
constexpr std::uint16_t kRoomFraction = 0x70;
constexpr std::uint16_t kRoomWhole = 0x71;
constexpr std::uint16_t kRawVoltage = 0x72;
constexpr std::uint16_t kPower = 0x77;
constexpr std::uint16_t kPowerLimit = 0x7B;
constexpr std::uint16_t kProgram = 0x7C;
constexpr std::uint16_t kStage = 0x7D;
constexpr std::uint16_t kNormVoltage = 0x7E;
constexpr std::uint16_t kCorrA = 0x80;
constexpr std::uint16_t kCorrB = 0x84;
constexpr std::uint16_t kDelay = 0x88;
constexpr std::uint16_t kPK = 0x90;
constexpr std::uint16_t kIK = 0x94;
constexpr std::uint16_t kDK = 0x98;
constexpr std::uint16_t kAmpGain = 0x9C;
constexpr std::uint16_t kError = 0xA4;
constexpr std::uint16_t kErrorSum = 0xA8;
constexpr std::uint16_t kStabTime = 0xAC;
constexpr std::uint16_t kSpeed = 0xAE;
constexpr std::uint16_t kPUV = 0xB0;
constexpr std::uint16_t kIUV = 0xB4;
constexpr std::uint16_t kDUV = 0xB8;
constexpr std::uint16_t kTotal = 0xBC;
constexpr std::uint16_t kTempCorrected = 0xC0;
constexpr std::uint16_t kTemp = 0xC4;
constexpr std::uint16_t kSetTemp = 0xDC;
constexpr std::uint16_t kSpeedPower = 0x15A;
constexpr std::uint16_t kTheoretical = 0x16C;
constexpr std::uint16_t kCurSpeed = 0x174;
constexpr std::uint16_t kSpeedProp = 0x178;
constexpr std::uint16_t kSpeedSum = 0x17C;
}  // namespace ram

// Coefficient words of the block memory.
namespace blk {
constexpr std::uint16_t kAmpA = 0x00;  // Uout = A*Uin + B, 16.16 magnitudes
constexpr std::uint16_t kAmpB = 0x04;
constexpr std::uint16_t kGain = 0x08;       // 100 / K in 16.16
constexpr std::uint16_t kCurveA = 0x0C;     // T(U): A / 2^32
constexpr std::uint16_t kCurveB = 0x10;     // B / 1677721600, always negative
constexpr std::uint16_t kCurveC = 0x14;     // C / 2560000
constexpr std::uint16_t kCurveD = 0x18;     // D / 1000000, always negative
constexpr std::uint16_t kPidCubics = 0x20;  // KP A..D, KD A..D, KI A..D, each / 1e8
constexpr std::uint16_t kPidSigns = 0x50;   // bit i set: cubic word i negative
constexpr std::uint16_t kTable = 0x70;      // 50 records of four 16-bit words
}  // namespace blk

// The physical side of the thermocouple channel: the amplifier's real gain and
// the 12-bit converter.
constexpr double kAmplifierGain = 45.0;
constexpr double kAdcLsbMv = 2500.0 / 4096.0;
constexpr double kStabBandC = 2.0;       // close enough to start the stabilisation time
constexpr double kApproachBandC = 10.0;  // nearer than this the ramp is "ДОВОДКА"
constexpr double kIntegralBandC = 30.0;  // the integral works only inside this band
constexpr int kSpeedWindowSteps = 60;    // heating speed measured over this many steps
constexpr double kSpeedKp = 2.0;         // % per °C/min of speed error (speed loop, shown only)
constexpr double kSpeedKi = 0.05;        // % per °C of speed-error sum

std::int32_t toFixed16(double v) {
  return std::int32_t(std::clamp(std::llround(v * 65536.0), -2147483647ll, 2147483647ll));
}
std::uint32_t magnitudeFixed(double v, double scale) {
  return std::uint32_t(std::min(std::llround(std::abs(v) * scale), 0xFFFFFFFFll));
}
std::int32_t blockWord(const ControllerMemory& m, std::uint16_t at) {
  return std::int32_t(std::uint32_t(m.blockMem[at]) | (std::uint32_t(m.blockMem[at + 1]) << 8) |
                      (std::uint32_t(m.blockMem[at + 2]) << 16) |
                      (std::uint32_t(m.blockMem[at + 3]) << 24));
}
void setBlockWord(ControllerMemory& m, std::uint16_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) m.blockMem[at + i] = std::uint8_t(v >> (8 * i));
}
void setBit(std::uint8_t& byte, int bit, bool on) {
  if (on)
    byte = std::uint8_t(byte | (1u << bit));
  else
    byte = std::uint8_t(byte & ~(1u << bit));
}

// One stage of a program, as the stage record holds it.
struct Stage {
  int temperature = 0;  // °C, 0..4095; 0 ends the program
  int stabMinutes = 0;  // 0..16383
  int speed = 0;        // °C/min, 0..15; 0 = as fast as the heater can
};

std::uint8_t* stageRecord(ControllerMemory& m, int program, int stage) {
  const int k = stage - 1;
  if (program <= 17) return &m.progMem[std::size_t(60 * (program - 1) + 4 * k)];
  return &m.rom[std::size_t(0x7C00 + 64 * (program - 18) + 4 * k)];
}

Stage readStage(ControllerMemory& m, int program, int stage) {
  const std::uint8_t* b = stageRecord(m, program, stage);
  return {b[2] | ((b[3] & 0x0F) << 8), b[0] | ((b[1] & 0x3F) << 8), b[3] >> 4};
}

// Keeps bits 6..7 of byte 1: they carry the program's stage-0 value.
void writeStage(ControllerMemory& m, int program, int stage, const Stage& s) {
  std::uint8_t* b = stageRecord(m, program, stage);
  b[0] = std::uint8_t(s.stabMinutes);
  b[1] = std::uint8_t((b[1] & 0xC0) | ((s.stabMinutes >> 8) & 0x3F));
  b[2] = std::uint8_t(s.temperature);
  b[3] = std::uint8_t(((s.temperature >> 8) & 0x0F) | ((s.speed & 0x0F) << 4));
}

bool blank(const std::uint8_t* p, std::size_t n) {
  return std::all_of(p, p + n, [](std::uint8_t b) { return b == 0; });
}

}  // namespace

void loadFactoryDefaults(ControllerMemory& m) {
  if (blank(m.blockMem.data(), m.blockMem.size())) {
    const ThermocoupleCurve curve;
    setBlockWord(m, blk::kAmpA, 65536);  // A = 1
    setBlockWord(m, blk::kAmpB, 0);
    setBlockWord(m, blk::kGain, magnitudeFixed(100.0 / kAmplifierGain, 65536.0));
    setBlockWord(m, blk::kCurveA, magnitudeFixed(curve.a, 4294967296.0));
    setBlockWord(m, blk::kCurveB, magnitudeFixed(curve.b, 1677721600.0));
    setBlockWord(m, blk::kCurveC, magnitudeFixed(curve.c, 2560000.0));
    setBlockWord(m, blk::kCurveD, magnitudeFixed(curve.d, 1000000.0));
    // KP = 0.002*T + 4, KD = 10, KI = 0.01 (all positive: sign word 0).
    const std::array<double, 12> pid = {0, 0, 0.002, 4.0, 0, 0, 0, 10.0, 0, 0, 0, 0.01};
    for (int i = 0; i < 12; ++i)
      setBlockWord(m, std::uint16_t(blk::kPidCubics + 4 * i), magnitudeFixed(pid[i], 1e8));
    // Program table: a ladder of stage presets, 75..1300 °C.
    for (int i = 1; i <= 50; ++i) {
      const int at = blk::kTable + 8 * (i - 1);
      const std::array<int, 4> words = {50 + 25 * i, 10 + 5 * (i % 6), 5 + i % 11, 0};
      for (int w = 0; w < 4; ++w) {
        m.blockMem[at + 2 * w] = std::uint8_t(words[w]);
        m.blockMem[at + 2 * w + 1] = std::uint8_t(words[w] >> 8);
      }
    }
  }
  if (blank(m.progMem.data(), m.progMem.size())) {
    writeStage(m, 1, 1, {300, 10, 10});
    writeStage(m, 1, 2, {500, 5, 5});
    writeStage(m, 2, 1, {200, 30, 5});
    writeStage(m, 2, 2, {600, 60, 10});
    writeStage(m, 2, 3, {900, 30, 8});
    writeStage(m, 3, 1, {1000, 120, 15});
  }
  if (blank(&m.rom[0x7C00], 0x200)) {
    writeStage(m, 18, 1, {400, 20, 10});
    writeStage(m, 18, 2, {800, 30, 10});
    writeStage(m, 19, 1, {150, 60, 3});
  }
  if (m.ram[ram::kPowerLimit] == 0) m.ram[ram::kPowerLimit] = 100;
  if (m.ramDWord(ram::kCorrA) == 0) m.setRamDWord(ram::kCorrA, 65536);  // Tкорр = 1*T + 0
  if (m.ramDWord(ram::kAmpGain) == 0) {
    const std::int32_t g = blockWord(m, blk::kGain);
    m.setRamDWord(ram::kAmpGain, std::uint32_t(toFixed16(g > 0 ? 6553600.0 / g : kAmplifierGain)));
  }
}

struct FurnaceFirmware::Impl {
  enum class Edit { None, Program, Stage, Param };
  // What the parameter display shows.
  enum class View { Current, SetPoint, Power, StageTemp, StageTime, StageSpeed };

  explicit Impl(const FurnaceFirmwareOptions& o) : options(o), furnace(o.furnace) {}

  FurnaceFirmwareOptions options;
  Furnace furnace;
  ControllerMemory* mem = nullptr;

  // Clock.
  bool clockStarted = false;
  qint64 lastMs = 0;
  double pendingS = 0;

  // Run.
  RunState state = RunState::Idle;
  bool framesOn = false;
  bool runSwitchWasOn = false;
  bool armedSinceEnd = false;  // R5 bit 2 set afresh since the program ended
  int runProgram = 1;
  int stage = 0;        // running stage 1..15, 0 before the first
  double setPoint = 0;  // ramped set point, °C
  double rampFrom = 0;
  double stabElapsedS = 0;
  double delayLeftS = 0;
  double endTempC = 0;

  // Measurement and regulator.
  double measured = 0;
  double roomSensor = 0;
  double errorSum = 0;
  double dErrFiltered = 0;
  double prevError = 0;
  bool havePrevError = false;
  std::array<double, kSpeedWindowSteps> history{};
  int historyCount = 0;
  int historyAt = 0;
  double speedErrSum = 0;
  std::int32_t gainWordSeen = 0;

  // Panel.
  int selectedProgram = 1;
  int shownStage = 1;
  Edit edit = Edit::None;
  int editValue = 0;
  View view = View::Current;

  bool running() const {
    return state == RunState::Heating || state == RunState::Stabilising ||
           state == RunState::DelayedStart;
  }
  bool heaterOn() const { return state == RunState::Heating || state == RunState::Stabilising; }

  // ---- measurement -------------------------------------------------------

  void measure() {
    ControllerMemory& m = *mem;
    // Room sensor with a resolution of 1/16 °C.
    const double room = furnace.roomC();
    const int sixteenths = int(std::lround(room * 16));
    roomSensor = sixteenths / 16.0;
    m.ram[ram::kRoomWhole] = std::uint8_t((sixteenths / 16) & 0x7F);
    m.ram[ram::kRoomFraction] = options.roomFractionInSixteenths
                                    ? std::uint8_t(sixteenths % 16)
                                    : std::uint8_t((sixteenths % 16) * 16);

    // Converter: the amplified thermocouple voltage in 12 bits.
    const double adcMv = std::max(0.0, furnace.thermocoupleMv()) * kAmplifierGain;
    const int raw = int(std::clamp(std::lround(adcMv / kAdcLsbMv), 0l, 4095l));
    m.setRamWord(ram::kRawVoltage, std::uint16_t(raw));

    // Back to the thermocouple voltage through the calibration words.
    const double ampA = blockWord(m, blk::kAmpA) / 65536.0;
    const double ampB = blockWord(m, blk::kAmpB) / 65536.0;
    const std::int32_t gainWord = blockWord(m, blk::kGain);
    if (gainWord != gainWordSeen) {  // a new gain written to the block memory takes effect
      gainWordSeen = gainWord;
      if (gainWord > 0)
        m.setRamDWord(ram::kAmpGain, std::uint32_t(toFixed16(6553600.0 / gainWord)));
    }
    double gain = std::int32_t(m.ramDWord(ram::kAmpGain)) / 65536.0;
    if (gain <= 0) gain = kAmplifierGain;
    const double inputMv = (ampA * raw * kAdcLsbMv + ampB) / gain;
    m.setRamWord(ram::kNormVoltage,
                 std::uint16_t(std::clamp(std::lround(inputMv * 100), 0l, 65535l)));

    ThermocoupleCurve curve;
    curve.a = blockWord(m, blk::kCurveA) / 4294967296.0;
    curve.b = -blockWord(m, blk::kCurveB) / 1677721600.0;
    curve.c = blockWord(m, blk::kCurveC) / 2560000.0;
    curve.d = -blockWord(m, blk::kCurveD) / 1000000.0;
    const double tc = curve.temperature(inputMv);

    // Tкорр = A*T + B, then the cold junction from the room sensor.
    const double corrA = m.ramDWord(ram::kCorrA) / 65536.0;
    const std::uint32_t bWord = m.ramDWord(ram::kCorrB);
    const double corrB = (bWord & 0x7FFFFFFF) / 65536.0 * ((bWord & 0x80000000u) ? -1 : 1);
    const double corrected = std::max(0.0, corrA * tc + corrB);
    m.setRamDWord(ram::kTempCorrected, std::uint32_t(std::lround(corrected * 256)));
    measured = corrected + roomSensor;
    m.setRamDWord(ram::kTemp, std::uint32_t(std::lround(measured * 256)));
  }

  double heatingSpeedPerMin() const {
    if (historyCount < 2) return 0;
    const int n = std::min(historyCount, kSpeedWindowSteps);
    const int oldest = (historyAt - n + kSpeedWindowSteps) % kSpeedWindowSteps;
    const int newest = (historyAt - 1 + kSpeedWindowSteps) % kSpeedWindowSteps;
    return (history[newest] - history[oldest]) / ((n - 1) * options.regulatorStepS) * 60.0;
  }

  // ---- program runner ----------------------------------------------------

  void startRun() {
    framesOn = (mem->ram[ram::kRunSwitch] & 0x04) != 0;
    armedSinceEnd = false;
    commitEdit();
    view = View::Current;
    runProgram = selectedProgram;
    stage = 0;
    errorSum = 0;
    havePrevError = false;
    dErrFiltered = 0;
    speedErrSum = 0;
    setPoint = measured;
    const int delayMin = mem->ramWord(ram::kDelay);
    if (delayMin > 0) {
      state = RunState::DelayedStart;
      delayLeftS = delayMin * 60.0;
    } else {
      beginStage(1);
    }
  }

  void stopRun() {
    state = RunState::Idle;
    framesOn = false;
    stage = 0;
    mem->setRamWord(ram::kDelay, 0);
    mem->ram[ram::kPower] = 0;  // off at once, not at the next regulator step
  }

  void beginStage(int k) {
    const Stage s = k <= 15 ? readStage(*mem, runProgram, k) : Stage{};
    if (s.temperature == 0) {
      // The program is over; keep its last stage so the console sees the end
      // (an empty program shows stage 1).
      stage = std::max(stage, 1);
      state = RunState::Ended;
      armedSinceEnd = false;  // only an arming after the end may start the next run
      endTempC = measured;
      return;
    }
    stage = k;
    mem->setRamWord(ram::kSetTemp, std::uint16_t(s.temperature));
    mem->setRamWord(ram::kStabTime, std::uint16_t(s.stabMinutes));
    mem->setRamWord(ram::kSpeed, std::uint16_t(s.speed));
    rampFrom = setPoint;
    stabElapsedS = 0;
    state = RunState::Heating;
  }

  // The stage's working set-points are read from RAM every step, so a console
  // that writes 0xDC, 0xAC or 0xAE changes the running stage.
  void advanceProgram(double dt) {
    const double target = mem->ramWord(ram::kSetTemp);
    const double speed = mem->ramWord(ram::kSpeed);
    switch (state) {
      case RunState::DelayedStart:
        delayLeftS -= dt;
        if (delayLeftS <= 0) {
          mem->setRamWord(ram::kDelay, 0);
          setPoint = measured;
          beginStage(1);
        } else {
          mem->setRamWord(ram::kDelay, std::uint16_t(std::ceil(delayLeftS / 60.0)));
        }
        break;
      case RunState::Heating: {
        const double stepC = speed > 0 ? speed / 60.0 * dt : 1e9;
        if (std::abs(target - setPoint) <= stepC)
          setPoint = target;
        else
          setPoint += target > setPoint ? stepC : -stepC;
        if (setPoint == target && std::abs(target - measured) <= kStabBandC) {
          state = RunState::Stabilising;
          stabElapsedS = 0;
        }
        break;
      }
      case RunState::Stabilising:
        if (target != setPoint) {  // the console moved the set temperature
          rampFrom = setPoint;
          state = RunState::Heating;
          break;
        }
        stabElapsedS += dt;
        if (stabElapsedS >= mem->ramWord(ram::kStabTime) * 60.0) beginStage(stage + 1);
        break;
      case RunState::Idle:
      case RunState::Ended:
        break;
    }
  }

  // ---- regulator ---------------------------------------------------------

  double cubicCoefficient(int word) const {
    const std::uint16_t signs =
        std::uint16_t(mem->blockMem[blk::kPidSigns] | (mem->blockMem[blk::kPidSigns + 1] << 8));
    const double v = blockWord(*mem, std::uint16_t(blk::kPidCubics + 4 * word)) / 1e8;
    return (signs >> word) & 1 ? -v : v;
  }
  double cubicOfTemperature(int first, double t) const {
    return ((cubicCoefficient(first) * t + cubicCoefficient(first + 1)) * t +
            cubicCoefficient(first + 2)) *
               t +
           cubicCoefficient(first + 3);
  }

  void regulate(double dt) {
    ControllerMemory& m = *mem;
    // PK/IK/DK: the console's own when it set bit 0 of R14, else the cubics of
    // the temperature (KP words 0..3, KD 4..7, KI 8..11).
    if (!(m.ram[ram::kRegFlags] & 0x01)) {
      m.setRamDWord(ram::kPK, std::uint32_t(toFixed16(cubicOfTemperature(0, measured))));
      m.setRamDWord(ram::kDK, std::uint32_t(toFixed16(cubicOfTemperature(4, measured))));
      m.setRamDWord(ram::kIK, std::uint32_t(toFixed16(cubicOfTemperature(8, measured))));
    }
    const double kp = std::int32_t(m.ramDWord(ram::kPK)) / 65536.0;
    const double ki = std::int32_t(m.ramDWord(ram::kIK)) / 65536.0;
    const double kd = std::int32_t(m.ramDWord(ram::kDK)) / 65536.0;

    double error = 0, puv = 0, iuv = 0, duv = 0, total = 0;
    bool integrating = false;
    if (heaterOn()) {
      error = setPoint - measured;
      // Derivative of the error, filtered: the converter steps are ~0.3 °C.
      const double dErr = havePrevError ? (error - prevError) / dt : 0.0;
      prevError = error;
      havePrevError = true;
      dErrFiltered += (dErr - dErrFiltered) * std::min(1.0, dt / 20.0);
      puv = kp * error;
      duv = kd * dErrFiltered;
      // Integrate inside the band and only while that does not push a
      // saturated output further (no wind-up).
      const double trial = puv + ki * errorSum + duv;
      const bool saturatedSame = (trial >= 100 && error > 0) || (trial <= 0 && error < 0);
      integrating = std::abs(error) < kIntegralBandC && !saturatedSame;
      if (integrating) errorSum += error * dt;
      const double sumLimit = ki != 0 ? std::min(1e6, 100.0 / std::abs(ki)) : 1e6;
      errorSum = std::clamp(errorSum, -sumLimit, sumLimit);
      iuv = ki * errorSum;
      total = puv + iuv + duv;
    }
    const int limit = std::min<int>(100, m.ram[ram::kPowerLimit]);
    const int power = heaterOn() ? int(std::clamp<long>(std::lround(total), 0, limit)) : 0;

    m.setRamDWord(ram::kError, magnitudeFixed(error, 256));
    m.setRamDWord(ram::kErrorSum, magnitudeFixed(errorSum, 256));
    m.setRamDWord(ram::kPUV, magnitudeFixed(puv, 65536));
    m.setRamDWord(ram::kIUV, magnitudeFixed(iuv, 65536));
    m.setRamDWord(ram::kDUV, magnitudeFixed(duv, 65536));
    m.setRamDWord(ram::kTotal, std::uint32_t(std::abs(std::lround(total))));
    std::uint8_t signs = 0;
    setBit(signs, 0, puv < 0);
    setBit(signs, 1, iuv < 0);
    setBit(signs, 2, duv < 0);
    setBit(signs, 3, kp < 0);
    setBit(signs, 4, ki < 0);
    setBit(signs, 5, kd < 0);
    setBit(signs, 6, errorSum < 0);
    setBit(signs, 7, error < 0);
    m.ram[ram::kSigns] = signs;
    const bool totalNegative = std::lround(total) < 0;
    setBit(m.ram[ram::kFlags], 2, totalNegative);  // the PID display's sign
    setBit(m.ram[ram::kFlags], 6, totalNegative);  // the telemetry's sign
    setBit(m.ram[ram::kFlags], 1, heaterOn());
    setBit(m.ram[ram::kIntegralState], 7, integrating);
    m.ram[ram::kPower] = std::uint8_t(power);

    // Heating speed and the speed loop (shown for the engineer; the heater
    // follows the PID on the ramped set point).
    const double speedNow = heatingSpeedPerMin();
    const std::uint32_t speedMag = magnitudeFixed(speedNow, 256) & 0x7FFFFFFF;
    m.setRamDWord(ram::kCurSpeed, speedMag | (speedNow < 0 && speedMag ? 0x80000000u : 0));
    double speedErr = 0;
    if (state == RunState::Heating && setPoint != m.ramWord(ram::kSetTemp)) {
      speedErr = m.ramWord(ram::kSpeed) - std::abs(speedNow);
      speedErrSum += speedErr * dt / 60.0;
    }
    const double speedProp = kSpeedKp * speedErr;
    m.setRamWord(ram::kSpeedProp, std::uint16_t(std::min(magnitudeFixed(speedProp, 256), 0xFFFFu)));
    m.setRamDWord(ram::kSpeedSum, magnitudeFixed(speedErrSum, 65536));
    setBit(m.ram[ram::kRegFlags], 7, speedProp < 0);
    setBit(m.ram[ram::kRegFlags], 4, speedErrSum < 0);
    const double speedPower = std::clamp(speedProp + kSpeedKi * speedErrSum, 0.0, 100.0);
    m.setRamWord(ram::kSpeedPower, std::uint16_t(std::lround(speedPower * 256)));
    m.setRamDWord(ram::kTheoretical, std::uint32_t(std::lround(std::max(0.0, setPoint) * 256)));

    std::uint8_t phase = 0;
    if (state == RunState::Heating) {
      const bool near = setPoint == m.ramWord(ram::kSetTemp) ||
                        std::abs(m.ramWord(ram::kSetTemp) - measured) < kApproachBandC;
      phase = near ? 0x02 : 0x01;
    } else if (state == RunState::Stabilising) {
      phase = 0x04;
    }
    m.ram[ram::kPhase] = phase;
    m.ram[ram::kProgram] =
        std::uint8_t(running() || state == RunState::Ended ? runProgram : selectedProgram);
    m.ram[ram::kStage] = std::uint8_t(state == RunState::Idle ? 0 : stage);
  }

  void step(double dt) {
    furnace.step(dt, mem->ram[ram::kPower]);
    measure();
    history[std::size_t(historyAt)] = measured;
    historyAt = (historyAt + 1) % kSpeedWindowSteps;
    historyCount = std::min(historyCount + 1, kSpeedWindowSteps);
    advanceProgram(dt);
    regulate(dt);
  }

  void runFor(double seconds) {
    pendingS += seconds;
    const double dt = options.regulatorStepS;
    bool stepped = false;
    while (pendingS >= dt) {
      step(dt);
      pendingS -= dt;
      stepped = true;
    }
    if (stepped) showPanel();
  }

  // ---- front panel -------------------------------------------------------

  int editLimit() const {
    switch (view) {
      case View::StageTemp:
        return 4095;
      case View::StageTime:
        return 16383;
      case View::StageSpeed:
        return 15;
      default:
        return 0;
    }
  }
  bool stageView() const {
    return view == View::StageTemp || view == View::StageTime || view == View::StageSpeed;
  }
  int stageField(const Stage& s) const {
    return view == View::StageTemp   ? s.temperature
           : view == View::StageTime ? s.stabMinutes
                                     : s.speed;
  }

  void beginEdit(Edit e) {
    commitEdit();
    edit = e;
    if (e == Edit::Program) editValue = selectedProgram;
    if (e == Edit::Stage) editValue = shownStage;
    if (e == Edit::Param) editValue = stageField(readStage(*mem, selectedProgram, shownStage));
  }

  void commitEdit() {
    switch (edit) {
      case Edit::Program:
        if (editValue != selectedProgram) shownStage = 1;
        selectedProgram = editValue;
        break;
      case Edit::Stage:
        shownStage = editValue;
        break;
      case Edit::Param: {
        Stage s = readStage(*mem, selectedProgram, shownStage);
        if (view == View::StageTemp) s.temperature = editValue;
        if (view == View::StageTime) s.stabMinutes = editValue;
        if (view == View::StageSpeed) s.speed = editValue;
        writeStage(*mem, selectedProgram, shownStage, s);
        break;
      }
      case Edit::None:
        break;
    }
    edit = Edit::None;
  }

  void change(int delta) {
    const int lo = edit == Edit::Param ? 0 : 1;
    const int hi = edit == Edit::Program ? 25 : edit == Edit::Stage ? 15 : editLimit();
    if (edit != Edit::None) editValue = std::clamp(editValue + delta, lo, hi);
  }

  void nextParamView() {
    if (running()) {  // while running Парам. only looks, it edits nothing
      view = view == View::StageSpeed ? View::Current : View(int(view) + 1);
      return;
    }
    commitEdit();
    switch (view) {
      case View::StageTemp:
        view = View::StageTime;
        break;
      case View::StageTime:
        view = View::StageSpeed;
        break;
      case View::StageSpeed:
        view = View::Current;
        break;
      default:
        view = View::StageTemp;
        break;
    }
    if (stageView()) beginEdit(Edit::Param);
  }

  void panelKey(std::uint8_t code) {
    switch (code) {
      case 0x01:
        if (state == RunState::Idle)
          startRun();
        else if (state == RunState::Ended && armedSinceEnd)
          startRun();
        else
          stopRun();  // a running program, a delayed start, or the end acknowledged
        break;
      case 0x02:  // Прог.
        if (running()) break;
        if (edit == Edit::Program)
          commitEdit();
        else
          beginEdit(Edit::Program);
        break;
      case 0x04:  // Ступ.
        if (running()) break;
        if (edit == Edit::Stage)
          commitEdit();
        else
          beginEdit(Edit::Stage);
        break;
      case 0x08:  // Парам.
        nextParamView();
        break;
      case 0x20:  // "<"
        change(-1);
        break;
      case 0x40:  // ">"
        change(+1);
        break;
      case 0x80:  // encoder: confirm
        if (edit == Edit::Param) {
          commitEdit();
          view = View::Current;
        }
        commitEdit();
        break;
      default:  // 0x00, the release after "<" and ">"
        break;
    }
    showPanel();
  }

  void setDigits(std::uint16_t at, int value, int count) {
    for (int i = count - 1; i >= 0; --i, value /= 10) mem->ram[at + i] = std::uint8_t(value % 10);
  }

  // Four digits; below 100 a value with a fraction shows two decimals (12,34).
  void showParameter(double v, bool fraction) {
    v = std::max(0.0, v);
    const long hundredths = std::lround(v * 100);
    if (fraction && hundredths <= 9999) {
      setDigits(ram::kDigits + 4, int(hundredths), 4);
      mem->ram[ram::kDigits + 5] |= 0x40;
    } else {
      setDigits(ram::kDigits + 4, int(std::min(std::lround(v), 9999l)), 4);
    }
  }

  static int barLevel(double progress) {
    return 1 + int(std::clamp(progress, 0.0, 1.0) * 9.0 + 1e-9);
  }

  void showPanel() {
    ControllerMemory& m = *mem;
    const bool runView = running() || state == RunState::Ended;
    const int program = edit == Edit::Program ? editValue : runView ? runProgram : selectedProgram;
    int stageShown = edit == Edit::Stage ? editValue : runView ? stage : shownStage;
    setDigits(ram::kDigits, program, 2);
    setDigits(ram::kDigits + 2, stageShown, 2);

    std::uint8_t lamps = 0;
    const int viewStage = runView ? std::max(stage, 1) : shownStage;
    const Stage s = readStage(m, runView ? runProgram : selectedProgram, viewStage);
    if (state == RunState::DelayedStart && view == View::Current) {
      showParameter(m.ramWord(ram::kDelay), false);  // minutes left before the start
      lamps = 0x02;
    } else {
      switch (view) {
        case View::Current:
          showParameter(measured, true);
          lamps = 0x01;
          break;
        case View::SetPoint:
          showParameter(heaterOn() ? setPoint : m.ramWord(ram::kSetTemp), true);
          lamps = 0x01;
          break;
        case View::Power:
          showParameter(m.ram[ram::kPower], false);
          break;
        case View::StageTemp:
          showParameter(edit == Edit::Param ? editValue
                        : runView           ? m.ramWord(ram::kSetTemp)
                                            : s.temperature,
                        false);
          lamps = 0x01;
          break;
        case View::StageTime:
          showParameter(edit == Edit::Param ? editValue
                        : runView           ? m.ramWord(ram::kStabTime)
                                            : s.stabMinutes,
                        false);
          lamps = 0x02;
          break;
        case View::StageSpeed:
          showParameter(edit == Edit::Param ? editValue
                        : runView           ? m.ramWord(ram::kSpeed)
                                            : s.speed,
                        false);
          lamps = 0x04;
          break;
      }
    }
    m.ram[ram::kLamps] = lamps;

    int heat = 0, stab = 0, cool = 0;
    const double target = m.ramWord(ram::kSetTemp);
    if (state == RunState::Heating)
      heat = barLevel(target != rampFrom ? (setPoint - rampFrom) / (target - rampFrom) : 1.0);
    if (state == RunState::Stabilising) {
      const double total = m.ramWord(ram::kStabTime) * 60.0;
      stab = barLevel(total > 0 ? stabElapsedS / total : 1.0);
    }
    if (state == RunState::Ended) {
      const double span = endTempC - roomSensor;
      cool = barLevel(span > 1 ? (endTempC - measured) / span : 1.0);
    }
    m.ram[ram::kBarHeat] = std::uint8_t(heat);
    m.ram[ram::kBarStab] = std::uint8_t(stab);
    m.ram[ram::kBarCool] = std::uint8_t(cool);

    m.ram[ram::kBlink] = edit == Edit::Program ? 0x03
                         : edit == Edit::Stage ? 0x0C
                         : edit == Edit::Param ? 0xF0
                                               : 0x00;
    setBit(m.ram[ram::kFlags], 1, heaterOn());
    m.ram[ram::kProgram] = std::uint8_t(runView ? runProgram : selectedProgram);
    m.ram[ram::kStage] = std::uint8_t(state == RunState::Idle ? 0 : stage);
  }
};

FurnaceFirmware::FurnaceFirmware(FurnaceFirmwareOptions options)
    : impl_(std::make_unique<Impl>(options)) {}
FurnaceFirmware::~FurnaceFirmware() = default;

void FurnaceFirmware::attach(ControllerMemory& memory) {
  impl_->mem = &memory;
  loadFactoryDefaults(memory);
  impl_->gainWordSeen = blockWord(memory, blk::kGain);
  impl_->runSwitchWasOn = (memory.ram[ram::kRunSwitch] & 0x04) != 0;
  impl_->measure();
  impl_->setPoint = impl_->measured;
  impl_->regulate(impl_->options.regulatorStepS);
  impl_->showPanel();
}

void FurnaceFirmware::onPanelKey(std::uint8_t code) {
  impl_->panelKey(code);
}

// Plain key codes of the service area:
//   0x01 "Увеличить"  as ">" on the display being edited
//   0x02 "Уменьшить"  as "<"
//   0x04 "Ступень"    as Ступ.: selects the stage display for change
//   0x08 "<="         cancels the edit in progress (the value before it stays)
//                     or, with nothing edited, returns the parameter display
//                     to the current temperature
//   0x10 "t/T/N"      the parameter display cycles current temperature t, set
//                     temperature T, heater power N (%)
//   0x20 "P/B"        the telemetry stream is the command layer's; nothing here
void FurnaceFirmware::onPlainKey(std::uint8_t code) {
  Impl& d = *impl_;
  switch (code) {
    case 0x01:
      d.change(+1);
      break;
    case 0x02:
      d.change(-1);
      break;
    case 0x04:
      d.panelKey(0x04);
      return;
    case 0x08:
      if (d.edit == Impl::Edit::Param || d.edit == Impl::Edit::None) d.view = Impl::View::Current;
      d.edit = Impl::Edit::None;
      break;
    case 0x10:
      d.edit = d.edit == Impl::Edit::Param ? Impl::Edit::None : d.edit;
      d.view = d.view == Impl::View::Current    ? Impl::View::SetPoint
               : d.view == Impl::View::SetPoint ? Impl::View::Power
                                                : Impl::View::Current;
      break;
    default:
      break;
  }
  d.showPanel();
}

void FurnaceFirmware::onRegisterChanged(std::uint8_t reg) {
  Impl& d = *impl_;
  if (reg != ram::kRunSwitch) return;
  const bool on = (d.mem->ram[ram::kRunSwitch] & 0x04) != 0;
  if (!on) d.framesOn = false;
  if (on && !d.runSwitchWasOn) d.armedSinceEnd = true;
  d.runSwitchWasOn = on;
}

void FurnaceFirmware::advanceTo(qint64 nowMs) {
  Impl& d = *impl_;
  if (!d.clockStarted || nowMs < d.lastMs) {
    d.clockStarted = true;
    d.lastMs = nowMs;
    return;
  }
  const qint64 elapsed = nowMs - d.lastMs;
  d.lastMs = nowMs;
  d.runFor(elapsed / 1000.0 * d.options.simSpeed);
}

bool FurnaceFirmware::pidFramesOn() const {
  return impl_->framesOn;
}
const Furnace& FurnaceFirmware::furnace() const {
  return impl_->furnace;
}
RunState FurnaceFirmware::runState() const {
  return impl_->state;
}
int FurnaceFirmware::selectedProgram() const {
  return impl_->selectedProgram;
}
double FurnaceFirmware::measuredC() const {
  return impl_->measured;
}
void FurnaceFirmware::runSimulatedSeconds(double seconds) {
  impl_->runFor(seconds);
}

std::unique_ptr<Firmware> makeFurnaceFirmware(double simSpeed) {
  FurnaceFirmwareOptions o;
  o.simSpeed = simSpeed;
  return makeFurnaceFirmware(o);
}
std::unique_ptr<Firmware> makeFurnaceFirmware(const FurnaceFirmwareOptions& options) {
  return std::make_unique<FurnaceFirmware>(options);
}

}  // namespace calorix::sim
