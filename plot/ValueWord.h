#pragma once
// One trend value in 32 bits, losslessly: what the frames and the logs carry
// is almost always a float exactly (temperatures in 1/256 °C, actions in
// 1/65536, whole powers), or a short decimal a log wrote ("12,34" of a fixed
// 5:2 text). Those fit the word; any other value is marked and kept whole
// beside the column by its caller, so a value read back is the very double
// that went in and an export prints the same digits as before.
//
// A word is either the bits of a float (never a NaN or an infinity), or one
// of the NaN patterns below (s: the sign bit):
//   0x7FC00000                      absent
//   s 11111111 1 ee mmmm..m (20)    decimal: (-1)^s * m / 10^(e+1)
//   s 11111111 0 kkkk..k (22)       kept aside as number s:k (1 .. 2^23 - 1)
//   0x7F800000                      kept aside, found by the sample's index
#include <array>
#include <bit>
#include <cfloat>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace calorix::plot::word {

inline constexpr std::uint32_t kAbsent = 0x7FC00000u;
inline constexpr std::uint32_t kKeptFar = 0x7F800000u;
inline constexpr std::size_t kMaxAside = (std::size_t(1) << 23) - 1;

namespace detail {
inline constexpr std::uint32_t kNanExponent = 0x7F800000u;
inline constexpr std::uint32_t kDecimalTag = 0x00400000u;
inline constexpr int kDecimalShift = 20;
inline constexpr std::uint32_t kMantissaMask = (1u << kDecimalShift) - 1;
inline constexpr std::array<double, 4> kPowers{10.0, 100.0, 1000.0, 10000.0};
}  // namespace detail

inline bool isFloat(std::uint32_t w) {
  return (w & detail::kNanExponent) != detail::kNanExponent;
}
inline bool isAside(std::uint32_t w) {
  return !isFloat(w) && !(w & detail::kDecimalTag);
}
// The word of the k-th value kept aside (1 .. kMaxAside), and back (0: kKeptFar).
inline std::uint32_t asideWord(std::size_t k) {
  return detail::kNanExponent | std::uint32_t(k & 0x3FFFFF) | std::uint32_t(k >> 22) << 31;
}
inline std::size_t asideNumber(std::uint32_t w) {
  return std::size_t(w & 0x3FFFFF) | std::size_t(w >> 31) << 22;
}

// The word of v; nullopt when v must be kept aside (the caller then stores
// the double and its asideWord, or kKeptFar).
inline std::optional<std::uint32_t> encode(double v) {
  using namespace detail;
  if (std::isnan(v)) return kAbsent;
  if (std::fabs(v) <= double(FLT_MAX)) {
    const float f = float(v);
    if (double(f) == v) return std::bit_cast<std::uint32_t>(f);
  } else {
    return std::nullopt;  // infinities and beyond a float's range
  }
  const double magnitude = std::fabs(v);
  for (std::size_t e = 0; e < kPowers.size(); ++e) {
    const double scaled = std::round(magnitude * kPowers[e]);
    if (scaled > double(kMantissaMask)) break;
    if (scaled / kPowers[e] != magnitude) continue;
    const std::uint32_t sign = std::signbit(v) ? 0x80000000u : 0u;
    return sign | kNanExponent | kDecimalTag | std::uint32_t(e) << kDecimalShift |
           std::uint32_t(scaled);
  }
  return std::nullopt;
}

// The value of a word that is not kept aside; NaN for kAbsent.
inline double decode(std::uint32_t w) {
  using namespace detail;
  if (isFloat(w)) return double(std::bit_cast<float>(w));
  if (w == kAbsent || !(w & kDecimalTag)) return std::nan("");
  const double magnitude = double(w & kMantissaMask) / kPowers[(w >> kDecimalShift) & 0x3u];
  return (w & 0x80000000u) ? -magnitude : magnitude;
}

}  // namespace calorix::plot::word
