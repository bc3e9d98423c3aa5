#include "core/FieldRange.h"

#include "core/Abort.h"

namespace calorix {

QString outOfRangeMessage(qint64 value, FieldRange range) {
  return QString::fromUtf8("Значение %1 вне диапазона %2..%3")
      .arg(value)
      .arg(range.lo)
      .arg(range.hi);
}

void requireInRange(qint64 value, FieldRange range) {
  if (value < range.lo || value > range.hi) throw AbortAction(outOfRangeMessage(value, range));
}

}  // namespace calorix
