#pragma once
// Encoding and decoding of the service-area values: coefficients in 16.16
// fixed point, temperatures with an 8-bit fraction, whole-number writes.
#include <QString>

#include <optional>

namespace calorix::panel {

// "-" when the coefficient's sign flag is set, then value / 65536 in single
// precision, fixed 5:4. The flag and the value's own sign are independent.
QString coefficientText(bool negativeFlag, qint32 raw);
// value / 256, single precision, fixed 5:4.
QString temperature256Text(qint32 raw);
// value x 65536 to the nearest integer (halves to even), its low 32 bits;
// empty when the value is too large to round at all (or not finite).
std::optional<qint32> fixed1616(double value);
// value to the nearest integer (halves to even), its low 32 bits; empty as above.
std::optional<qint32> wholeNumber(double value);
// The message for a value that cannot be written.
QString outOfRangeText(const QString& text);

}  // namespace calorix::panel
