// An unsigned 128-bit number as the NVMe logs and Identify data keep their
// counters and capacities (16 bytes, little-endian). Written with 32-bit
// limbs so that it needs no compiler 128-bit type (the 32-bit build has none).
#pragma once

#include <cstdint>
#include <string>

namespace dt {

struct Uint128 {
  std::uint64_t lo = 0;
  std::uint64_t hi = 0;

  constexpr Uint128() = default;
  constexpr Uint128(std::uint64_t low) : lo(low) {}  // NOLINT: a widening conversion
  constexpr Uint128(std::uint64_t high, std::uint64_t low) : lo(low), hi(high) {}

  // 16 bytes, least significant first.
  static Uint128 FromLe(const std::uint8_t* bytes);

  bool IsZero() const { return lo == 0 && hi == 0; }
  bool FitsIn64() const { return hi == 0; }

  friend bool operator==(const Uint128& a, const Uint128& b) = default;
  friend bool operator<(const Uint128& a, const Uint128& b) {
    return a.hi != b.hi ? a.hi < b.hi : a.lo < b.lo;
  }
};

// v * m; `overflow` (when given) tells whether the product needed more than
// 128 bits (the result then holds its low 128 bits).
Uint128 Multiply(Uint128 v, std::uint32_t m, bool* overflow = nullptr);
// v / d with the remainder in `rem`; d must not be 0.
Uint128 Divide(Uint128 v, std::uint32_t d, std::uint32_t* rem = nullptr);

// The exact decimal digits ("340282366920938463463374607431768211455").
std::string ToDecimal(Uint128 v);
// The exact decimal digits in groups of three with the thousands separator
// of the current number format ("12,345,678").
std::string ToGroupedDecimal(Uint128 v);
// A byte count with a decimal unit and three significant digits, as drive
// makers state capacities: "6.32 TB", "512 GB", "999 B".
std::string SiBytesText(Uint128 bytes);
// The nearest double (for ratios and the unit text).
double ToDouble(Uint128 v);

}  // namespace dt
