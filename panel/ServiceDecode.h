#pragma once
// Texts of the service-area values: coefficients in 16.16 fixed point and
// temperatures with an 8-bit fraction. The words written back are encoded by
// ctl::toFixed1616 and ctl::toWholeWord (core/ByteCodec.h).
#include <QString>

namespace calorix::panel {

// "-" when the coefficient's sign flag is set, then value / 65536 in single
// precision, fixed 5:4. The flag and the value's own sign are independent.
QString coefficientText(bool negativeFlag, qint32 raw);
// value / 256, single precision, fixed 5:4.
QString temperature256Text(qint32 raw);
// The message for a value that cannot be written.
QString outOfRangeText(const QString& text);

}  // namespace calorix::panel
