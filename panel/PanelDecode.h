#pragma once
// Decoding of the controller's panel indication bytes into what the mirrored
// panel shows: display texts with the comma, bar texts and colours, lamp bits,
// blink groups, and the small service-area texts. Plain functions, no widgets.
#include <QColor>
#include <QString>

#include <array>
#include <cstdint>
#include <optional>

namespace calorix::panel {

namespace paint {
inline const QColor kLampLit(0, 255, 0);
inline const QColor kSilver(192, 192, 192);  // unlit lamp, unlit bar, designed lamp
inline const QColor kHeaterOn(255, 0, 0);
inline const QColor kDisplayText(255, 0, 0);
inline const QColor kHeatingBar(255, 0, 0);
inline const QColor kStabilisingBar(0, 255, 0);
inline const QColor kCoolingBar(255, 255, 0);
inline const QColor kLinkGreen(0, 128, 0);
inline const QColor kLinkYellow(255, 255, 0);
inline const QColor kLinkRed(255, 0, 0);
inline const QColor kLinkBlue(0, 0, 255);
inline const QColor kKeyTop(128, 128, 128);
inline const QColor kKeyBottom(160, 160, 164);
}  // namespace paint

enum class Bar { Heating, Stabilising, Cooling };
// The read-out fills the cooling bar from the right; the mirror of a PID frame
// empties it from the right instead (11 - n letters).
enum class BarVariant { ReadOut, Mirror };

// Text of a bar for a level 1..10 (empty for any other level).
QString barText(Bar bar, int level, BarVariant variant);
QColor barLitColor(Bar bar);

// What one bar byte does to its field: level 0 paints it full and silver, a
// level above 0 lights it; only 1..10 replace the text, a level above 10
// keeps the text the field already has.
struct BarPaint {
  QColor color;
  std::optional<QString> text;
};
BarPaint decodeBar(Bar bar, std::uint8_t level, BarVariant variant);

// Unsigned decimal texts of two digit bytes one after the other (12 stays "12").
QString digitPairText(std::uint8_t first, std::uint8_t second);
// " " + d1 d2 ["," if bit 6 of d2] d3 d4; bit 6 of d2 is not part of its digit.
QString parameterText(std::uint8_t d1, std::uint8_t d2, std::uint8_t d3, std::uint8_t d4);

struct Indication {
  QString program;
  QString stage;
  QString parameter;
  std::array<bool, 3> lamps{};   // t°C, Мин, °C/мин
  std::array<BarPaint, 3> bars;  // heating, stabilising, cooling
};
// bytes[0..12] = controller RAM 0x60..0x6C (ctl::ram::kIndication on).
Indication decodeIndication(const std::uint8_t* bytes, BarVariant variant);

// The panel as a PID frame shows it: the indication (the mirror variant of
// the bars) and the blink flags, from the image of controller RAM the frame
// left (index = RAM address).
struct MirroredPanel {
  Indication indication;
  std::uint8_t blinkFlags = 0;
};
MirroredPanel decodeMirroredPanel(const std::uint8_t* ramMirror);

// Which displays go dark in the off phase of the blinking.
struct BlinkGroups {
  bool program = false;
  bool stage = false;
  bool parameter = false;
};
BlinkGroups blinkGroups(std::uint8_t flags);

// Room sensor temperature: whole degrees, "," and the fraction byte x 625 div
// 100 without leading zeros (8 -> ",50", 1 -> ",6").
QString sensorTemperatureText(std::uint8_t whole, std::uint8_t fraction);
// One of the last read bytes as the service area shows it: "0AH".
QString readByteText(std::uint8_t byte);
// The RAM read result: the first byte as hex2, each further byte (up to the
// eighth) as " XX " appended; a count of 0 keeps the current text.
QString ramBytesText(const QString& current, const std::uint8_t* bytes, int count);

}  // namespace calorix::panel
