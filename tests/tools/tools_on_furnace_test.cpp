// The additional-parameters window and the RAM inspector on the simulated
// furnace: a run of a program with known stages, read and changed through the
// windows' own buttons and fields, and the panel the firmware shows as the
// inspector reads it.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QStringList>
#include <QTest>

#include <cmath>
#include <cstdint>

#include "sim/FurnaceFirmware.h"
#include "tests/support/WindowFixture.h"
#include "tools/TFormDopParam.h"
#include "tools/TFormDopRAM.h"

namespace calorix {
namespace {

// Panel key codes.
constexpr std::uint8_t kRunKey = 0x01, kProgKey = 0x02, kParamKey = 0x08, kMoreKey = 0x40,
                       kEncoderKey = 0x80, kReleaseKey = 0x00;

struct Stage {
  int temperature, stabMinutes, speed;
};

// A stage record as the controller keeps it: stabilisation time in bits 0..13
// of bytes 0..1, temperature in bits 0..11 of bytes 2..3, speed in the high
// nibble of byte 3.
void putStage(std::uint8_t* record, const Stage& s) {
  record[0] = std::uint8_t(s.stabMinutes);
  record[1] = std::uint8_t((s.stabMinutes >> 8) & 0x3F);
  record[2] = std::uint8_t(s.temperature);
  record[3] = std::uint8_t(((s.temperature >> 8) & 0x0F) | (s.speed << 4));
}

// Program 1, the one the controller selects at power-up.
constexpr Stage kStage1{400, 5, 10};
constexpr Stage kStage2{450, 3, 5};

testing::LinkHarnessOptions onFurnace() {
  testing::LinkHarnessOptions o;
  o.firmware = sim::makeFurnaceFirmware(1.0);
  return o;
}

struct FurnaceFixture : testing::WindowFixture {
  FurnaceFixture() : testing::WindowFixture(onFurnace()) {
    auto& prog = harness.ctrl().memory().progMem;
    std::fill(prog.begin(), prog.begin() + 60, 0);  // stage 3 on: 0 °C ends the program
    putStage(&prog[0], kStage1);
    putStage(&prog[4], kStage2);
  }

  TFormDopParam param{ctx};
  TFormDopRAM inspector{ctx};

  sim::FurnaceFirmware& firmware() {
    return static_cast<sim::FurnaceFirmware&>(harness.ctrl().firmware());
  }
  auto& mem() { return harness.ctrl().memory(); }
  void key(std::uint8_t code) { harness.link().SendPanelKey(code); }
  void minutes(double n) { firmware().runSimulatedSeconds(60 * n); }
  // Minute by minute until pred holds; false after maxMinutes.
  template <class Pred>
  bool until(Pred pred, int maxMinutes) {
    for (int i = 0; i < maxMinutes && !pred(); ++i) minutes(1);
    return pred();
  }
  int runningStage() { return mem().ram[0x7D]; }

  QLineEdit* paramField(const char* name) { return param.findChild<QLineEdit*>(name); }
  void pressParam(const char* button) {
    QTest::mousePress(param.findChild<QPushButton*>(button), Qt::LeftButton);
  }
  void typeParam(const char* name, const QString& text) {
    paramField(name)->clear();
    QTest::keyClicks(paramField(name), text);
  }
  QStringList stageFields() {
    return {paramField("EditZadTempEtap")->text(), paramField("EditZadTimeStabEtap")->text(),
            paramField("EditZadSpeedEtap")->text()};
  }

