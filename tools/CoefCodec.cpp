#include "tools/CoefCodec.h"

#include <cmath>
#include <functional>

#include "core/Abort.h"
#include "core/ByteCodec.h"
#include "core/NumberText.h"

namespace calorix {

namespace {

// The amplifier group reads with 65535, one less than the 16.16 scale it writes with.
constexpr double kDivisor1 = 65535.0;
constexpr double kScale16 = ctl::kFixed1616;
constexpr double kPidScale = 100000000.0;

// Cubic word i of group 4 (AP, BP, CP, DP, AD .. DD, AI .. DI).
CoefField pidField(const char* name, int i) {
  const quint16 address = quint16(ctl::block::kPidCubics + 4 * i);
  return {name, address, kPidScale, kPidScale, 11, 8, false, false};
}

// Raws are read back as signed words, so a stored magnitude must stay below
// 2^31; the largest w that still rounds to 2^31 - 1 is just under this.
constexpr double kRawLimit = 2147483647.5;

QString valueText(double value) {
  return QString::number(value, 'g', 15);
}

// A bound printed with at most 8 decimals that is itself accepted: rounded,
// or moved one unit inwards when the rounded text would be refused.
QString boundText(double bound, bool upper, const std::function<bool(double)>& accepted) {
  double printed = std::round(bound * 1e8) / 1e8;
  if (!accepted(printed))
    printed = (upper ? std::floor(bound * 1e8) : std::ceil(bound * 1e8)) / 1e8;
  QString text = QString::number(printed, 'f', 8);
  while (text.endsWith('0')) text.chop(1);
  if (text.endsWith('.')) text.chop(1);
  return text;
}

double magnitudeTimesScale(const CoefField& field, double value) {
  if (field.reciprocal) return std::abs(1.0 / value * 100.0) * field.writeScale;
  return std::abs(value) * field.writeScale;
}

// A gain so large that its reciprocal word rounds to 0 would leave the
// controller a zero gain word, which also has no reciprocal to show.
bool gainWordIsZero(const CoefField& field, double w) {
  return field.reciprocal && !(w > 0.5);
}

QString rangeMessage(const CoefField& field, double value) {
  const auto accepted = [&](double v) {
    const double w = magnitudeTimesScale(field, v);
    return w < kRawLimit && !gainWordIsZero(field, w);
  };
  if (field.reciprocal) {
    if (gainWordIsZero(field, magnitudeTimesScale(field, value))) {
      // Half a unit inside the first refused gain, so the bound is printed inwards.
      const double largest = 100.0 * field.writeScale / 0.5 - 0.5e-8;
      return QString::fromUtf8("Значение %1 вне диапазона: |К| не больше %2")
          .arg(valueText(value), boundText(largest, true, accepted));
    }
    const double smallest = 100.0 * field.writeScale / kRawLimit;
    return QString::fromUtf8("Значение %1 вне диапазона: |К| не меньше %2")
        .arg(valueText(value), boundText(smallest, false, accepted));
  }
  const QString largest = boundText((kRawLimit - 0.5) / field.writeScale, true, accepted);
  return QString::fromUtf8("Значение %1 вне диапазона -%2..%2").arg(valueText(value), largest);
}

[[noreturn]] void divisionByZero() {
  throw AbortAction("Floating point division by zero");
}

}  // namespace

const std::array<CoefField, 2> kAmplifierFields{{
    {"EditIzmTermA", ctl::block::kAmplifierA, kDivisor1, kScale16, 7, 3, false, false},
    {"EditIzmTermB", ctl::block::kAmplifierB, kDivisor1, kScale16, 7, 3, false, false},
}};

const CoefField kGainField{"EditKUsTerm", ctl::block::kGain, 6553500.0, kScale16, 7, 3, false,
                           true};

const std::array<CoefField, 4> kThermoFields{{
    {"EditKAT", ctl::block::kCurveA, 4294967296.0, kScale16* kScale16, 11, 8, false, false},
    {"EditKBT", ctl::block::kCurveB, 1677721600.0, ctl::kFraction8 * 100.0 * kScale16, 11, 8, true,
     false},
    {"EditKCT", ctl::block::kCurveC, 2560000.0, ctl::kFraction8 * 10000.0, 11, 8, false, false},
    {"EditKDT", ctl::block::kCurveD, 1000000.0, 1000000.0, 11, 8, true, false},
}};

const std::array<CoefField, 12> kPidFields{{
    pidField("EditAP", 0),
    pidField("EditBP", 1),
    pidField("EditCP", 2),
    pidField("EditDP", 3),
    pidField("EditAD", 4),
    pidField("EditBD", 5),
    pidField("EditCD", 6),
    pidField("EditDD", 7),
    pidField("EditAI", 8),
    pidField("EditBI", 9),
    pidField("EditCI", 10),
    pidField("EditDI", 11),
}};

QString coefText(const CoefField& field, qint32 raw) {
  double shown;
  if (field.reciprocal) {
    if (raw == 0) divisionByZero();
    shown = 1.0 / (double(raw) / field.readDivisor);
  } else {
    shown = double(raw) / field.readDivisor;
  }
  const QString text = fixedText(shown, field.width, field.decimals);
  return field.shownNegative ? "-" + text : text;
}

CoefRaw coefRawForWrite(const CoefField& field, double value) {
  if (field.reciprocal && value == 0.0) divisionByZero();
  const double w = magnitudeTimesScale(field, value);
  if (!(w < kRawLimit) || gainWordIsZero(field, w))
    return {std::nullopt, rangeMessage(field, value)};
  return {qint32(roundHalfEven(w)), QString()};
}

}  // namespace calorix
