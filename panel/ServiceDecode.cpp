#include "panel/ServiceDecode.h"

#include <cmath>

#include "core/NumberText.h"

namespace calorix::panel {

QString coefficientText(bool negativeFlag, qint32 raw) {
  const QString text = fixedTextSingle(raw / 65536.0, 5, 4);
  return negativeFlag ? QStringLiteral("-") + text : text;
}

QString temperature256Text(qint32 raw) {
  return fixedTextSingle(raw / 256.0, 5, 4);
}

std::optional<qint32> wholeNumber(double value) {
  // Beyond 2^62 no rounding is needed and none would fit a 64-bit integer.
  if (!std::isfinite(value) || std::fabs(value) >= 4.0e18) return std::nullopt;
  return qint32(quint32(quint64(roundHalfEven(value))));
}

std::optional<qint32> fixed1616(double value) {
  return wholeNumber(value * 65536.0);
}

QString outOfRangeText(const QString& text) {
  return QString::fromUtf8("Ошибка! Значение '%1' вне допустимого диапазона").arg(text);
}

}  // namespace calorix::panel
