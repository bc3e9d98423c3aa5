// The PID work window's decoding without a window: the frame display from the
// RAM mirror, the run log lines, the button reads and the amplifier write.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <initializer_list>
#include <ostream>
#include <vector>

#include "core/ControllerMap.h"
#include "core/NumberText.h"
#include "link/Link.h"
#include "pid/PidFrameDecode.h"
#include "tests/support/UnitRig.h"

namespace calorix::pid {

// Rows print as name "text" when an expectation fails.
inline void PrintTo(const FieldText& row, std::ostream* os) {
  *os << row.name.toStdString() << " \"" << row.text.toStdString() << '"';
}

namespace {

namespace ram = ctl::ram;

struct SeparatorScope {
  explicit SeparatorScope(QChar c) : previous(decimalSeparator()) { setDecimalSeparator(c); }
  ~SeparatorScope() { setDecimalSeparator(previous); }
  QChar previous;
};

struct Mirror {
  std::array<std::uint8_t, 512> bytes{};
  Mirror& put(int addr, std::initializer_list<std::uint8_t> values) {
    for (std::uint8_t v : values) bytes[std::size_t(addr++)] = v;
    return *this;
  }
  Mirror& put32(int addr, std::uint32_t v) {
    return put(addr, {std::uint8_t(v), std::uint8_t(v >> 8), std::uint8_t(v >> 16),
                      std::uint8_t(v >> 24)});
  }
  RamImage image() const { return RamImage(bytes); }
};

QString textOf(const FieldTexts& rows, const char* name) {
  for (const FieldText& row : rows)
    if (row.name == QLatin1String(name)) return row.text;
  ADD_FAILURE() << "no row " << name;
  return {};
}

TEST(PidFrameDisplay, EveryRowInDisplayOrderFromOneFrame) {
  SeparatorScope comma(u',');
  Mirror m;
  m.put(ram::kPhase, {0x05})
      .put(ram::kRoomFraction, {0x80, 0x80 | 25})  // bit 7 of the degrees is no degree
      .put(ram::kRawVoltage, {0x34, 0xF2})         // all 16 bits here
      .put(ram::kNormVoltage, {0x39, 0x30})        // 12345
      .put32(ram::kTheoreticalTemp, 400 * 256 + 64)
      .put32(ram::kCorrA, 0x00018000)
      .put32(ram::kCorrB, 0x80004000)
      .put32(ram::kTempCorrected, 400 * 256)
      .put32(ram::kTemperature, 400 * 256 + 128)
      .put32(ram::kError, 0x0280)
      .put32(ram::kErrorSum, 0x0100)
      .put(ram::kSigns, {0x45})  // PUV, DUV, sum of errors negative
      .put32(ram::kPUV, 0x00024000)
      .put32(ram::kIUV, 0x00008000)
      .put32(ram::kDUV, 0x00010000)
      .put32(ram::kTotalAction, 250)
      .put(ram::kFlags, {0x04})
      .put(ram::kPowerLimit, {80})
      .put(ram::kHeaterPower, {37})
      .put32(ram::kHeatingSpeed, 0x80000180)
      .put(ram::kSetSpeed, {5, 0})
      .put(ram::kSpeedProportional, {0x40, 0x01})
      .put(ram::kR14, {0x91})
      .put(ram::kIntegralState, {0x80})
      .put(ram::kR15, {200})
      .put(ram::kSpeedPower, {0x80, 0x03})
      .put32(ram::kSpeedErrorSum, 0x00030000);
  PrevErr prev{3.5, true};
  const FieldTexts expected = {
      {"EditN", QString::fromUtf8("НАГРЕВ")},
      {"EditD", ""},
      {"EditS", QString::fromUtf8("СТАБИЛИЗАЦИЯ")},
      {"EditDKT", "25,5"},
      {"EditVUT", "62004"},
      {"EditVUT100", "123,45"},
      {"EditTempTermT", "400,25"},
      {"EditKA", "1,5"},
      {"EditKB", "-0,25"},
      {"EditTAB", "400"},
      {"EditTNoOp", "400,5"},
      {"EditErrPred", "-3,5"},
      {"EditErrTTec", "2,5"},
      {"EditErrSumm", "-1"},
      {"EditPUV", "-2,25"},
      {"EditIUV", "0,5"},
      {"EditDUV", "-1"},
      {"EditAllUV", "-250"},
      {"EditOPN", "80"},
      {"EditRPN", "100"},
      {"EditPN", "37"},
      {"Edit3", "400,5"},
      {"Edit4", "-1,5"},
      {"Edit5", "5"},
      {"Edit8", "1,25"},
      {"Edit11", "-"},
      {"Edit12", "145"},
      {"Edit13", QString::fromUtf8("Да")},
      {"Edit14", "200"},
      {"Edit7", "3,5"},
      {"Edit9", "3"},
      {"Edit10", "-"},
  };
  EXPECT_EQ(decodePidValues(m.image(), prev), expected);
  EXPECT_EQ(prev.value, 2.5);
  EXPECT_FALSE(prev.negative);
}

TEST(PidFrameDisplay, ComputedPowerIsTheTotalActionLimitedToOneHundred) {
  const struct {
    std::uint32_t total;
    const char* all;
    const char* power;
  } cases[] = {{37, "37", "37"},
               {100, "100", "100"},
               {101, "101", "100"},
               {250, "250", "100"},
               {0xFFFFFFFF, "4294967295", "100"}};  // read unsigned
  for (const auto& c : cases) {
    Mirror m;
    m.put32(ram::kTotalAction, c.total);
    PrevErr prev;
    const FieldTexts rows = decodePidValues(m.image(), prev);
    EXPECT_EQ(textOf(rows, "EditAllUV"), QLatin1String(c.all)) << c.total;
    EXPECT_EQ(textOf(rows, "EditRPN"), QLatin1String(c.power)) << c.total;
  }
}

TEST(PidFrameDisplay, TotalActionSignIsBitTwoNotTheStreamsBitSix) {
  Mirror m;
  m.put32(ram::kTotalAction, 40).put(ram::kFlags, {ctl::flags::kTotalNegativeStream});
  PrevErr prev;
  EXPECT_EQ(textOf(decodePidValues(m.image(), prev), "EditAllUV"), "40");
  m.put(ram::kFlags, {ctl::flags::kTotalNegativePid});
  EXPECT_EQ(textOf(decodePidValues(m.image(), prev), "EditAllUV"), "-40");
}

TEST(PidFrameDisplay, PreviousErrorIsShownBeforeThisFramesErrorReplacesIt) {
  SeparatorScope comma(u',');
  PrevErr prev;  // program start
  Mirror first;
  first.put32(ram::kError, 0x0180).put(ram::kSigns, {ctl::sign::kError});
  FieldTexts rows = decodePidValues(first.image(), prev);
  EXPECT_EQ(textOf(rows, "EditErrPred"), "0");
  EXPECT_EQ(textOf(rows, "EditErrTTec"), "-1,5");

  Mirror second;
  second.put32(ram::kError, 0x0040);
  rows = decodePidValues(second.image(), prev);
  EXPECT_EQ(textOf(rows, "EditErrPred"), "-1,5");
  EXPECT_EQ(textOf(rows, "EditErrTTec"), "0,25");

  // A new run clears only the sign: its first line shows the last error unsigned.
  decodePidValues(first.image(), prev);
  prev.negative = false;
  EXPECT_EQ(textOf(decodePidValues(second.image(), prev), "EditErrPred"), "1,5");
}

TEST(PidFrameDisplay, ShortImageReadsZerosPastItsEnd) {
  std::vector<std::uint8_t> bytes(ram::kSpeedErrorSum + 2, 0xFF);
  PrevErr prev;
  // 0x17C..0x17D are 0xFF, 0x17E..0x17F lie beyond: 0x0000FFFF / 65536.
  EXPECT_EQ(textOf(decodePidValues(RamImage(bytes), prev), "Edit9"),
            generalText(65535.0 / 65536.0));
}

TEST(PidFrameDisplay, SpeedFieldsShowWhatEarlierReadsLeftBeyondAShortFrame) {
  SeparatorScope comma(u',');
  // The link's units; with a frame of 310 bytes mirror 0x173..0x17F lie beyond it.
  testing::UnitRig r(false);
  // Frame bytes 311.. (mirror 0x174..) as an earlier, longer read left them.
  const int speedAt = ram::kHeatingSpeed - ctl::pidFrame::kRamAddress + ctl::pidFrame::kRamFrom;
  const std::uint8_t stale[] = {0x80, 0x01, 0x00, 0x80, 0x40, 0x01, 0, 0, 0, 0, 0x02, 0};
  std::vector<std::uint8_t> earlier(speedAt + std::size(stale), 0);
  std::copy(std::begin(stale), std::end(stale), earlier.begin() + speedAt);
  r.peer.sendAt(r.clock.nowMs(), earlier);
  r.framed.TracedRead(std::uint32_t(earlier.size()), QString());
  r.peer.sendAt(r.clock.nowMs(), std::vector<std::uint8_t>(310, 0x11));
  r.framed.RdPidFrame(310);
  PrevErr prev;
  const FieldTexts rows = decodePidValues(RamImage(r.framed.RamMirror()), prev);
  EXPECT_EQ(textOf(rows, "Edit4"), "-1,5");
  EXPECT_EQ(textOf(rows, "Edit8"), "1,25");
  EXPECT_EQ(textOf(rows, "Edit9"), "2");
  EXPECT_EQ(textOf(rows, "EditTNoOp"), generalText(0x11111111 / 256.0));  // from this frame
}

TEST(PidCoefficients, SignedCoefficientsAndUnsignedSetTemperature) {
  SeparatorScope comma(u',');
  Mirror m;
  m.put32(ram::kPK, 0xFFFF8000)
      .put32(ram::kIK, 0x00018000)
      .put32(ram::kDK, 0)
      .put(ram::kSetTemperature, {0xFF, 0xFF});
  const FieldTexts expected = {
      {"EditTecPK", "-0,5"}, {"EditTecIK", "1,5"}, {"EditTecDK", "0"}, {"EditTK", "65535"}};
  EXPECT_EQ(decodePidCoefs(m.image()), expected);
}

TEST(PidWindowReads, StageAndAmplifierReadsFillTheirFields) {
  SeparatorScope comma(u',');
  Mirror m;  // as the controller's RAM
  m.put(ram::kProgramNumber, {7, 3})
      .put(ram::kSetTemperature, {0x20, 0x03})
      .put(ram::kStabTime, {0x10, 0x0E, 0xFF, 0xFF})
      .put(ram::kDelayedStart, {0x2C, 0x01})
      .put32(ram::kAmplifierGain, 0xFFFD8000);
  FieldTexts rows;
  for (const FieldRead& read : kStageReads)
    for (const FieldText& row : read.texts(&m.bytes[read.addr])) rows.push_back(row);
  const FieldTexts expected = {{"EditZNumP", "7"},     {"EditZNumE", "3"},   {"EditZTE", "800"},
                               {"EditZTimeE", "3600"}, {"EditZSE", "65535"}, {"EditZOtSt", "300"}};
  EXPECT_EQ(rows, expected);
  EXPECT_EQ(kAmplifierRead.texts(&m.bytes[kAmplifierRead.addr]),
            (FieldTexts{{"EditTecKUs", "-2,5"}}));
}

TEST(AmplifierWrite, RegionalTextToSixteenSixteenBytesOrAMessage) {
  SeparatorScope comma(u',');
  using Bytes = std::array<std::uint8_t, 4>;
  const struct {
    const char* text;
    std::optional<Bytes> bytes;
    const char* message;
  } cases[] = {
      {"2,5", Bytes{0x00, 0x80, 0x02, 0x00}, ""},
      {"-0,5", Bytes{0x00, 0x80, 0xFF, 0xFF}, ""},
      {"0,00000762939453125", Bytes{0, 0, 0, 0}, ""},    // x 65536 = 0.5: to the even 0
      {"0,0000228881835937500", Bytes{2, 0, 0, 0}, ""},  // 1.5 -> 2
      {"-32768", Bytes{0x00, 0x00, 0x00, 0x80}, ""},
      {"2.5", std::nullopt, "'2.5' is not a valid floating point value"},
      {"", std::nullopt, "'' is not a valid floating point value"},
      {"32768", std::nullopt, "Ошибка! Значение '32768' вне допустимого диапазона"},
  };
  for (const auto& c : cases) {
    const AmplifierWrite write = encodeAmplifierText(QString::fromUtf8(c.text));
    EXPECT_EQ(write.bytes, c.bytes) << c.text;
    EXPECT_EQ(write.message, QString::fromUtf8(c.message)) << c.text;
  }
}

// ---- the run log ------------------------------------------------------------

FieldTexts windowTexts() {
  return {{"EditTecPK", "1,5"},
          {"EditTecDK", "0,25"},
          {"EditTecIK", "-2"},
          {"EditTK", "500"},
          {"EditZSE", "EditZSE"}};
}

TEST(RunLog, FirstHeaderHasNoSeparatorBeforeTheSpeed) {
  EXPECT_EQ(runLogHeader1(lookupIn(windowTexts())),
            QString::fromUtf8("Данные работы PIDа   PK = 1,5   DK = 0,25   IK = -2   ZadTemp = "
                              "500ZadSpeed = EditZSE"));
}

TEST(RunLog, DataLineJoinsTheFieldTextsWithSignsBeforeTheSpeedValues) {
  SeparatorScope comma(u',');
  Mirror m;
  m.put32(ram::kTemperature, 300 * 256)
      .put(ram::kSpeedProportional, {0x40, 0x01})
      .put(ram::kR14, {0x80})
      .put32(ram::kSpeedErrorSum, 0x00020000)
      .put(ram::kRawVoltage, {0x34, 0x02});
  PrevErr prev;
  FieldTexts rows = decodePidValues(m.image(), prev);
  rows.push_back({"EditNumIzm", "1"});
  TempHistory history;
  const QStringList fields =
      pidDataLine(lookupIn(rows), QStringLiteral("10:15:30 "), history).split("  ;  ");
  ASSERT_EQ(fields.size(), 23);
  EXPECT_EQ(fields[0], "1");
  EXPECT_EQ(fields[1], "10:15:30 ");
  EXPECT_EQ(fields[2], "300");
  EXPECT_EQ(fields[3], "  0  ");
  EXPECT_EQ(fields[14], "564");
  EXPECT_EQ(fields[20], "-1,25");
  EXPECT_EQ(fields[21], "+2");
}

TEST(RunLog, SpeedFieldIsZeroForTwelveLinesThenTheChangeOverTheLastTwelve) {
  SeparatorScope comma(u',');
  TempHistory history;
  const auto line = [&history](int n, double temperature) {
    const FieldTexts rows = {{"EditNumIzm", decimalText(n)},
                             {"EditTNoOp", generalText(temperature)}};
    return pidDataLine(lookupIn(rows), QStringLiteral("00:00:00 "), history).split("  ;  ")[3];
  };
  for (int n = 1; n <= 12; ++n) EXPECT_EQ(line(n, 100 + n * 1.5), "  0  ") << n;
  EXPECT_EQ(line(13, 200), "98,5");      // 200 - 101,5 (line 1)
  EXPECT_EQ(line(14, 200.25), "97,25");  // 200,25 - 103 (line 2)
  // A new run fills the slots again from line 1.
  for (int n = 1; n <= 12; ++n) EXPECT_EQ(line(n, 50), "  0  ") << n;
  EXPECT_EQ(line(13, 49.5), "-0,5");
}

TEST(RunLog, SpeedFieldStaysEmptyWhenATemperatureTextNoLongerConverts) {
  TempHistory history;
  {
    SeparatorScope comma(u',');
    for (int n = 1; n <= 12; ++n) history.take(n, QStringLiteral("100,5"));
  }
  SeparatorScope point(u'.');
  EXPECT_EQ(history.take(13, QStringLiteral("101.5")), "");
  EXPECT_EQ(history.keptTexts().back(), "101.5");  // the window still slides
}

}  // namespace
}  // namespace calorix::pid
