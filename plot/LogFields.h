#pragma once
// The fields of a data-log line as the readers take them: Windows-1251 bytes
// between ";" separators. Numbers as the logs write them (either decimal
// separator, a sign before leading blanks), counts, and the time of day of
// a LineStamp. Plain ASCII digits (every line the console writes) take a
// quick path; anything else is read as its text, with Qt's rules.
#include <QByteArrayView>
#include <QTime>

#include <optional>
#include <vector>

namespace calorix::plot::logfield {

// The line's fields between ";" (the line without its CR LF).
void split(QByteArrayView line, std::vector<QByteArrayView>& fields);

// "," or "." as the separator, blanks anywhere ignored ("- 2,25" is -2.25), "+" allowed; NaN when
// the field is no finite number.
double number(QByteArrayView field);
// A decimal integer between blanks.
std::optional<int> integer(QByteArrayView field);
// "HH:MM:SS" between blanks: the LineStamp.
std::optional<QTime> timeOfDay(QByteArrayView field);
// Only blanks (as Windows-1251 text: the ASCII ones and the no-break space).
bool blank(QByteArrayView line);

}  // namespace calorix::plot::logfield
