#include "panel/PanelDecode.h"

#include "core/NumberText.h"

namespace calorix::panel {

namespace {

QString letters(int n) {
  return QString(n, QLatin1Char('I'));
}
QString rightAligned(int n) {
  return QString(10 - n, QLatin1Char(' ')) + letters(n);
}

// The stabilisation bar shrinks towards the middle for 1..5 and grows from the
// left for 6..10, as the controller's own bar does.
const char* const kStabilising[10] = {"IIIIII", " IIIII", "  IIII", "   III", "    II",
                                      "    II", "III",    "IIII",   "IIIII",  "IIIIII"};

QString dec(unsigned v) {
  return QString::number(v);
}

}  // namespace

QString barText(Bar bar, int level, BarVariant variant) {
  if (level < 1 || level > 10) return QString();
  switch (bar) {
    case Bar::Heating:
      return letters(level);
    case Bar::Stabilising:
      return QString::fromLatin1(kStabilising[level - 1]);
    case Bar::Cooling:
      return variant == BarVariant::ReadOut ? rightAligned(level) : rightAligned(11 - level);
  }
  return QString();
}

QColor barLitColor(Bar bar) {
  switch (bar) {
    case Bar::Heating:
      return paint::kHeatingBar;
    case Bar::Stabilising:
      return paint::kStabilisingBar;
    case Bar::Cooling:
      return paint::kCoolingBar;
  }
  return paint::kSilver;
}

BarPaint decodeBar(Bar bar, std::uint8_t level, BarVariant variant) {
  if (level == 0) return {paint::kSilver, letters(10)};
  BarPaint p{barLitColor(bar), std::nullopt};
  if (level <= 10) p.text = barText(bar, level, variant);
  return p;
}

QString digitPairText(std::uint8_t first, std::uint8_t second) {
  return dec(first) + dec(second);
}

QString parameterText(std::uint8_t d1, std::uint8_t d2, std::uint8_t d3, std::uint8_t d4) {
  const bool comma = (d2 & kCommaBit) != 0;
  QString text = QStringLiteral(" ") + dec(d1) + dec(std::uint8_t(d2 & ~kCommaBit));
  if (comma) text += QLatin1Char(',');
  return text + dec(d3) + dec(d4);
}

Indication decodeIndication(const std::uint8_t* b, BarVariant variant) {
  Indication ind;
  ind.program = digitPairText(b[0], b[1]);
  ind.stage = digitPairText(b[2], b[3]);
  ind.parameter = parameterText(b[4], b[5], b[6], b[7]);
  for (int i = 0; i < 3; ++i) ind.lamps[i] = (b[12] >> i) & 1;
  ind.bars[0] = decodeBar(Bar::Heating, b[8], variant);
  ind.bars[1] = decodeBar(Bar::Stabilising, b[9], variant);
  ind.bars[2] = decodeBar(Bar::Cooling, b[10], variant);
  return ind;
}

BlinkGroups blinkGroups(std::uint8_t flags) {
  return {(flags & 0x03) != 0, (flags & 0x0C) != 0, (flags & 0xF0) != 0};
}

QString sensorTemperatureText(std::uint8_t whole, std::uint8_t fraction) {
  return dec(whole) + QLatin1Char(',') + dec(unsigned(fraction) * 625 / 100);
}

QString readByteText(std::uint8_t byte) {
  return hex2(byte) + QLatin1Char('H');
}

QString ramBytesText(const QString& current, const std::uint8_t* bytes, int count) {
  if (count < 1) return current;
  QString text = hex2(bytes[0]);
  for (int i = 1; i < 8 && count > i; ++i)
    text += QLatin1Char(' ') + hex2(bytes[i]) + QLatin1Char(' ');
  return text;
}

}  // namespace calorix::panel
