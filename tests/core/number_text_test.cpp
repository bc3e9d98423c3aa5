#include <gtest/gtest.h>

#include "core/NumberText.h"

namespace calorix {
namespace {

struct SeparatorScope {
  explicit SeparatorScope(QChar c) : previous(decimalSeparator()) { setDecimalSeparator(c); }
  ~SeparatorScope() { setDecimalSeparator(previous); }
  QChar previous;
};

TEST(GeneralText, ShortestTextWithFifteenSignificantDigits) {
  SeparatorScope point(u'.');
  const struct {
    double value;
    const char* text;
  } cases[] = {
      {2.0, "2"},
      {0.1, "0.1"},
      {-0.1, "-0.1"},
      {1e-5, "0.00001"},
      {1.5e-6, "1.5E-6"},
      {1.0 / 3.0, "0.333333333333333"},
      {2.0 / 3.0, "0.666666666666667"},
      {123456789012345.0, "123456789012345"},
      {1234567890123456.0, "1.23456789012346E15"},
      {1e20, "1E20"},
      {0.30000000000000004, "0.3"},
      {-1234.5, "-1234.5"},
      {100.0, "100"},
      {0.0, "0"},
      {-0.0, "0"},
  };
  for (const auto& c : cases) EXPECT_EQ(generalText(c.value), QString(c.text)) << c.value;
}

TEST(GeneralText, UsesTheRegionalSeparator) {
  SeparatorScope comma(u',');
  EXPECT_EQ(generalText(1.5), "1,5");
  EXPECT_EQ(generalText(-0.25), "-0,25");
  EXPECT_EQ(generalText(1.5e-6), "1,5E-6");
  EXPECT_EQ(generalText(7), "7");
}

TEST(FixedText, ExactDigitsRightAlignedWithPointAndHalvesToEven) {
  SeparatorScope comma(u',');  // the fixed texts never take the regional separator
  const struct {
    double value;
    int width, digits;
    const char* text;
  } cases[] = {
      {1.5, 5, 4, "1.5000"},
      {-1.5, 5, 4, "-1.5000"},
      {12.34567, 7, 3, " 12.346"},
      {-12.34567, 7, 3, "-12.346"},
      {0.125, 5, 2, " 0.12"},  // exact half, to even
      {0.375, 5, 2, " 0.38"},  // exact half, to even
      {2.675, 5, 2, " 2.67"},  // 2.67499999... in binary
      {-0.125, 5, 2, "-0.12"},
      {1.0, 11, 8, " 1.00000000"},
      {-3.14159265358979, 11, 8, "-3.14159265"},
      {123456.0, 5, 2, "123456.00"},  // wider than w: never cut
      {-0.0, 5, 2, " 0.00"},
      {-0.001, 5, 2, "-0.00"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(fixedText(c.value, c.width, c.digits), QString(c.text))
        << c.value << " " << c.width << ":" << c.digits;
}

TEST(FixedText, SinglePrecisionFirstShowsTheFloatValue) {
  // 0.1f is 0.100000001490116..., 1/3 as float is 0.3333333432674407...
  EXPECT_EQ(fixedTextSingle(0.1, 11, 8), " 0.10000000");
  EXPECT_EQ(fixedText(1.0 / 3, 11, 10), "0.3333333333");
  EXPECT_EQ(fixedTextSingle(1.0 / 3, 11, 10), "0.3333333433");
  EXPECT_EQ(fixedTextSingle(16777217.0, 5, 4), "16777216.0000");
}

TEST(Hex2, TwoUpperCaseDigits) {
  EXPECT_EQ(hex2(0x00), "00");
  EXPECT_EQ(hex2(0x0A), "0A");
  EXPECT_EQ(hex2(0xBE), "BE");
  EXPECT_EQ(hex2(0xFF), "FF");
}

TEST(RoundHalfEven, HalvesGoToTheEvenNeighbour) {
  const struct {
    double value;
    qint64 rounded;
  } cases[] = {
      {1000.5, 1000},   {1001.5, 1002},
      {-0.5, 0},        {-1.5, -2},
      {-2.5, -2},       {0.49999999999999994, 0},
      {2.5000001, 3},   {-2.6, -3},
      {98304.0, 98304}, {4503599627370497.0, 4503599627370497},
  };
  for (const auto& c : cases) EXPECT_EQ(roundHalfEven(c.value), c.rounded) << c.value;
}

TEST(RoundHalfEven, OutOfRangeSaturatesAndNanIsZero) {
  EXPECT_EQ(roundHalfEven(1e300), std::numeric_limits<qint64>::max());
  EXPECT_EQ(roundHalfEven(-1e300), std::numeric_limits<qint64>::min());
  EXPECT_EQ(roundHalfEven(std::nan("")), 0);
}

TEST(DecimalText, SignedDigits) {
  EXPECT_EQ(decimalText(0), "0");
  EXPECT_EQ(decimalText(-2147483648LL), "-2147483648");
  EXPECT_EQ(decimalText(4294967295LL), "4294967295");
}

}  // namespace
}  // namespace calorix
