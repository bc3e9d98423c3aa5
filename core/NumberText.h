#pragma once
// Number texts as the console shows and logs them.
#include <QChar>
#include <QString>
#include <QtGlobal>

#include <cstdint>

namespace calorix {

// The regional decimal separator of the general format (and of the regional
// conversion in core/Parse.h). Process-wide; defaults to the system locale's.
void setDecimalSeparator(QChar separator);
QChar decimalSeparator();

// The integer as decimal digits, "-" before a negative value.
QString decimalText(qint64 value);

// The shortest text with at most 15 significant digits and no trailing zeros,
// with the regional separator: 2.0 -> "2", 0.1 -> "0.1" (or "0,1"). Values
// below 1e-5 or with more than 15 integer digits take the exponent form
// "1.5E-6" / "1E20".
QString generalText(double value);

// Exactly `digits` digits after a ".", never a comma; right-aligned with
// blanks in at least `width` characters; "-" in front when negative. Rounded
// to nearest, halves to even, on the exact binary value.
QString fixedText(double value, int width, int digits);
// The same after converting the value to single precision first.
QString fixedTextSingle(double value, int width, int digits);

// Two upper-case hexadecimal digits.
QString hex2(std::uint8_t value);

// The nearest integer, halves to the even neighbour (1000.5 -> 1000,
// 1001.5 -> 1002). Values beyond the 64-bit range saturate; NaN gives 0.
qint64 roundHalfEven(double value);

}  // namespace calorix
