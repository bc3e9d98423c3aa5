#pragma once
// The parsers of the console's entry fields and grid cells.
#include <QString>
#include <QtGlobal>

#include <functional>
#include <optional>

#include "core/Messages.h"

namespace calorix {

// Integer fields and grid cells: leading blanks, an optional "+" or "-", then
// decimal digits in the signed 32-bit range, or at most 8 hexadecimal digits
// (either case) after "$", "x", "X", "0x" or "0X", taken as the 32-bit
// pattern. Nothing may follow the digits.
std::optional<qint32> tryParseIntText(const QString& text);
// The same; a rejected text throws AbortAction
// "'<text>' is not a valid integer value".
qint32 ParseIntText(const QString& text);

// Real numbers in "the system's number format": blanks around, an optional
// sign, digits with at most one regional decimal separator (see
// core/NumberText.h), at least one digit, an optional exponent.
std::optional<double> convertRegional(const QString& text);
// The same; a rejected text throws AbortAction
// "'<text>' is not a valid floating point value".
double convertRegionalOrAbort(const QString& text);

// How ParseEditNumber treats a field. The defaults are the main window's
// rule; the PID work window's coefficient entries differ in the three ways
// below.
struct EditNumberRule {
  // Spaces are removed before the checks (else a space fails the character check).
  bool removeSpaces = true;
  // A text of "-" alone is rejected by the first test (else its conversion fails).
  bool rejectLoneMinus = true;
  // Receives the text of the conversion step (the PID window's EditTemp).
  std::function<void(const QString&)> scratch;
};

// Turns the text of a real-number field into a number: spaces removed; empty
// (or "-") rejected; only digits, ",", "." and "-" allowed; a leading "-" is
// the sign; the first "." becomes ","; the rest converts with the comma as
// decimal separator. On rejection text := "Ошибка", value := 0, the message
// "Ошибка! Текстовое значение в поле ввода!" is shown and the result is
// false. A text that passes the checks but does not convert throws
// AbortAction "'<text>' is not a valid floating point value".
bool ParseEditNumber(QString& text, double& value, Messages& messages,
                     const EditNumberRule& rule = {});

}  // namespace calorix
