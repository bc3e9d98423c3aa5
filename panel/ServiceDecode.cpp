#include "panel/ServiceDecode.h"

#include "core/ByteCodec.h"
#include "core/NumberText.h"

namespace calorix::panel {

QString coefficientText(bool negativeFlag, qint32 raw) {
  const QString text = fixedTextSingle(ctl::fromFixed1616(raw), 5, 4);
  return negativeFlag ? QStringLiteral("-") + text : text;
}

QString temperature256Text(qint32 raw) {
  return fixedTextSingle(ctl::fromFraction8(raw), 5, 4);
}

QString outOfRangeText(const QString& text) {
  return QString::fromUtf8("Ошибка! Значение '%1' вне допустимого диапазона").arg(text);
}

}  // namespace calorix::panel
