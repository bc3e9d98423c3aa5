#pragma once
// The range a typed integer must keep to be stored in its controller field.
// A value outside it is refused rather than cut to its low bits, so nothing
// different from what was typed is ever written.
#include <QString>
#include <QtGlobal>

namespace calorix {

struct FieldRange {
  qint64 lo;
  qint64 hi;
};

inline constexpr FieldRange kWordRange{0, 65535};
inline constexpr FieldRange kByteCountRange{0, 255};
inline constexpr FieldRange kTemperatureRange{0, 4095};
inline constexpr FieldRange kStabTimeRange{0, 16383};
inline constexpr FieldRange kSpeedRange{0, 15};
inline constexpr FieldRange kStage0Range{0, 65535};

// "Значение 70000 вне диапазона 0..65535"
QString outOfRangeMessage(qint64 value, FieldRange range);
// Throws AbortAction with outOfRangeMessage when value lies outside range. A
// value that does not fit its controller field is refused rather than cut to
// its low bits, so nothing different from what was typed is ever written.
void requireInRange(qint64 value, FieldRange range);

}  // namespace calorix
