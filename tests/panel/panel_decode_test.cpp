// Decoding of the panel indication bytes, without a window.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>

#include "core/ByteCodec.h"
#include "core/ControllerMap.h"
#include "panel/PanelDecode.h"
#include "panel/ServiceDecode.h"

namespace calorix::panel {
namespace {

struct BarRow {
  int level;
  const char* heating;
  const char* stabilising;
  const char* coolingReadOut;
  const char* coolingMirror;
};

// Every level of all three bars in both variants.
const BarRow kBars[] = {
    {1, "I", "IIIIII", "         I", "IIIIIIIIII"},
    {2, "II", " IIIII", "        II", " IIIIIIIII"},
    {3, "III", "  IIII", "       III", "  IIIIIIII"},
    {4, "IIII", "   III", "      IIII", "   IIIIIII"},
    {5, "IIIII", "    II", "     IIIII", "    IIIIII"},
    {6, "IIIIII", "    II", "    IIIIII", "     IIIII"},
    {7, "IIIIIII", "III", "   IIIIIII", "      IIII"},
    {8, "IIIIIIII", "IIII", "  IIIIIIII", "       III"},
    {9, "IIIIIIIII", "IIIII", " IIIIIIIII", "        II"},
    {10, "IIIIIIIIII", "IIIIII", "IIIIIIIIII", "         I"},
};

TEST(PanelDecode, BarLevelsOneToTenGiveTheTableTextsInTheLitColour) {
  for (const BarRow& row : kBars) {
    SCOPED_TRACE(row.level);
    const auto level = std::uint8_t(row.level);
    for (BarVariant v : {BarVariant::ReadOut, BarVariant::Mirror}) {
      EXPECT_EQ(decodeBar(Bar::Heating, level, v).text, QString::fromLatin1(row.heating));
      EXPECT_EQ(decodeBar(Bar::Stabilising, level, v).text, QString::fromLatin1(row.stabilising));
      EXPECT_EQ(decodeBar(Bar::Heating, level, v).color, paint::kHeatingBar);
      EXPECT_EQ(decodeBar(Bar::Stabilising, level, v).color, paint::kStabilisingBar);
      EXPECT_EQ(decodeBar(Bar::Cooling, level, v).color, paint::kCoolingBar);
    }
    EXPECT_EQ(decodeBar(Bar::Cooling, level, BarVariant::ReadOut).text,
              QString::fromLatin1(row.coolingReadOut));
    EXPECT_EQ(decodeBar(Bar::Cooling, level, BarVariant::Mirror).text,
              QString::fromLatin1(row.coolingMirror));
  }
}

TEST(PanelDecode, LevelZeroIsAFullSilverBarAndAboveTenKeepsTheTextButLights) {
  for (Bar bar : {Bar::Heating, Bar::Stabilising, Bar::Cooling}) {
    for (BarVariant v : {BarVariant::ReadOut, BarVariant::Mirror}) {
      const BarPaint zero = decodeBar(bar, 0, v);
      EXPECT_EQ(zero.text, QStringLiteral("IIIIIIIIII"));
      EXPECT_EQ(zero.color, paint::kSilver);
      for (std::uint8_t level : {std::uint8_t(11), std::uint8_t(200)}) {
        const BarPaint high = decodeBar(bar, level, v);
        EXPECT_FALSE(high.text.has_value());
        EXPECT_EQ(high.color, barLitColor(bar));
      }
    }
  }
}

TEST(PanelDecode, DisplaysPrintWholeBytesAndTheCommaFromBitSixOfTheSecondParameterDigit) {
  struct Case {
    std::uint8_t d[4];
    const char* text;
  };
  const Case cases[] = {
      {{1, 2, 3, 4}, " 1234"},     {{1, 0x42, 3, 4}, " 12,34"},   {{0, 0x45, 0, 0}, " 05,00"},
      {{9, 0x43, 1, 0}, " 93,10"}, {{12, 0, 255, 7}, " 1202557"}, {{0, 0x40, 0, 0}, " 00,00"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(parameterText(c.d[0], c.d[1], c.d[2], c.d[3]), QString::fromLatin1(c.text));
  }
  EXPECT_EQ(digitPairText(12, 3), QStringLiteral("123"));
  EXPECT_EQ(digitPairText(0, 0), QStringLiteral("00"));
}

TEST(PanelDecode, IndicationAreaFillsDisplaysLampsAndBars) {
  std::uint8_t bytes[ctl::ram::kIndicationShownBytes] = {1, 10, 0, 3, 4,    0x45, 6,
                                                         7, 3,  0, 2, 0xEE, 0x05};
  const Indication ind = decodeIndication(bytes, BarVariant::ReadOut);
  EXPECT_EQ(ind.program, QStringLiteral("110"));
  EXPECT_EQ(ind.stage, QStringLiteral("03"));
  EXPECT_EQ(ind.parameter, QStringLiteral(" 45,67"));
  EXPECT_EQ(ind.lamps, (std::array<bool, 3>{true, false, true}));
  EXPECT_EQ(ind.bars[0].text, QStringLiteral("III"));
  EXPECT_EQ(ind.bars[1].color, paint::kSilver);
  EXPECT_EQ(ind.bars[2].text, QStringLiteral("        II"));
  EXPECT_EQ(decodeIndication(bytes, BarVariant::Mirror).bars[2].text, QStringLiteral(" IIIIIIIII"));
}

TEST(PanelDecode, PidFrameImageShowsItsIndicationAreaAndBlinkFlags) {
  // A frame's RAM image: only 0x60..0x6C and 0x0B belong to the panel.
  std::array<std::uint8_t, ctl::pidFrame::kMirrorBytes> ram{};
  ram.fill(0x09);
  const std::uint8_t area[ctl::ram::kIndicationShownBytes] = {2, 5, 1, 4, 0, 0x41, 0,
                                                              0, 0, 1, 3, 0, 0x02};
  std::copy(std::begin(area), std::end(area), ram.begin() + 0x60);
  ram[0x0B] = 0x0C;
  const MirroredPanel shown = decodeMirroredPanel(ram.data());
  EXPECT_EQ(shown.indication.program, QStringLiteral("25"));
  EXPECT_EQ(shown.indication.stage, QStringLiteral("14"));
  EXPECT_EQ(shown.indication.parameter, QStringLiteral(" 01,00"));
  EXPECT_EQ(shown.indication.lamps, (std::array<bool, 3>{false, true, false}));
  EXPECT_EQ(shown.indication.bars[0].color, paint::kSilver);
  EXPECT_EQ(shown.indication.bars[2].text, QStringLiteral("  IIIIIIII"));  // the mirror variant
  EXPECT_EQ(shown.blinkFlags, 0x0C);
}

TEST(PanelDecode, BlinkGroupsFollowTheirFlagBits) {
  struct Case {
    std::uint8_t flags;
    bool program, stage, parameter;
  };
  const Case cases[] = {{0x00, false, false, false}, {0x01, true, false, false},
                        {0x02, true, false, false},  {0x04, false, true, false},
                        {0x08, false, true, false},  {0x10, false, false, true},
                        {0x80, false, false, true},  {0xFF, true, true, true}};
  for (const Case& c : cases) {
    const BlinkGroups g = blinkGroups(c.flags);
    EXPECT_EQ(g.program, c.program) << int(c.flags);
    EXPECT_EQ(g.stage, c.stage) << int(c.flags);
    EXPECT_EQ(g.parameter, c.parameter) << int(c.flags);
  }
}

TEST(ServiceDecode, SensorFractionIsByteTimes625Div100WithoutLeadingZeros) {
  EXPECT_EQ(sensorTemperatureText(25, 8), QStringLiteral("25,50"));
  EXPECT_EQ(sensorTemperatureText(25, 1), QStringLiteral("25,6"));
  EXPECT_EQ(sensorTemperatureText(25, 0), QStringLiteral("25,0"));
  EXPECT_EQ(sensorTemperatureText(0, 255), QStringLiteral("0,1593"));
}

TEST(ServiceDecode, ReadBytesAndRamBytesTexts) {
  EXPECT_EQ(readByteText(10), QStringLiteral("0AH"));
  EXPECT_EQ(readByteText(0xFF), QStringLiteral("FFH"));
  const std::uint8_t bytes[10] = {0x0A, 0x1B, 0x2C, 3, 4, 5, 6, 7, 8, 9};
  EXPECT_EQ(ramBytesText(QStringLiteral("old"), bytes, 3), QStringLiteral("0A 1B  2C "));
  EXPECT_EQ(ramBytesText(QStringLiteral("old"), bytes, 1), QStringLiteral("0A"));
  EXPECT_EQ(ramBytesText(QStringLiteral("old"), bytes, 0), QStringLiteral("old"));
  EXPECT_EQ(ramBytesText(QString(), bytes, 16), QStringLiteral("0A 1B  2C  03  04  05  06  07 "));
}

TEST(ServiceDecode, CoefficientsShowFlagAndValueSignsIndependently) {
  EXPECT_EQ(coefficientText(false, 0x00018000), QStringLiteral("1.5000"));
  EXPECT_EQ(coefficientText(true, 0x00018000), QStringLiteral("-1.5000"));
  EXPECT_EQ(coefficientText(true, qint32(0xFFFF8000)), QStringLiteral("--0.5000"));
  EXPECT_EQ(temperature256Text(0x019000), QStringLiteral("400.0000"));
}

TEST(ServiceDecode, WritesRoundHalvesToEvenAndKeepTheLow32Bits) {
  EXPECT_EQ(ctl::toFixed1616(1.5), qint32(0x00018000));
  EXPECT_EQ(ctl::toFixed1616(-0.5), qint32(0xFFFF8000));
  EXPECT_EQ(ctl::toWholeWord(1000.5), 1000);
  EXPECT_EQ(ctl::toWholeWord(1001.5), 1002);
  EXPECT_EQ(ctl::toWholeWord(4294967297.0), 1);  // low 32 bits of 2^32 + 1
  EXPECT_FALSE(ctl::toWholeWord(1e300).has_value());
}

}  // namespace
}  // namespace calorix::panel
