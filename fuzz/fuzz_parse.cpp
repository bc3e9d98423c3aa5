// ParseIntText and ParseEditNumber against their rules, written out again
// here as plainly as they are documented.
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstring>
#include <optional>
#include <string>

#include "core/Abort.h"
#include "core/Parse.h"
#include "fuzz/FuzzInput.h"

using namespace calorix;

namespace {

class NoBoxes : public Messages {
 public:
  void show(const QString&) override { ++shown; }
  bool askOkCancel(const QString&) override { return true; }
  int shown = 0;
};

// Leading blanks, an optional sign, then decimal digits in the 32-bit range,
// or 1..8 hex digits after "$", "x", "X", "0x", "0X"; nothing after.
std::optional<qint32> intRule(const QString& t) {
  qsizetype i = 0;
  while (i < t.size() && (t[i] == u' ' || t[i] == u'\t')) ++i;
  bool neg = false;
  if (i < t.size() && (t[i] == u'+' || t[i] == u'-')) neg = t[i++] == u'-';
  QString rest = t.mid(i);
  bool hex = false;
  for (const char* p : {"0x", "0X", "$", "x", "X"})
    if (rest.startsWith(QLatin1String(p))) {
      rest = rest.mid(qsizetype(std::strlen(p)));
      hex = true;
      break;
    }
  if (rest.isEmpty()) return std::nullopt;
  if (hex) {
    if (rest.size() > 8) return std::nullopt;
    bool ok = false;
    const quint32 v = rest.toUInt(&ok, 16);
    for (QChar c : rest)
      if (!std::isxdigit(c.unicode() < 128 ? int(c.unicode()) : 'g')) return std::nullopt;
    if (!ok) return std::nullopt;
    return qint32(neg ? 0u - v : v);
  }
  for (QChar c : rest)
    if (c < u'0' || c > u'9') return std::nullopt;
  // Leading zeros do not count towards the range.
  QString digits = rest;
  while (digits.size() > 1 && digits.front() == u'0') digits.remove(0, 1);
  if (digits.size() > 10) return std::nullopt;
  const qint64 v = digits.toLongLong();
  if (neg ? v > 2147483648LL : v > 2147483647LL) return std::nullopt;
  return qint32(neg ? -v : v);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::Input in(data, size);
  // Texts from a small alphabet reach the interesting cases far sooner.
  static const char kAlphabet[] = "0123456789 -+,.xX$aAfF\te0";
  QString text;
  const bool plainBytes = in.byte() & 1;
  while (!in.empty() && text.size() < 400) {
    const std::uint8_t b = in.byte();
    text += plainBytes ? QChar(b) : QChar(kAlphabet[b % (sizeof kAlphabet - 1)]);
  }

  const auto parsed = tryParseIntText(text);
  const auto rule = intRule(text);
  FUZZ_CHECK(parsed.has_value() == rule.has_value(), "ParseIntText accepts what the rule accepts");
  if (parsed) FUZZ_CHECK(*parsed == *rule, "ParseIntText gives the rule's value");
  try {
    const qint32 v = ParseIntText(text);
    FUZZ_CHECK(parsed && v == *parsed, "ParseIntText throws exactly on rejection");
  } catch (const AbortAction& a) {
    FUZZ_CHECK(!parsed, "ParseIntText throws exactly on rejection");
    FUZZ_CHECK(a.message() == QStringLiteral("'%1' is not a valid integer value").arg(text),
               "the rejection message names the text");
  }

  // ParseEditNumber: spaces go; empty, "-" or a character other than digits,
  // ",", "." and "-" is rejected with the field error.
  NoBoxes boxes;
  QString field = text;
  double value = 42;
  QString stripped = text;
  stripped.remove(u' ');
  bool badChar = stripped.isEmpty() || stripped == QStringLiteral("-");
  for (QChar c : stripped)
    if (!(c >= u'0' && c <= u'9') && c != u',' && c != u'.' && c != u'-') badChar = true;
  try {
    const bool ok = ParseEditNumber(field, value, boxes);
    FUZZ_CHECK(ok == !badChar, "ParseEditNumber rejects exactly the bad texts");
    if (!ok) {
      FUZZ_CHECK(field == QString::fromUtf8("Ошибка") && value == 0 && boxes.shown == 1,
                 "a rejection shows the field error");
    } else {
      FUZZ_CHECK(std::isfinite(value), "an accepted number is finite");
      // Sign, then digits with one separator: the value is what they say.
      QString body = stripped;
      const bool negative = body.startsWith(u'-');
      if (negative) body.remove(0, 1);
      std::string plain = body.toStdString();
      for (char& c : plain)
        if (c == ',' || c == '.') c = '.';
      double expect = 0;
      const auto r = std::from_chars(plain.data(), plain.data() + plain.size(), expect);
      if (r.ec == std::errc() && r.ptr == plain.data() + plain.size())
        FUZZ_CHECK(value == (negative ? -expect : expect), "the value of the digits");
      // Out of range and still accepted: too small for a double, so zero.
      if (r.ec == std::errc::result_out_of_range)
        FUZZ_CHECK(value == 0, "a number too small for a double is zero");
    }
  } catch (const AbortAction& a) {
    FUZZ_CHECK(!badChar, "only texts that pass the checks fail to convert");
    FUZZ_CHECK(a.message().endsWith(QStringLiteral("' is not a valid floating point value")),
               "the conversion failure message");
  }
  return 0;
}
