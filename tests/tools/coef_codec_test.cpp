#include <gtest/gtest.h>

#include <QStringList>

#include "core/Abort.h"
#include "tools/CoefCodec.h"

namespace calorix {
namespace {

const CoefField& thermo(int i) {
  return kThermoFields[i];
}

QString abortMessage(const std::function<void()>& action) {
  try {
    action();
  } catch (const AbortAction& abandoned) {
    return abandoned.message();
  }
  return QString();
}

TEST(CoefCodec, ReadTextsUseTheReadDivisorsAndFixedFormats) {
  struct Case {
    const CoefField* field;
    qint32 raw;
    const char* text;
  } cases[] = {
      {&kAmplifierFields[0], 65536, "  1.000"},   // 65536 / 65535
      {&kAmplifierFields[1], 98302, "  1.500"},   // 1.50001
      {&kAmplifierFields[0], -65535, " -1.000"},  // a negative raw keeps its sign
      {&kGainField, 65536, " 99.998"},            // 6553500 / 65536
      {&thermo(0), 1073741824, " 0.25000000"},    // 2^30 / 2^32
      {&thermo(1), 1677721600, "- 1.00000000"},   // B is always shown negative
      {&thermo(2), 2560000, " 1.00000000"},      {&thermo(3), 1000000, "- 1.00000000"},  // D too
      {&kPidFields[0], 12345678, " 0.12345678"}, {&kPidFields[11], 2147483647, "21.47483647"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(coefText(*c.field, c.raw), QString::fromUtf8(c.text))
        << c.field->name << " " << c.raw;
}

TEST(CoefCodec, WritesStoreTheRoundedMagnitudeTimesTheWriteScale) {
  struct Case {
    const CoefField* field;
    double value;
    qint32 raw;
  } cases[] = {
      {&kAmplifierFields[0], 1.0, 65536},
      {&kAmplifierFields[0], 0.9999999999, 65536},  // just below a whole number
      {&kAmplifierFields[1], -1.5, 98304},          // the sign is dropped
      {&kGainField, 100.0, 65536},                  // |1 / 100 * 100| * 65536
      {&kGainField, -100.0, 65536},
      {&kGainField, 99.998, 65537},
      {&thermo(0), 0.25, 1073741824},
      {&thermo(1), -1.0, 1677721600},
      {&thermo(2), 1.0, 2560000},
      {&thermo(3), -1.0, 1000000},
      {&kPidFields[3], -0.12345678, 12345678},
      {&kAmplifierFields[0], 0.5 / 65536, 0},  // half a unit goes to the even neighbour
      {&kAmplifierFields[0], 1.5 / 65536, 2},
  };
  for (const Case& c : cases) {
    const CoefRaw result = coefRawForWrite(*c.field, c.value);
    ASSERT_TRUE(result.raw) << c.field->name << " " << c.value << ": "
                            << result.error.toStdString();
    EXPECT_EQ(*result.raw, c.raw) << c.field->name << " " << c.value;
  }
}

TEST(CoefCodec, ShownTextsWrittenBackGiveTheSameRaw) {
  // Group 3 D: raw 1000000 shows "- 1.00000000"; the typed magnitude is 1.
  EXPECT_EQ(*coefRawForWrite(thermo(3), -1.0).raw, 1000000);
  // Group 4 fields read and write on the same scale.
  for (qint32 raw : {1, 99999999, 100000000, 2147483647}) {
    const double shown = coefText(kPidFields[5], raw).toDouble();
    EXPECT_EQ(*coefRawForWrite(kPidFields[5], shown).raw, raw) << raw;
  }
}

TEST(CoefCodec, RawsThatDoNotFitASigned32BitWordAreRefusedWithTheRange) {
  struct Case {
    const CoefField* field;
    double value;
    const char* message;
  } cases[] = {
      {&thermo(0), 0.5, "Значение 0.5 вне диапазона -0.49999999..0.49999999"},
      {&kPidFields[0], -21.47483648,
       "Значение -21.47483648 вне диапазона -21.47483647..21.47483647"},
      {&kAmplifierFields[0], 40000, "Значение 40000 вне диапазона -32767.99998474..32767.99998474"},
      {&thermo(3), 1e300, "Значение 1e+300 вне диапазона -2147.483647..2147.483647"},
      {&kGainField, 0.003, "Значение 0.003 вне диапазона: |К| не меньше 0.00305176"},
  };
  for (const Case& c : cases) {
    const CoefRaw result = coefRawForWrite(*c.field, c.value);
    EXPECT_FALSE(result.raw) << c.field->name << " " << c.value;
    EXPECT_EQ(result.error, QString::fromUtf8(c.message));
  }
  // The printed bounds themselves are accepted.
  EXPECT_TRUE(coefRawForWrite(thermo(0), 0.49999999).raw);
  EXPECT_TRUE(coefRawForWrite(kPidFields[0], 21.47483647).raw);
  EXPECT_TRUE(coefRawForWrite(kGainField, 0.00305176).raw);
}

TEST(CoefCodec, GainWithoutAReciprocalIsADivisionByZero) {
  EXPECT_EQ(abortMessage([] { coefText(kGainField, 0); }), "Floating point division by zero");
  EXPECT_EQ(abortMessage([] { coefRawForWrite(kGainField, 0.0); }),
            "Floating point division by zero");
  EXPECT_EQ(abortMessage([] { coefRawForWrite(kGainField, -0.0); }),
            "Floating point division by zero");
}

TEST(CoefCodec, FieldsLieAtTheirAddressesInOrder) {
  EXPECT_EQ(kAmplifierFields[1].address, 0x04);
  EXPECT_EQ(kGainField.address, 0x08);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(kThermoFields[i].address, 0x0C + 4 * i);
  for (int i = 0; i < 12; ++i) EXPECT_EQ(kPidFields[i].address, 0x20 + 4 * i);
  // Sign-flag word 05 08: AP, CP and DI.
  const quint16 flags = 0x0805;
  QStringList negative;
  for (int i = 0; i < 12; ++i)
    if (pidSignSet(flags, i)) negative << kPidFields[i].name;
  EXPECT_EQ(negative, (QStringList{"EditAP", "EditCP", "EditDI"}));
}

}  // namespace
}  // namespace calorix
