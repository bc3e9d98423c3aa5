#include "core/NumberText.h"

#include <QLocale>

#include <charconv>
#include <cmath>
#include <limits>
#include <optional>
#include <string>

namespace calorix {

namespace {

std::optional<QChar>& separatorSetting() {
  static std::optional<QChar> separator;
  return separator;
}

}  // namespace

void setDecimalSeparator(QChar separator) {
  separatorSetting() = separator;
}

QChar decimalSeparator() {
  auto& separator = separatorSetting();
  if (!separator) {
    const QString point = QLocale::system().decimalPoint();
    separator = point.isEmpty() ? QChar(u'.') : point.front();
  }
  return *separator;
}

QString decimalText(qint64 value) {
  return QString::number(value);
}

QString generalText(double value) {
  if (std::isnan(value)) return QStringLiteral("NAN");
  if (std::isinf(value)) return value < 0 ? QStringLiteral("-INF") : QStringLiteral("INF");
  if (value == 0) return QStringLiteral("0");

  // 15 significant digits, correctly rounded: d.dddddddddddddde[+-]x
  char buf[64];
  auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific, 14);
  std::string sci(buf, res.ptr);
  const auto e = sci.find('e');
  const int exponent = std::stoi(sci.substr(e + 1));
  const bool negative = sci[0] == '-';
  std::string mantissa = sci.substr(negative ? 1 : 0, e - (negative ? 1 : 0));
  std::string digits;
  for (char c : mantissa)
    if (c != '.') digits += c;
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();

  std::string text;
  if (exponent < -5 || exponent >= 15) {
    text = digits.substr(0, 1);
    if (digits.size() > 1) text += '.' + digits.substr(1);
    text += 'E' + std::to_string(exponent);
  } else if (exponent < 0) {
    text = "0." + std::string(std::size_t(-exponent - 1), '0') + digits;
  } else {
    const std::size_t whole = std::size_t(exponent) + 1;
    if (digits.size() <= whole) {
      text = digits + std::string(whole - digits.size(), '0');
    } else {
      text = digits.substr(0, whole) + '.' + digits.substr(whole);
    }
  }
  QString out = QString::fromStdString((negative ? "-" : "") + text);
  out.replace(u'.', decimalSeparator());
  return out;
}

QString fixedText(double value, int width, int digits) {
  if (digits < 0) digits = 0;
  if (value == 0) value = 0.0;                       // no "-0.00"
  std::string buf(std::size_t(digits) + 340, '\0');  // room for 1e308 in full
  auto res =
      std::to_chars(buf.data(), buf.data() + buf.size(), value, std::chars_format::fixed, digits);
  QString text = QString::fromLatin1(buf.data(), res.ptr - buf.data());
  if (text.size() < width) text = QString(width - text.size(), u' ') + text;
  return text;
}

QString fixedTextSingle(double value, int width, int digits) {
  return fixedText(double(static_cast<float>(value)), width, digits);
}

QString hex2(std::uint8_t value) {
  return QStringLiteral("%1").arg(unsigned(value), 2, 16, QLatin1Char('0')).toUpper();
}

qint64 roundHalfEven(double value) {
  if (std::isnan(value)) return 0;
  // 2^63 is the first double beyond the range.
  if (value >= 9223372036854775808.0) return std::numeric_limits<qint64>::max();
  if (value < -9223372036854775808.0) return std::numeric_limits<qint64>::min();
  const double whole = std::floor(value);
  const double fraction = value - whole;
  double rounded = whole;
  if (fraction > 0.5 || (fraction == 0.5 && std::fmod(whole, 2.0) != 0)) rounded = whole + 1;
  return qint64(rounded);
}

}  // namespace calorix
