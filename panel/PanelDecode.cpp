#include "panel/PanelDecode.h"

#include "core/ByteCodec.h"
#include "core/ControllerMap.h"
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
  const std::uint8_t commaBit = ctl::indication::kCommaBit;
  const bool comma = (d2 & commaBit) != 0;
  QString text = QStringLiteral(" ") + dec(d1) + dec(std::uint8_t(d2 & ~commaBit));
  if (comma) text += QLatin1Char(',');
  return text + dec(d3) + dec(d4);
}

Indication decodeIndication(const std::uint8_t* bytes, BarVariant variant) {
  namespace ram = ctl::ram;
  namespace ind = ctl::indication;
  // The byte at a RAM address of the indication area.
  const auto at = [bytes](ctl::Addr addr) { return bytes[addr - ram::kIndication]; };
  const auto digit = [&](ctl::Addr first, int k) { return at(ctl::Addr(first + k)); };
  Indication shown;
  shown.program = digitPairText(digit(ram::kProgramDigits, 0), digit(ram::kProgramDigits, 1));
  shown.stage = digitPairText(digit(ram::kStageDigits, 0), digit(ram::kStageDigits, 1));
  shown.parameter = parameterText(digit(ram::kParameterDigits, 0), digit(ram::kParameterDigits, 1),
                                  digit(ram::kParameterDigits, 2), digit(ram::kParameterDigits, 3));
  const std::uint8_t lamps = at(ram::kLamps);
  shown.lamps = {ctl::flagSet(lamps, ind::kLampDegrees), ctl::flagSet(lamps, ind::kLampMinutes),
                 ctl::flagSet(lamps, ind::kLampSpeed)};
  shown.bars[0] = decodeBar(Bar::Heating, at(ram::kHeatingBar), variant);
  shown.bars[1] = decodeBar(Bar::Stabilising, at(ram::kStabilisingBar), variant);
  shown.bars[2] = decodeBar(Bar::Cooling, at(ram::kCoolingBar), variant);
  return shown;
}

MirroredPanel decodeMirroredPanel(const std::uint8_t* ramMirror) {
  return {decodeIndication(ramMirror + ctl::ram::kIndication, BarVariant::Mirror),
          ramMirror[ctl::ram::kBlinkFlags]};
}

BlinkGroups blinkGroups(std::uint8_t flags) {
  namespace ind = ctl::indication;
  return {ctl::flagSet(flags, ind::kBlinkProgram), ctl::flagSet(flags, ind::kBlinkStage),
          ctl::flagSet(flags, ind::kBlinkParameter)};
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
