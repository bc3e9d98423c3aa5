#pragma once
// How the firmware puts its own numbers into memory: rounded half away from
// zero and saturated rather than wrapped, magnitudes with their signs kept
// apart in flag bits.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "core/ByteCodec.h"

namespace calorix::sim {

// value as a 16.16 word, saturated to the signed 32-bit range.
inline std::int32_t fixed1616Saturated(double value) {
  return std::int32_t(
      std::clamp(std::llround(value * ctl::kFixed1616), -2147483647ll, 2147483647ll));
}

// |value| x scale as an unsigned word, saturated at its top.
inline std::uint32_t magnitudeWord(double value, double scale) {
  return std::uint32_t(std::min(std::llround(std::abs(value) * scale), 0xFFFFFFFFll));
}

// A sign-magnitude word: the magnitude in bits 0..30, bit 31 set for a negative
// value; a zero magnitude is never negative.
inline std::uint32_t signMagnitudeWord(std::uint32_t magnitude, bool negative) {
  constexpr std::uint32_t kSignBit = 0x80000000u;
  const std::uint32_t m = magnitude & ~kSignBit;
  return m | (negative && m ? kSignBit : 0u);
}

inline void setFlag(std::uint8_t& byte, std::uint8_t mask, bool on) {
  byte = on ? std::uint8_t(byte | mask) : std::uint8_t(byte & ~mask);
}

}  // namespace calorix::sim
