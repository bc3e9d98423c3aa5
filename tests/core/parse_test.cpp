#include <gtest/gtest.h>

#include <cmath>

#include "core/Abort.h"
#include "core/NumberText.h"
#include "core/Parse.h"
#include "tests/support/ScriptedMessages.h"

namespace calorix {
namespace {

const QString kFieldError = QString::fromUtf8("Ошибка");
const QString kFieldMessage = QString::fromUtf8("Ошибка! Текстовое значение в поле ввода!");

TEST(ParseIntText, AcceptedTexts) {
  const struct {
    const char* text;
    qint32 value;
  } cases[] = {
      {"0", 0},
      {"16", 16},
      {"   42", 42},
      {"\t7", 7},
      {"+5", 5},
      {"-5", -5},
      {"007", 7},
      {"2147483647", 2147483647},
      {"-2147483648", -2147483647 - 1},
      {"$60", 0x60},
      {"$ff", 0xFF},
      {"xAb", 0xAB},
      {"X10", 0x10},
      {"0x1f", 0x1F},
      {"0X1F", 0x1F},
      {"-$10", -16},
      {"$FFFFFFFF", -1},  // the 32-bit pattern
      {"$80000000", -2147483647 - 1},
      {"$00000001", 1},
      {"  -0x7FFFFFFF", -2147483647},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(tryParseIntText(c.text), c.value) << c.text;
    EXPECT_EQ(ParseIntText(c.text), c.value) << c.text;
  }
}

TEST(ParseIntText, RejectedTextsAbandonWithTheirOwnText) {
  const char* cases[] = {
      "",    "   ",        "$",           "0x",          "x",          "+",
      "-",   "2147483648", "-2147483649", "99999999999", "$123456789", "0x000000001",
      "12 ", "12a",        "1.5",         "$G",          "0x-1",       "--1",
      "+-1", "00x1",       "1 2",         "$ 1",         "٣",  // an Arabic-Indic digit is no digit
                                                               // here
  };
  for (const char* text : cases) {
    EXPECT_FALSE(tryParseIntText(QString::fromUtf8(text))) << text;
    try {
      ParseIntText(QString::fromUtf8(text));
      ADD_FAILURE() << "accepted " << text;
    } catch (const AbortAction& abandoned) {
      EXPECT_EQ(
          abandoned.message(),
          QString::fromUtf8("'%1' is not a valid integer value").arg(QString::fromUtf8(text)));
    }
  }
}

struct EditCase {
  const char* text;
  double value;
};

TEST(ParseEditNumber, AcceptedTexts) {
  const EditCase cases[] = {
      {"1.5", 1.5},       {"1,5", 1.5}, {" - 2 . 5", -2.5}, {"--5", 5}, {"-0.5", -0.5},
      {"1000.5", 1000.5}, {",5", 0.5},  {"5,", 5},          {"007", 7}, {"1 000", 1000},
  };
  for (const auto& c : cases) {
    testing::ScriptedMessages messages;
    QString text = QString::fromUtf8(c.text);
    double value = -99;
    EXPECT_TRUE(ParseEditNumber(text, value, messages)) << c.text;
    EXPECT_EQ(value, c.value) << c.text;
    EXPECT_TRUE(messages.shown.isEmpty()) << c.text;
  }
}

TEST(ParseEditNumber, RejectedTextsBecomeErrorWithTheMessage) {
  const char* cases[] = {"", "   ", "-", " - ", "1a", "a1", "1e5", "+5", "1;5", "\t1"};
  for (const char* c : cases) {
    testing::ScriptedMessages messages;
    QString text = QString::fromUtf8(c);
    double value = 7;
    EXPECT_FALSE(ParseEditNumber(text, value, messages)) << c;
    EXPECT_EQ(text, kFieldError) << c;
    EXPECT_EQ(value, 0) << c;
    EXPECT_EQ(messages.shown, QStringList{kFieldMessage}) << c;
  }
}

TEST(ParseEditNumber, TextsThatPassTheChecksButDoNotConvertAbandon) {
  const struct {
    const char* text;
    const char* converted;  // the text of the conversion step
  } cases[] = {
      {"1.2.3", "1,2.3"}, {"1,2,3", "1,2,3"},      {"5-", "5-"}, {"-.", ","}, {"---5", "--5"},
      {"1.5,", "1,5,"},   {" 1 . 2 . 3", "1,2.3"},
  };
  for (const auto& c : cases) {
    testing::ScriptedMessages messages;
    QString text = QString::fromUtf8(c.text);
    double value = 0;
    try {
      ParseEditNumber(text, value, messages);
      ADD_FAILURE() << "converted " << c.text;
    } catch (const AbortAction& abandoned) {
      EXPECT_EQ(abandoned.message(), QStringLiteral("'%1' is not a valid floating point value")
                                         .arg(QString::fromUtf8(c.converted)));
    }
    EXPECT_TRUE(messages.shown.isEmpty()) << c.text;
  }
}

TEST(ParseEditNumber, CoefficientEntryRuleKeepsSpacesAndLetsALoneMinusFailAtConversion) {
  std::vector<QString> scratch;
  EditNumberRule rule{false, false, [&](const QString& t) { scratch.push_back(t); }};
  testing::ScriptedMessages messages;

  QString spaced = QStringLiteral("1 5");
  double value = 3;
  EXPECT_FALSE(ParseEditNumber(spaced, value, messages, rule));
  EXPECT_EQ(spaced, kFieldError);
  EXPECT_EQ(value, 0);
  EXPECT_EQ(messages.shown, QStringList{kFieldMessage});

  QString minus = QStringLiteral("-");
  try {
    ParseEditNumber(minus, value, messages, rule);
    ADD_FAILURE() << "a lone minus converted";
  } catch (const AbortAction& abandoned) {
    EXPECT_EQ(abandoned.message(), "'' is not a valid floating point value");
  }

  QString good = QStringLiteral("-0.25");
  EXPECT_TRUE(ParseEditNumber(good, value, messages, rule));
  EXPECT_EQ(value, -0.25);
  EXPECT_EQ(scratch, (std::vector<QString>{"", "0,25"}));  // the last text converted shows
  EXPECT_EQ(messages.shown.size(), 1);
}

TEST(ConvertRegional, OnlyTheRegionalSeparator) {
  const QChar previous = decimalSeparator();
  setDecimalSeparator(u',');
  EXPECT_EQ(convertRegional("1,5"), 1.5);
  EXPECT_EQ(convertRegional(" -2,25 "), -2.25);
  EXPECT_EQ(convertRegional("1,5E-6"), 1.5e-6);
  EXPECT_EQ(convertRegional("+3"), 3);
  EXPECT_FALSE(convertRegional("1.5"));
  EXPECT_FALSE(convertRegional("1,5,"));
  EXPECT_FALSE(convertRegional(","));
  EXPECT_FALSE(convertRegional("1e"));
  EXPECT_FALSE(convertRegional("1e999"));
  setDecimalSeparator(u'.');
  EXPECT_EQ(convertRegional("1.5"), 1.5);
  EXPECT_FALSE(convertRegional("1,5"));
  try {
    convertRegionalOrAbort("abc");
    ADD_FAILURE() << "converted abc";
  } catch (const AbortAction& abandoned) {
    EXPECT_EQ(abandoned.message(), "'abc' is not a valid floating point value");
  }
  setDecimalSeparator(previous);
}

// Texts whose value lies below the smallest double convert to the nearest
// double (zero, with the text's sign); texts above the largest stay rejected.
TEST(ConvertRegional, NumbersTooSmallForADoubleAreZeroAndTooLargeAreRejected) {
  const QChar previous = decimalSeparator();
  setDecimalSeparator(u'.');
  const QString tiny = QStringLiteral("0.") + QString(330, u'0') + QStringLiteral("1");
  EXPECT_EQ(convertRegional(tiny), 0.0);
  EXPECT_EQ(convertRegional("-" + tiny), 0.0);
  EXPECT_TRUE(std::signbit(*convertRegional("-" + tiny)));
  EXPECT_EQ(convertRegional("1e-400"), 0.0);
  EXPECT_EQ(convertRegional("123.4e-99999999999999"), 0.0);
  EXPECT_EQ(convertRegional("4.9e-324"), 4.9e-324);  // the smallest subnormal stays itself
  EXPECT_FALSE(convertRegional("1e400"));
  EXPECT_FALSE(convertRegional("0.001e99999"));
  EXPECT_FALSE(convertRegional("1" + QString(400, u'0')));
  setDecimalSeparator(previous);

  testing::ScriptedMessages messages;
  for (const QString& text : {tiny, QStringLiteral("-") + tiny, "0," + QString(400, u'0') + "7"}) {
    QString field = text;
    double value = 5;
    EXPECT_TRUE(ParseEditNumber(field, value, messages)) << text.size();
    EXPECT_EQ(value, 0.0);
  }
  QString huge = QStringLiteral("1") + QString(400, u'0');
  double value = 5;
  EXPECT_THROW(ParseEditNumber(huge, value, messages), AbortAction);
  EXPECT_TRUE(messages.shown.isEmpty());
}

}  // namespace
}  // namespace calorix
