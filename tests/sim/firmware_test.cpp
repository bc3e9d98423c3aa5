// The furnace firmware driven as the command layers drive it: keys, register
// changes and the emulator's clock. Simulated time only; nothing sleeps.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <memory>

#include "sim/FurnaceFirmware.h"
#include "sim/Memory.h"

namespace calorix::sim {
namespace {

constexpr std::uint8_t kRun = 0x01, kProg = 0x02, kStup = 0x04, kParam = 0x08, kLess = 0x20,
                       kMore = 0x40, kEncoder = 0x80, kRelease = 0x00;

class FirmwareTest : public ::testing::Test {
 public:
  // 60 simulated seconds per emulator second: one advance of 1000 ms is a minute.
  void SetUp() override { build(60.0); }

  void build(double simSpeed) {
    mem = std::make_unique<ControllerMemory>();
    FurnaceFirmwareOptions o;
    o.simSpeed = simSpeed;
    fw = std::make_unique<FurnaceFirmware>(o);
    fw->attach(*mem);
    fw->advanceTo(0);
  }

  void minutes(int n) {
    for (int i = 0; i < n; ++i) fw->advanceTo(nowMs += 1000);
  }
  // Advances minute by minute until pred holds; false after maxMinutes.
  template <class Pred>
  bool until(Pred pred, int maxMinutes) {
    for (int i = 0; i < maxMinutes; ++i) {
      if (pred()) return true;
      minutes(1);
    }
    return pred();
  }

  void armFrames() {
    mem->ram[5] |= 0x04;
    fw->onRegisterChanged(5);
  }
  void disarmFrames() {
    mem->ram[5] &= ~0x04;
    fw->onRegisterChanged(5);
  }
  void keys(std::initializer_list<std::uint8_t> codes) {
    for (std::uint8_t c : codes) fw->onPanelKey(c);
  }

  double temp() const { return mem->ramDWord(0xC4) / 256.0; }
  int stage() const { return mem->ram[0x7D]; }
  bool heaterBit() const { return mem->ram[0x02] & 0x02; }
  int programDisplay() const { return mem->ram[0x60] * 10 + mem->ram[0x61]; }
  int stageDisplay() const { return mem->ram[0x62] * 10 + mem->ram[0x63]; }
  int paramDigits() const {
    return ((mem->ram[0x64] * 10 + (mem->ram[0x65] & 0x3F)) * 10 + mem->ram[0x66]) * 10 +
           mem->ram[0x67];
  }
  double signedFrom(std::uint16_t addr, double scale, int flagBit) const {
    const double v = mem->ramDWord(addr) / scale;
    return (mem->ram[0x03] >> flagBit) & 1 ? -v : v;
  }
  // Minutes the measured temperature takes from a to b.
  double minutesBetween(double a, double b, int maxMinutes) {
    int start = -1;
    for (int i = 0; i < maxMinutes; ++i, minutes(1)) {
      if (start < 0 && temp() >= a) start = i;
      if (start >= 0 && temp() >= b) return i - start;
    }
    return -1;
  }