  // The inspector's three indication fields after its read button.
  QStringList indication() {
    QTest::mousePress(inspector.findChild<QPushButton*>("Button6"), Qt::LeftButton);
    return {inspector.findChild<QLineEdit*>("EditDigit01")->text(),
            inspector.findChild<QLineEdit*>("EditDigit23")->text(),
            inspector.findChild<QLineEdit*>("EditDigit4567")->text()};
  }
};

QStringList expectedStage(const Stage& s) {
  return {QString::number(s.temperature), QString::number(s.stabMinutes), QString::number(s.speed)};
}

// The parameter display from its four digit bytes in hexadecimal: digits
// 1..4, bit 6 of digit 2 the decimal point after it.
double parameterValue(const QString& hexBytes) {
  const QStringList parts = hexBytes.split(' ');
  EXPECT_EQ(parts.size(), 4) << hexBytes.toStdString();
  if (parts.size() != 4) return -1;
  int digits[4];
  for (int i = 0; i < 4; ++i) digits[i] = parts[i].toInt(nullptr, 16);
  const bool point = digits[1] & 0x40;
  digits[1] &= ~0x40;
  const int value = ((digits[0] * 10 + digits[1]) * 10 + digits[2]) * 10 + digits[3];
  return point ? value / 100.0 : value;
}

TEST(ToolsOnFurnace, AdditionalParametersReadTheRunningStageAsTheProgramSays) {
  FurnaceFixture f;
  f.key(kRunKey);
  ASSERT_EQ(f.runningStage(), 1);
  f.pressParam("Button6");
  EXPECT_EQ(f.stageFields(), expectedStage(kStage1));

  ASSERT_TRUE(f.until([&] { return f.runningStage() == 2; }, 180)) << "stage 1 never ended";
  f.pressParam("Button6");
  EXPECT_EQ(f.stageFields(), expectedStage(kStage2));
  EXPECT_TRUE(f.messages.shown.isEmpty());
}

TEST(ToolsOnFurnace, ASetTemperatureWrittenThroughTheWindowIsWhatTheFurnaceRegulatesTo) {
  FurnaceFixture f;
  f.key(kRunKey);
  f.minutes(5);
  ASSERT_LT(f.firmware().measuredC(), 150) << "still heating towards 400";
  f.pressParam("Button6");
  f.typeParam("EditZadTempEtap", "250");
  f.typeParam("EditZadTimeStabEtap", "60");  // hold the stage while we watch
  f.pressParam("Button7");
  ASSERT_TRUE(f.messages.shown.isEmpty());

  double hottest = 0;
  ASSERT_TRUE(f.until(
      [&] {
        hottest = std::max(hottest, f.firmware().measuredC());
        return (f.mem().ram[0x08] & 0x04) != 0;  // stabilising
      },
      120))
      << "never reached the new set temperature";
  f.minutes(20);
  EXPECT_EQ(f.runningStage(), 1) << "the written stabilisation time holds the stage";
  EXPECT_NEAR(f.firmware().measuredC(), 250, 3);
  EXPECT_LT(hottest, 260) << "not on its way to the program's 400";
  EXPECT_NEAR(f.mem().ramDWord(0x16C) / 256.0, 250, 0.01) << "the regulator's set point";

  // The furnace reports back what was written.
  f.paramField("EditZadTempEtap")->setText("");
  f.pressParam("Button1");
  EXPECT_EQ(f.paramField("EditZadTempEtap")->text(), "250");
}

TEST(ToolsOnFurnace, AHeatingSpeedWrittenThroughTheWindowSetsTheRamp) {
  FurnaceFixture f;
  f.key(kRunKey);
  f.minutes(2);
  f.pressParam("Button6");
  f.typeParam("EditZadSpeedEtap", "3");
  f.pressParam("Button7");
  f.minutes(5);  // the furnace catches up with the slower ramp
  const double from = f.mem().ramDWord(0x16C) / 256.0;
  const double tempFrom = f.firmware().measuredC();
  f.minutes(10);
  EXPECT_NEAR(f.mem().ramDWord(0x16C) / 256.0 - from, 30, 1.5) << "3 °C/min for 10 min";
  EXPECT_NEAR(f.firmware().measuredC() - tempFrom, 30, 5) << "the furnace follows the ramp";
  EXPECT_NEAR(f.firmware().measuredC(), f.mem().ramDWord(0x16C) / 256.0, 5);
}

TEST(ToolsOnFurnace, InspectorIndicationIsThePanelTheFirmwareShows) {
  FurnaceFixture f;
  // Select program 12 on the panel: Прог., eleven times ">", the encoder.
  f.key(kProgKey);
  for (int i = 0; i < 11; ++i) {
    f.key(kMoreKey);
    f.key(kReleaseKey);
  }
  f.key(kEncoderKey);
  ASSERT_EQ(f.firmware().selectedProgram(), 12);
  QStringList shown = f.indication();
  EXPECT_EQ(shown[0], "01 02") << "program display 1, 2";
  EXPECT_EQ(shown[1], "00 01") << "stage display 0, 1";
  // Idle and cold: the current temperature with two decimals.
  EXPECT_NEAR(parameterValue(shown[2]), f.firmware().measuredC(), 0.01) << shown[2].toStdString();
  EXPECT_TRUE(shown[2].split(' ')[1].toInt(nullptr, 16) & 0x40) << "decimal point";
}

TEST(ToolsOnFurnace, InspectorFollowsARunAndShowsTheSetPointsTheWindowWrote) {
  FurnaceFixture f;
  f.key(kRunKey);
  ASSERT_TRUE(f.until([&] { return f.firmware().measuredC() > 150; }, 60));
  QStringList shown = f.indication();
  EXPECT_EQ(shown[0], "00 01");
  EXPECT_EQ(shown[1], "00 01");
  // Hot: whole degrees without the point.
  EXPECT_NEAR(parameterValue(shown[2]), f.firmware().measuredC(), 1.0) << shown[2].toStdString();

  // The stage's set temperature and time, as written through the window,
  // are what the parameter key then shows on the panel.
  f.pressParam("Button6");
  f.typeParam("EditZadTempEtap", "350");
  f.typeParam("EditZadTimeStabEtap", "25");
  f.pressParam("Button7");
  // While running, Парам. steps through the ramped set point and the heater
  // power before the stage's temperature, time and speed.
  f.key(kParamKey);
  EXPECT_NEAR(parameterValue(f.indication()[2]), f.mem().ramDWord(0x16C) / 256.0, 1.0);
  f.key(kParamKey);
  EXPECT_EQ(parameterValue(f.indication()[2]), f.mem().ram[0x77]) << "heater power, %";
  f.key(kParamKey);
  EXPECT_EQ(f.indication()[2], "00 03 05 00");
  f.key(kParamKey);
  EXPECT_EQ(f.indication()[2], "00 00 02 05");
  f.key(kParamKey);
  EXPECT_EQ(f.indication()[2], "00 00 01 00") << "the speed the program gave";

  // Run on to the next stage: the panel counts it.
  ASSERT_TRUE(f.until([&] { return f.runningStage() == 2; }, 240));
  EXPECT_EQ(f.indication()[1], "00 02");
}

}  // namespace
}  // namespace calorix
