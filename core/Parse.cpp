#include "core/Parse.h"

#include <algorithm>
#include <charconv>
#include <string>

#include "core/Abort.h"
#include "core/NumberText.h"

namespace calorix {

namespace {

bool isDigit(QChar c) {
  return c >= u'0' && c <= u'9';
}

int hexValue(QChar c) {
  const char16_t u = c.unicode();
  if (u >= u'0' && u <= u'9') return u - u'0';
  if (u >= u'a' && u <= u'f') return u - u'a' + 10;
  if (u >= u'A' && u <= u'F') return u - u'A' + 10;
  return -1;
}

// Whether a plain number text ("-12.5e-7", digits and one '.' at most) that
// from_chars found out of range is so because it is too small: the decimal
// place of its first significant digit, shifted by the exponent, lies below
// the units.
bool belowDoubleRange(const std::string& plain) {
  const std::size_t e = plain.find('e');
  const std::string mantissa = plain.substr(0, e);
  long long place = 0;
  bool found = false;
  const std::size_t point = mantissa.find('.');
  const std::size_t intEnd = point == std::string::npos ? mantissa.size() : point;
  for (std::size_t i = 0; i < mantissa.size() && !found; ++i) {
    const char c = mantissa[i];
    if (c < '1' || c > '9') continue;
    found = true;
    place = i < intEnd ? (long long)(intEnd - 1 - i) : -(long long)(i - intEnd);
  }
  if (!found) return true;  // all zeros: zero itself
  long long exponent = 0;
  if (e != std::string::npos) {
    std::size_t i = e + 1;
    const bool negative = i < plain.size() && plain[i] == '-';
    if (i < plain.size() && (plain[i] == '-' || plain[i] == '+')) ++i;
    for (; i < plain.size(); ++i)
      exponent = std::min(exponent * 10 + (plain[i] - '0'), 1000000000LL);
    if (negative) exponent = -exponent;
  }
  return place + exponent < 0;
}

// Sign, digits with at most one separator, at least one digit; an exponent
// only where allowed. The result is the number; nothing when the text is not
// one or lies beyond the double range.
std::optional<double> convertWithSeparator(const QString& text, QChar separator,
                                           bool allowExponent) {
  std::string plain;
  qsizetype i = 0;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
    if (text[i] == u'-') plain += '-';
    ++i;
  }
  int digits = 0;
  bool seenSeparator = false;
  for (; i < text.size(); ++i) {
    const QChar c = text[i];
    if (isDigit(c)) {
      plain += char(c.unicode());
      ++digits;
    } else if (c == separator && !seenSeparator) {
      plain += '.';
      seenSeparator = true;
    } else {
      break;
    }
  }
  if (digits == 0) return std::nullopt;
  if (allowExponent && i < text.size() && (text[i] == u'e' || text[i] == u'E')) {
    plain += 'e';
    ++i;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) plain += char(text[i++].unicode());
    int expDigits = 0;
    for (; i < text.size() && isDigit(text[i]); ++i, ++expDigits) plain += char(text[i].unicode());
    if (expDigits == 0) return std::nullopt;
  }
  if (i != text.size()) return std::nullopt;
  double value = 0;
  auto res = std::from_chars(plain.data(), plain.data() + plain.size(), value);
  if (res.ptr != plain.data() + plain.size()) return std::nullopt;
  if (res.ec == std::errc::result_out_of_range) {
    // Too small for a double is the nearest double, zero; too large stays
    // beyond the range.
    if (!belowDoubleRange(plain)) return std::nullopt;
    return plain.front() == '-' ? -0.0 : 0.0;
  }
  if (res.ec != std::errc()) return std::nullopt;
  return value;
}

[[noreturn]] void abandonFloat(const QString& text) {
  throw AbortAction(QStringLiteral("'%1' is not a valid floating point value").arg(text));
}

}  // namespace

std::optional<qint32> tryParseIntText(const QString& text) {
  qsizetype i = 0;
  while (i < text.size() && (text[i] == u' ' || text[i] == u'\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';

  const QStringView rest = QStringView(text).mid(i);
  qsizetype prefix = 0;
  if (rest.startsWith(u"0x") || rest.startsWith(u"0X"))
    prefix = 2;
  else if (rest.startsWith(u'$') || rest.startsWith(u'x') || rest.startsWith(u'X'))
    prefix = 1;

  if (prefix > 0) {
    const QStringView digits = rest.mid(prefix);
    if (digits.isEmpty() || digits.size() > 8) return std::nullopt;
    quint32 pattern = 0;
    for (QChar c : digits) {
      const int v = hexValue(c);
      if (v < 0) return std::nullopt;
      pattern = (pattern << 4) | quint32(v);
    }
    if (negative) pattern = 0u - pattern;
    return qint32(pattern);
  }

  if (rest.isEmpty()) return std::nullopt;
  qint64 value = 0;
  const qint64 limit = negative ? 2147483648LL : 2147483647LL;
  for (QChar c : rest) {
    if (!isDigit(c)) return std::nullopt;
    value = value * 10 + (c.unicode() - u'0');
    if (value > limit) return std::nullopt;
  }
  return qint32(negative ? -value : value);
}

qint32 ParseIntText(const QString& text) {
  if (auto value = tryParseIntText(text)) return *value;
  throw AbortAction(QStringLiteral("'%1' is not a valid integer value").arg(text));
}

std::optional<double> convertRegional(const QString& text) {
  return convertWithSeparator(text.trimmed(), decimalSeparator(), true);
}

double convertRegionalOrAbort(const QString& text) {
  if (auto value = convertRegional(text)) return *value;
  abandonFloat(text);
}

bool ParseEditNumber(QString& text, double& value, Messages& messages, const EditNumberRule& rule) {
  if (rule.removeSpaces) text.remove(u' ');

  const bool rejected = [&] {
    if (text.isEmpty() || (rule.rejectLoneMinus && text == QStringLiteral("-"))) return true;
    for (QChar c : text)
      if (!isDigit(c) && c != u',' && c != u'.' && c != u'-') return true;
    return false;
  }();
  if (rejected) {
    text = QString::fromUtf8("Ошибка");
    value = 0;
    messages.show(QString::fromUtf8("Ошибка! Текстовое значение в поле ввода!"));
    return false;
  }

  double sign = 1;
  if (text.startsWith(u'-')) {
    sign = -1;
    text.remove(0, 1);
  }
  const qsizetype point = text.indexOf(u'.');
  if (point >= 0) text[point] = u',';

  if (rule.scratch) rule.scratch(text);
  const auto number = convertWithSeparator(text, u',', false);
  if (!number) abandonFloat(text);
  value = *number * sign;
  return true;
}

}  // namespace calorix