  std::unique_ptr<ControllerMemory> mem;
  std::unique_ptr<FurnaceFirmware> fw;
  qint64 nowMs = 0;
};

TEST_F(FirmwareTest, TwoStageProgramHeatsAtItsSpeedStabilisesAndEnds) {
  armFrames();
  keys({kRun});
  ASSERT_TRUE(fw->pidFramesOn());
  EXPECT_EQ(stage(), 1);
  EXPECT_TRUE(heaterBit());
  EXPECT_EQ(mem->ramWord(0xDC), 300);
  EXPECT_EQ(mem->ramWord(0xAC), 10);
  EXPECT_EQ(mem->ramWord(0xAE), 10);

  // Stage 1: 10 °C/min, so 100 → 250 °C takes about 15 minutes.
  const double heat1 = minutesBetween(100, 250, 120);
  EXPECT_NEAR(heat1, 15.0, 15.0 * 0.25);

  ASSERT_TRUE(until([&] { return mem->ram[0x08] & 0x04; }, 60)) << "never stabilised";
  EXPECT_EQ(stage(), 1);
  EXPECT_NEAR(temp(), 300, 3);
  int stabilised = 0;
  while (stage() == 1 && stabilised < 60) {
    minutes(1);
    ++stabilised;
  }
  EXPECT_NEAR(stabilised, 10, 1);
  ASSERT_EQ(stage(), 2);
  EXPECT_EQ(mem->ramWord(0xDC), 500);

  // Stage 2: 5 °C/min, 330 → 480 °C in about 30 minutes.
  EXPECT_NEAR(minutesBetween(330, 480, 120), 30.0, 30.0 * 0.25);
  ASSERT_TRUE(until([&] { return fw->runState() == RunState::Ended; }, 60));

  // The end as the console detects it: stage kept, heater bit clear.
  EXPECT_EQ(stage(), 2);
  EXPECT_FALSE(heaterBit());
  EXPECT_EQ(mem->ram[0x77], 0);
  EXPECT_EQ(mem->ram[0x08], 0);
  minutes(30);
  EXPECT_EQ(stage(), 2) << "the end stays visible while the furnace cools";
  EXPECT_LT(temp(), 490);
  EXPECT_GT(mem->ram[0x6A], 0) << "cooling bar";
  EXPECT_TRUE(fw->pidFramesOn()) << "frames go on until the console stops them";

  keys({kRun});  // the console's stop sequence
  EXPECT_EQ(fw->runState(), RunState::Idle);
  EXPECT_FALSE(fw->pidFramesOn());
  EXPECT_EQ(stage(), 0);
  minutes(5);
  EXPECT_EQ(fw->runState(), RunState::Idle) << "a stop after the end never restarts heating";
}

TEST_F(FirmwareTest, AfterTheEndOnlyAFreshArmingStartsTheNextRun) {
  // Program 4 is empty: the run ends at once, showing stage 1.
  keys({kProg, kMore, kMore, kMore, kEncoder});
  ASSERT_EQ(fw->selectedProgram(), 4);
  armFrames();
  keys({kRun});
  minutes(1);
  ASSERT_EQ(fw->runState(), RunState::Ended);
  EXPECT_EQ(stage(), 1);
  EXPECT_FALSE(heaterBit());

  // The Пуск flow: the console clears R5 bit 2, later sets it and sends key 1.
  disarmFrames();
  EXPECT_FALSE(fw->pidFramesOn());
  armFrames();
  keys({kRun});
  EXPECT_TRUE(fw->pidFramesOn());
  minutes(1);
  EXPECT_EQ(fw->runState(), RunState::Ended) << "a new run of the empty program";
}

TEST_F(FirmwareTest, ClearingTheRunSwitchStopsFramesButNotTheRun) {
  armFrames();
  keys({kRun});
  minutes(3);
  disarmFrames();
  EXPECT_FALSE(fw->pidFramesOn());
  EXPECT_EQ(fw->runState(), RunState::Heating);
  keys({kRun});
  EXPECT_EQ(fw->runState(), RunState::Idle);
  EXPECT_FALSE(heaterBit());
}

TEST_F(FirmwareTest, RunWithoutTheSwitchSendsNoFrames) {
  keys({kRun});
  EXPECT_EQ(fw->runState(), RunState::Heating);
  EXPECT_FALSE(fw->pidFramesOn());
}

TEST_F(FirmwareTest, DelayedStartCountsDownBeforeTheFirstStage) {
  mem->setRamWord(0x88, 3);
  keys({kRun});
  EXPECT_EQ(fw->runState(), RunState::DelayedStart);
  minutes(1);
  EXPECT_EQ(stage(), 0);
  EXPECT_FALSE(heaterBit());
  EXPECT_EQ(mem->ramWord(0x88), 2);
  EXPECT_EQ(mem->ram[0x6C], 0x02) << "the display counts minutes";
  EXPECT_EQ(paramDigits(), 2);
  minutes(2);
  EXPECT_EQ(mem->ramWord(0x88), 0);
  EXPECT_EQ(stage(), 1);
  EXPECT_TRUE(heaterBit());
}

TEST_F(FirmwareTest, ProgramInRomRuns) {
  keys({kProg});
  for (int i = 0; i < 17; ++i) keys({kMore, kRelease});
  keys({kEncoder});
  ASSERT_EQ(fw->selectedProgram(), 18);
  keys({kRun});
  EXPECT_EQ(mem->ram[0x7C], 18);
  EXPECT_EQ(mem->ramWord(0xDC), 400);
  EXPECT_EQ(mem->ramWord(0xAE), 10);
}

TEST_F(FirmwareTest, TemperaturesDecodeConsistentlyThroughoutARun) {
  keys({kRun});
  for (int i = 0; i < 14; ++i) {
    minutes(6);
    const double minuteAgo = temp();
    minutes(1);
    const double c4 = temp();
    SCOPED_TRACE(c4);
    EXPECT_NEAR(c4, fw->measuredC(), 1.0 / 256);
    // Converter steps of ~0.33 °C and the room sensor's 1/16 °C.
    EXPECT_NEAR(c4, fw->furnace().chamberC(), 0.5);
    // Whole degrees at 0xC5..0xC6, as the telemetry reads them.
    EXPECT_EQ(mem->ramWord(0xC5), int(std::floor(c4)));
    // 0xC4 is 0xC0 plus the room sensor (sixteenths at 0x70).
    const double room = (mem->ram[0x71] & 0x7F) + mem->ram[0x70] / 16.0;
    EXPECT_LT(mem->ram[0x70], 16);
    EXPECT_NEAR(room, fw->furnace().roomC(), 1.0 / 32 + 1e-9);
    EXPECT_NEAR(mem->ramDWord(0xC0) / 256.0 + room, c4, 2.0 / 256);
    // Normalised voltage x 100 follows the thermocouple (~41 µV/°C).
    const double mv = mem->ramWord(0x7E) / 100.0;
    EXPECT_NEAR(mv, (c4 - room) * 0.041, 0.1 + (c4 - room) * 0.041 * 0.05);
    EXPECT_LE(mem->ramWord(0x72), 0x0FFF);
    // Heating speed, sign-magnitude °C/min, is the change over the last minute.
    const std::uint32_t speed = mem->ramDWord(0x174);
    const double decoded = (speed & 0x7FFFFFFF) / 256.0 * (speed & 0x80000000u ? -1 : 1);
    EXPECT_NEAR(decoded, c4 - minuteAgo, 0.5);
  }
}

TEST(FirmwareRoomSensor, FractionByteInEitherReadersUnits) {
  for (bool sixteenths : {true, false}) {
    SCOPED_TRACE(sixteenths);
    ControllerMemory m;
    FurnaceFirmwareOptions o;
    o.roomFractionInSixteenths = sixteenths;
    o.furnace.roomC = 21.8;
    FurnaceFirmware fw(o);
    fw.attach(m);
    const double fraction = sixteenths ? m.ram[0x70] / 16.0 : m.ram[0x70] / 256.0;
    EXPECT_NEAR(m.ram[0x71] + fraction, 21.8, 1.0 / 32);
    if (!sixteenths) {
      EXPECT_EQ(m.ram[0x70] % 16, 0) << "a 1/16 °C sensor";
    }
  }
}

TEST_F(FirmwareTest, SignFlagsFollowTheSignedQuantities) {
  keys({kRun});
  ASSERT_TRUE(until([&] { return mem->ram[0x08] & 0x04; }, 120));
  // The engineer lowers the stage's set temperature: now well above it.
  mem->setRamWord(0xDC, 250);
  minutes(3);
  ASSERT_GT(temp(), mem->ramDWord(0x16C) / 256.0 + 5);
  const double err = signedFrom(0xA4, 256, 7);
  const double pk = std::int32_t(mem->ramDWord(0x90)) / 65536.0;
  const double puv = signedFrom(0xB0, 65536, 0);
  const double iuv = signedFrom(0xB4, 65536, 1);
  const double duv = signedFrom(0xB8, 65536, 2);
  EXPECT_LT(err, 0);
  EXPECT_LT(puv, 0) << "PUV negative above the set point";
  EXPECT_NEAR(puv, pk * err, std::abs(pk) * 0.01 + 1e-3);
  EXPECT_NEAR(err, mem->ramDWord(0x16C) / 256.0 - temp(), 0.02);
  const double total = (mem->ram[0x02] & 0x04 ? -1.0 : 1.0) * mem->ramDWord(0xBC);
  EXPECT_NEAR(total, puv + iuv + duv, 0.51);
  EXPECT_LT(total, 0);
  EXPECT_EQ(bool(mem->ram[0x02] & 0x04), bool(mem->ram[0x02] & 0x40)) << "both displays' signs";
  EXPECT_EQ(mem->ram[0x77], 0) << "no heat above the set point";
  EXPECT_EQ(signedFrom(0xA8, 256, 6) < 0, iuv < 0) << "IUV carries the sum's sign";

  // Back below the set point every flag clears with its quantity.
  mem->setRamWord(0xDC, 400);
  ASSERT_TRUE(until([&] { return mem->ramDWord(0x16C) / 256.0 > temp() + 2; }, 20));
  minutes(1);
  EXPECT_GT(signedFrom(0xA4, 256, 7), 0);
  EXPECT_EQ(mem->ram[0x03] & 0x81, 0);
  EXPECT_GT(mem->ram[0x77], 0);
  EXPECT_LE(int(mem->ram[0x77]), 100);
}

// What a stopped run leaves in RAM is the regulator at rest, not the sums of
// the run: the telemetry stream may watch an idle furnace.
TEST_F(FirmwareTest, StoppedRunLeavesNoSumsBehind) {
  keys({kRun});
  ASSERT_TRUE(until([&] { return mem->ram[0x08] & 0x04; }, 120));
  minutes(3);
  ASSERT_NE(mem->ramDWord(0xA8), 0u) << "the integral works while stabilising";
  ASSERT_NE(mem->ramDWord(0x17C), 0u) << "the speed loop summed while heating";
  keys({kRun});
  minutes(1);
  EXPECT_EQ(fw->runState(), RunState::Idle);
  for (std::uint16_t a : {0xA4, 0xA8, 0xB0, 0xB4, 0xB8, 0xBC, 0x17C})
    EXPECT_EQ(mem->ramDWord(a), 0u) << a;
  EXPECT_EQ(mem->ram[0x03] & 0xC7, 0) << "no error, sum or action signs";
  EXPECT_FALSE(mem->ram[0x07] & 0x80);
}

TEST_F(FirmwareTest, PidCoefficientsFromCubicsOrFromTheConsole) {
  keys({kRun});
  minutes(20);
  const double t = temp();
  // Factory cubics: KP = 0.002 T + 4, KD = 10, KI = 0.01.
  EXPECT_NEAR(std::int32_t(mem->ramDWord(0x90)) / 65536.0, 0.002 * t + 4, 0.01);
  EXPECT_NEAR(std::int32_t(mem->ramDWord(0x98)) / 65536.0, 10.0, 1e-3);
  EXPECT_NEAR(std::int32_t(mem->ramDWord(0x94)) / 65536.0, 0.01, 1e-4);

  // A negative KD cubic term through the sign-flag word (bit 7: DD).
  mem->blockMem[0x50] = 0x80;
  minutes(1);
  EXPECT_NEAR(std::int32_t(mem->ramDWord(0x98)) / 65536.0, -10.0, 1e-3);
  EXPECT_EQ(mem->ram[0x03] & 0x38, 0x20);

  // The console's own coefficients (bit 0 of R14) are kept as written.
  mem->ram[0x0E] |= 0x01;
  mem->setRamDWord(0x90, 0xFFFF8000u);  // -0.5
  mem->setRamDWord(0x94, 0x00000000u);
  mem->setRamDWord(0x98, 0x00018000u);  // 1.5
  minutes(2);
  EXPECT_EQ(mem->ramDWord(0x90), 0xFFFF8000u);
  EXPECT_EQ(mem->ramDWord(0x98), 0x00018000u);
  EXPECT_EQ(mem->ram[0x03] & 0x38, 0x08) << "only PK negative";
}

TEST_F(FirmwareTest, ProportionalActionEasedNearTheTargetUnlessTheConsoleForbidsIt) {
  keys({kRun});
  const auto below = [&] { return mem->ramWord(0xDC) - temp(); };
  // Second by second (17 ms at 60x) into the last degrees below the stage's temperature.
  bool near = false;
  for (int s = 0; s < 4 * 3600 && !near; ++s) {
    fw->advanceTo(nowMs += 17);
    near = fw->runState() == RunState::Heating && below() > 1 && below() < 9;
  }
  ASSERT_TRUE(near);
  const auto puvAgainstPkErr = [&](double share) {
    const double pk = std::int32_t(mem->ramDWord(0x90)) / 65536.0;
    const double err = signedFrom(0xA4, 256, 7);
    ASSERT_GT(err, 0);
    EXPECT_NEAR(signedFrom(0xB0, 65536, 0), share * pk * err, pk / 256 + 1e-3);
  };
  puvAgainstPkErr(0.5);
  mem->ram[0x0E] |= 0x02;  // "Запрет уменьшения пропор возд"
  fw->advanceTo(nowMs += 17);
  puvAgainstPkErr(1.0);
}

TEST_F(FirmwareTest, CalibrationWordsDriveTheMeasurement) {
  keys({kRun});
  minutes(40);
  const double before = temp();
  const double room = (mem->ram[0x71] & 0x7F) + mem->ram[0x70] / 16.0;
  // Double the gain K in the block memory (the word holds 100 / K in 16.16):
  // the firmware takes it to 0x9C and the thermocouple part of the reading halves.
  const std::int32_t word = std::int32_t(mem->blockMem[0x08] | (mem->blockMem[0x09] << 8) |
                                         (mem->blockMem[0x0A] << 16) | (mem->blockMem[0x0B] << 24));
  const std::int32_t halved = word / 2;
  for (int i = 0; i < 4; ++i) mem->blockMem[0x08 + i] = std::uint8_t(halved >> (8 * i));
  fw->runSimulatedSeconds(1);
  EXPECT_NEAR(std::int32_t(mem->ramDWord(0x9C)) / 65536.0, 90.0, 0.01);
  EXPECT_NEAR(temp() - room, (before - room) / 2, 2.0);

  // Correction Tкорр = A*T + B at 0x80 / 0x84 (B sign-magnitude): A = 1, B = -5.
  for (int i = 0; i < 4; ++i) mem->blockMem[0x08 + i] = std::uint8_t(word >> (8 * i));
  mem->setRamDWord(0x9C, 45u << 16);
  fw->runSimulatedSeconds(1);
  const double plain = mem->ramDWord(0xC0) / 256.0;
  mem->setRamDWord(0x84, 0x80000000u | (5u << 16));
  fw->runSimulatedSeconds(1);
  EXPECT_NEAR(mem->ramDWord(0xC0) / 256.0, plain - 5, 0.5);
}

// ---- the front panel ------------------------------------------------------

TEST_F(FirmwareTest, ProgramKeyArrowAndEncoderChangeTheProgramDisplay) {
  EXPECT_EQ(programDisplay(), 1);
  EXPECT_EQ(mem->ram[0x0B], 0);
  keys({kProg});
  EXPECT_EQ(mem->ram[0x0B] & 0x03, 0x03) << "program display blinks while edited";
  EXPECT_EQ(mem->ram[0x0B] & 0xFC, 0);
  keys({kMore, kRelease});
  EXPECT_EQ(programDisplay(), 2);
  keys({kEncoder});
  EXPECT_EQ(mem->ram[0x0B], 0);
  EXPECT_EQ(programDisplay(), 2);
  EXPECT_EQ(mem->ram[0x7C], 2);
  EXPECT_EQ(fw->selectedProgram(), 2);
}

TEST_F(FirmwareTest, ArrowsClampProgramAndStageNumbers) {
  struct Case {
    std::uint8_t selectKey;
    int lo, hi;
    int (FirmwareTest::*display)() const;
  };
  for (const Case& c : {Case{kProg, 1, 25, &FirmwareTest::programDisplay},
                        Case{kStup, 1, 15, &FirmwareTest::stageDisplay}}) {
    SCOPED_TRACE(int(c.selectKey));
    keys({c.selectKey});
    for (int i = 0; i < 30; ++i) {
      keys({kMore, kRelease});
      ASSERT_GE((this->*c.display)(), c.lo);
      ASSERT_LE((this->*c.display)(), c.hi);
    }
    EXPECT_EQ((this->*c.display)(), c.hi) << "'>' at the top stays there";
    for (int i = 0; i < 30; ++i) {
      keys({kLess, kRelease});
      ASSERT_GE((this->*c.display)(), c.lo);
    }
    EXPECT_EQ((this->*c.display)(), c.lo);
    keys({kEncoder});
  }
}

TEST_F(FirmwareTest, ProgramEditorKeySequenceLeavesTheProgramAsItWas) {
  // The editor sends Прог., then ">" and "<" ("<" first at 25), then Прог.
  for (int program : {1, 12, 25}) {
    SCOPED_TRACE(program);
    keys({kProg});
    for (int i = 0; i < 30; ++i) keys({kLess});
    for (int i = 1; i < program; ++i) keys({kMore});
    keys({kEncoder});
    ASSERT_EQ(programDisplay(), program);
    if (program == 25)
      keys({kProg, kLess, kRelease, kMore, kRelease, kProg});
    else
      keys({kProg, kMore, kRelease, kLess, kRelease, kProg});
    EXPECT_EQ(programDisplay(), program);
    EXPECT_EQ(mem->ram[0x0B], 0) << "the second Прог. ends the edit";
  }
}

TEST_F(FirmwareTest, ParamKeyStepsThroughTheStageValuesAndEditsThem) {
  EXPECT_EQ(mem->ram[0x6C], 0x01);
  keys({kParam});
  EXPECT_EQ(paramDigits(), 300);
  EXPECT_EQ(mem->ram[0x6C], 0x01);
  EXPECT_EQ(mem->ram[0x0B], 0xF0);
  keys({kParam});
  EXPECT_EQ(paramDigits(), 10);
  EXPECT_EQ(mem->ram[0x6C], 0x02);
  keys({kParam});
  EXPECT_EQ(paramDigits(), 10);
  EXPECT_EQ(mem->ram[0x6C], 0x04);
  keys({kParam});
  EXPECT_EQ(mem->ram[0x0B], 0) << "back to the current temperature";

  // Stage 1 of program 1, temperature 300 → 302, written to program memory
  // with the stage-0 bits of its record kept.
  mem->progMem[1] |= 0xC0;
  keys({kParam, kMore, kRelease, kMore, kRelease});
  EXPECT_EQ(paramDigits(), 302);
  EXPECT_EQ(mem->progMem[2] | ((mem->progMem[3] & 0x0F) << 8), 300) << "not before the encoder";
  keys({kEncoder});
  EXPECT_EQ(mem->progMem[2] | ((mem->progMem[3] & 0x0F) << 8), 302);
  EXPECT_EQ(mem->progMem[1] & 0xC0, 0xC0);
  EXPECT_EQ(mem->ram[0x0B], 0);

  // "<=" cancels an edit in progress.
  keys({kParam, kLess, kRelease});
  fw->onPlainKey(0x08);
  EXPECT_EQ(mem->progMem[2] | ((mem->progMem[3] & 0x0F) << 8), 302);
  EXPECT_EQ(mem->ram[0x0B], 0);
}

TEST_F(FirmwareTest, IdleParameterDisplayShowsTheCurrentTemperatureWithTwoDecimals) {
  ASSERT_LT(temp(), 100);
  EXPECT_TRUE(mem->ram[0x65] & 0x40) << "comma after the second digit";
  EXPECT_NEAR(paramDigits() / 100.0, temp(), 0.006);
  // Hot: whole degrees, no comma.
  keys({kRun});
  ASSERT_TRUE(until([&] { return temp() > 150; }, 60));
  EXPECT_FALSE(mem->ram[0x65] & 0x40);
  EXPECT_NEAR(paramDigits(), temp(), 0.5);
}

TEST_F(FirmwareTest, PlainKeysEditAndCycleTheParameterDisplay) {
  fw->onPlainKey(0x04);  // "Ступень"
  EXPECT_EQ(mem->ram[0x0B], 0x0C);
  fw->onPlainKey(0x01);
  fw->onPlainKey(0x01);
  fw->onPlainKey(0x02);
  EXPECT_EQ(stageDisplay(), 2);
  keys({kEncoder});
  EXPECT_EQ(stageDisplay(), 2);
  // t/T/N: set temperature, heater power, back to the current temperature.
  fw->onPlainKey(0x10);
  EXPECT_EQ(mem->ram[0x6C], 0x01);
  fw->onPlainKey(0x10);
  EXPECT_EQ(mem->ram[0x6C], 0x00);
  EXPECT_EQ(paramDigits(), 0);
  fw->onPlainKey(0x10);
  EXPECT_NEAR(paramDigits() / 100.0, temp(), 0.006);
}

TEST_F(FirmwareTest, BarGraphsFollowTheRun) {
  keys({kRun});
  minutes(10);
  const int early = mem->ram[0x68];
  minutes(10);
  EXPECT_GT(mem->ram[0x68], early);
  EXPECT_LE(mem->ram[0x68], 10);
  EXPECT_EQ(mem->ram[0x69], 0);
  ASSERT_TRUE(until([&] { return mem->ram[0x08] & 0x04; }, 60));
  minutes(6);
  EXPECT_EQ(mem->ram[0x68], 0);
  EXPECT_GE(mem->ram[0x69], 5);
  EXPECT_LE(mem->ram[0x69], 7);
}

TEST_F(FirmwareTest, FactoryDefaultsFillOnlyBlankMemory) {
  ControllerMemory m;
  m.progMem[0] = 0x55;  // a program memory that is in use is left alone
  loadFactoryDefaults(m);
  EXPECT_EQ(m.progMem[0], 0x55);
  EXPECT_EQ(m.progMem[2], 0);
  EXPECT_EQ(m.rom[0x7C02] | ((m.rom[0x7C03] & 0x0F) << 8), 400) << "program 18 in ROM";
  EXPECT_EQ(m.blockMem[0x02], 0x01) << "amplifier A = 1.0";
  EXPECT_EQ(m.blockMem[0x70] | (m.blockMem[0x71] << 8), 75) << "first table record";
  EXPECT_EQ(m.ram[0x7B], 100);
}

}  // namespace
}  // namespace calorix::sim
