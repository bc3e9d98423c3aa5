#pragma once
// Scalings of the controller's calibration coefficient words (plain block
// memory 0x00..0x51): what a raw 32-bit word shows as, and what raw word a
// typed value is stored as. Plain functions, so tests check them without a
// window.
//
// The reads of the amplifier groups divide by 65535 and 6553500 while the
// writes scale by 65536 and 6553600, as the controller's tools always have:
// a value written and read back shows slightly changed.
#include <QString>

#include <array>
#include <cstdint>
#include <optional>

#include "core/ControllerMap.h"

namespace calorix {

struct CoefField {
  const char* name;  // designed name of the field
  quint16 address;
  double readDivisor;  // shown = raw / readDivisor (К: 1 / (raw / readDivisor))
  double writeScale;   // raw = |v| * writeScale (К: |1 / v * 100| * writeScale)
  int width;           // fixed width:decimals on screen
  int decimals;
  bool shownNegative;  // stored as a magnitude and always shown with "-"
  bool reciprocal;     // the gain К
};

// Groups in read/write order.
extern const std::array<CoefField, 2> kAmplifierFields;  // group 1: A, B
extern const CoefField kGainField;                       // group 2: К
extern const std::array<CoefField, 4> kThermoFields;     // group 3: A, B, C, D
extern const std::array<CoefField, 12> kPidFields;       // group 4: AP .. DI

// Text of a raw word read from the controller. Throws AbortAction
// "Floating point division by zero" for a К of raw 0.
QString coefText(const CoefField& field, qint32 raw);

// Result of encoding a typed value: the raw word, or the message that names
// the value and the range when its raw does not fit a signed 32-bit word (or,
// for К, would be 0: a zero gain word has no reciprocal).
struct CoefRaw {
  std::optional<qint32> raw;
  QString error;
};
// Throws AbortAction "Floating point division by zero" for К = 0.
CoefRaw coefRawForWrite(const CoefField& field, double value);

// Group 4 sign-flag word: bit i set means kPidFields[i] is negative.
inline bool pidSignSet(quint16 flags, int index) {
  return (flags >> index) & 1;
}
inline quint16 withPidSign(quint16 flags, int index) {
  return quint16(flags | (1u << index));
}

}  // namespace calorix
