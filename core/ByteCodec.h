#pragma once
// How the controller stores numbers, for every side that reads or writes its
// memory: little-endian words, 16.16 fixed point, an 8-bit binary fraction,
// sign-magnitude words and sign flags kept in a separate byte.
#include <cmath>
#include <cstdint>
#include <optional>

#include "core/NumberText.h"

namespace calorix::ctl {

// ---- addresses: 16 bits, low byte first on the wire --------------------------
inline constexpr std::uint8_t lowByte(std::uint16_t v) {
  return std::uint8_t(v & 0xFF);
}
inline constexpr std::uint8_t highByte(std::uint16_t v) {
  return std::uint8_t(v >> 8);
}

// ---- little-endian words -------------------------------------------------------
inline constexpr std::uint16_t le16(const std::uint8_t* p) {
  return std::uint16_t(p[0] | (p[1] << 8));
}
inline constexpr std::uint32_t le32(const std::uint8_t* p) {
  return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
         (std::uint32_t(p[3]) << 24);
}
// The same four bytes taken as a two's-complement number.
inline constexpr std::int32_t le32s(const std::uint8_t* p) {
  return std::int32_t(le32(p));
}
// Three bytes (the corrected temperature of the telemetry frame).
inline constexpr std::uint32_t le24(const std::uint8_t* p) {
  return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16);
}
inline constexpr void putLe16(std::uint8_t* p, std::uint16_t v) {
  p[0] = std::uint8_t(v);
  p[1] = std::uint8_t(v >> 8);
}
inline constexpr void putLe32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = std::uint8_t(v >> (8 * i));
}

// ---- fixed point ---------------------------------------------------------------
inline constexpr double kFixed1616 = 65536.0;
inline constexpr double kFraction8 = 256.0;

// A 16.16 value: the integer divided by 65536.
inline constexpr double fromFixed1616(std::int64_t raw) {
  return double(raw) / kFixed1616;
}
// An 8-bit fraction: the integer divided by 256.
inline constexpr double fromFraction8(std::int64_t raw) {
  return double(raw) / kFraction8;
}

// value to the nearest integer, halves to the even neighbour (1000.5 -> 1000,
// 1001.5 -> 1002), as the low 32 bits of that integer; empty when the value
// is not finite or too large to round at all.
inline std::optional<std::int32_t> toWholeWord(double value) {
  // Beyond 2^62 no rounding is needed and none would fit a 64-bit integer.
  if (!std::isfinite(value) || std::fabs(value) >= 4.0e18) return std::nullopt;
  return std::int32_t(std::uint32_t(std::uint64_t(roundHalfEven(value))));
}
// value x 65536 as above: the 16.16 word of a coefficient.
inline std::optional<std::int32_t> toFixed1616(double value) {
  return toWholeWord(value * kFixed1616);
}

// ---- signs kept beside the value ------------------------------------------------
// Sign-magnitude 32-bit word: bit 31 the sign, the rest the magnitude.
inline constexpr bool signMagnitudeNegative(std::uint32_t raw) {
  return (raw & 0x80000000u) != 0;
}
inline constexpr std::uint32_t signMagnitudeValue(std::uint32_t raw) {
  return raw & 0x7FFFFFFFu;
}
// A sign flag byte: the bit set means the quantity it belongs to is negative.
inline constexpr bool flagSet(std::uint8_t flags, std::uint8_t bit) {
  return (flags & bit) != 0;
}

}  // namespace calorix::ctl
