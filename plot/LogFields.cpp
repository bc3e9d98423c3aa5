#include "plot/LogFields.h"

#include <QString>

#include <charconv>
#include <cmath>

#include "core/Cp1251.h"

namespace calorix::plot::logfield {
namespace {

constexpr double kNoNumber = std::numeric_limits<double>::quiet_NaN();

bool isAsciiSpace(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}
bool isDigit(char c) {
  return c >= '0' && c <= '9';
}
bool ascii(QByteArrayView bytes) {
  for (char c : bytes)
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  return true;
}

QByteArrayView trimmedAscii(QByteArrayView v) {
  while (!v.isEmpty() && isAsciiSpace(v.front())) v = v.sliced(1);
  while (!v.isEmpty() && isAsciiSpace(v.back())) v.chop(1);
  return v;
}

QString text(QByteArrayView bytes) {
  return cp1251::decode(bytes.toByteArray());
}

// ---- the rules as Qt reads texts: for everything but plain digits -----------------------------

double numberOfText(QStringView field) {
  QString s;
  s.reserve(field.size());
  for (QChar c : field) {
    if (c == QLatin1Char(' ')) continue;
    s += c == QLatin1Char(',') ? QLatin1Char('.') : c;
  }
  if (s.isEmpty()) return kNoNumber;
  bool ok = false;
  const double v = s.toDouble(&ok);
  return ok && std::isfinite(v) ? v : kNoNumber;
}

std::optional<int> integerOfText(QStringView field) {
  bool ok = false;
  const int v = field.trimmed().toInt(&ok);
  return ok ? std::optional<int>(v) : std::nullopt;
}

std::optional<QTime> timeOfText(QStringView field) {
  field = field.trimmed();
  if (field.size() != 8 || field[2] != QLatin1Char(':') || field[5] != QLatin1Char(':'))
    return std::nullopt;
  const auto h = integerOfText(field.mid(0, 2)), m = integerOfText(field.mid(3, 2)),
             s = integerOfText(field.mid(6, 2));
  if (!h || !m || !s) return std::nullopt;
  const QTime t(*h, *m, *s);
  return t.isValid() ? std::optional<QTime>(t) : std::nullopt;
}

// [+-]? digits (. digits)? ([eE] [+-]? digits)?: what every reader converts alike.
bool plainDecimal(const char* p, const char* end) {
  if (p != end && (*p == '+' || *p == '-')) ++p;
  const auto digits = [&] {
    const char* start = p;
    while (p != end && isDigit(*p)) ++p;
    return p != start;
  };
  if (!digits()) return false;
  if (p != end && *p == '.' && (++p, !digits())) return false;
  if (p != end && (*p == 'e' || *p == 'E')) {
    ++p;
    if (p != end && (*p == '+' || *p == '-')) ++p;
    if (!digits()) return false;
  }
  return p == end;
}

}  // namespace

void split(QByteArrayView line, std::vector<QByteArrayView>& fields) {
  fields.clear();
  qsizetype start = 0;
  for (qsizetype i = 0; i < line.size(); ++i)
    if (line[i] == ';') {
      fields.push_back(line.sliced(start, i - start));
      start = i + 1;
    }
  fields.push_back(line.sliced(start));
}

double number(QByteArrayView field) {
  char buffer[64];
  std::size_t n = 0;
  for (char c : field) {
    if (c == ' ') continue;
    if (static_cast<unsigned char>(c) >= 0x80 || n == sizeof buffer)
      return numberOfText(text(field));
    buffer[n++] = c == ',' ? '.' : c;
  }
  if (n == 0) return kNoNumber;
  const char* end = buffer + n;
  if (plainDecimal(buffer, end)) {
    const char* first = buffer[0] == '+' ? buffer + 1 : buffer;
    double v = 0;
    const auto [ptr, ec] = std::from_chars(first, end, v);
    if (ec == std::errc() && ptr == end && std::isfinite(v)) return v;
  }
  return numberOfText(text(field));
}

std::optional<int> integer(QByteArrayView field) {
  const QByteArrayView t = trimmedAscii(field);
  if (!ascii(field) || t.isEmpty()) return integerOfText(text(field));
  const char* p = t.data();
  const char* end = p + t.size();
  const bool negative = *p == '-';
  if (*p == '-' || *p == '+') ++p;
  if (p == end) return integerOfText(text(field));
  long long v = 0;
  for (; p != end; ++p) {
    if (!isDigit(*p) || v > 1'000'000'000'000LL) return integerOfText(text(field));
    v = v * 10 + (*p - '0');
  }
  if (negative) v = -v;
  if (v < std::numeric_limits<int>::min() || v > std::numeric_limits<int>::max())
    return std::nullopt;
  return int(v);
}

std::optional<QTime> timeOfDay(QByteArrayView field) {
  const QByteArrayView t = trimmedAscii(field);
  const bool plain = ascii(field) && t.size() == 8 && t[2] == ':' && t[5] == ':' && isDigit(t[0]) &&
                     isDigit(t[1]) && isDigit(t[3]) && isDigit(t[4]) && isDigit(t[6]) &&
                     isDigit(t[7]);
  if (!plain) return timeOfText(text(field));
  const auto two = [&t](int at) { return (t[at] - '0') * 10 + (t[at + 1] - '0'); };
  const QTime time(two(0), two(3), two(6));
  return time.isValid() ? std::optional<QTime>(time) : std::nullopt;
}

bool blank(QByteArrayView line) {
  if (!ascii(line)) return text(line).trimmed().isEmpty();
  return trimmedAscii(line).isEmpty();
}

}  // namespace calorix::plot::logfield
