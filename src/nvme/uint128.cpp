#include "nvme/uint128.h"

#include <algorithm>
#include <iterator>

#include "base/text.h"

namespace dt {

namespace {

// Limb i holds bits 32*i to 32*i+31.
void ToLimbs(Uint128 v, std::uint32_t limbs[4]) {
  limbs[0] = static_cast<std::uint32_t>(v.lo);
  limbs[1] = static_cast<std::uint32_t>(v.lo >> 32);
  limbs[2] = static_cast<std::uint32_t>(v.hi);
  limbs[3] = static_cast<std::uint32_t>(v.hi >> 32);
}

Uint128 FromLimbs(const std::uint32_t limbs[4]) {
  return Uint128(static_cast<std::uint64_t>(limbs[3]) << 32 | limbs[2],
                 static_cast<std::uint64_t>(limbs[1]) << 32 | limbs[0]);
}

}  // namespace

Uint128 Uint128::FromLe(const std::uint8_t* bytes) {
  Uint128 v;
  for (int i = 7; i >= 0; --i) v.lo = (v.lo << 8) | bytes[i];
  for (int i = 15; i >= 8; --i) v.hi = (v.hi << 8) | bytes[i];
  return v;
}

Uint128 Multiply(Uint128 v, std::uint32_t m, bool* overflow) {
  std::uint32_t limbs[4];
  ToLimbs(v, limbs);
  std::uint64_t carry = 0;
  for (std::uint32_t& l : limbs) {
    const std::uint64_t p = static_cast<std::uint64_t>(l) * m + carry;
    l = static_cast<std::uint32_t>(p);
    carry = p >> 32;
  }
  if (overflow) *overflow = carry != 0;
  return FromLimbs(limbs);
}

Uint128 Divide(Uint128 v, std::uint32_t d, std::uint32_t* rem) {
  std::uint32_t limbs[4];
  ToLimbs(v, limbs);
  std::uint64_t r = 0;
  for (int i = 3; i >= 0; --i) {
    const std::uint64_t cur = (r << 32) | limbs[i];
    limbs[i] = static_cast<std::uint32_t>(cur / d);
    r = cur % d;
  }
  if (rem) *rem = static_cast<std::uint32_t>(r);
  return FromLimbs(limbs);
}

std::string ToDecimal(Uint128 v) {
  if (v.FitsIn64()) return std::to_string(v.lo);
  std::string out;
  while (!v.IsZero()) {
    std::uint32_t r = 0;
    v = Divide(v, 1000000000u, &r);
    // Nine digits per step, zero-filled except for the leading group.
    for (int i = 0; i < 9 && (r != 0 || !v.IsZero()); ++i) {
      out.push_back(static_cast<char>('0' + r % 10));
      r /= 10;
    }
  }
  std::reverse(out.begin(), out.end());
  return out;
}

std::string ToGroupedDecimal(Uint128 v) {
  const std::string digits = ToDecimal(v);
  const std::string& sep = CurrentNumberFormat().thousands;
  std::string out;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += sep;
    out += digits[i];
  }
  return out;
}

double ToDouble(Uint128 v) {
  return static_cast<double>(v.hi) * 18446744073709551616.0 + static_cast<double>(v.lo);
}

std::string SiBytesText(Uint128 bytes) {
  static const char* const kUnits[] = {"B",  "kB", "MB", "GB", "TB", "PB",
                                       "EB", "ZB", "YB", "RB", "QB"};
  double v = ToDouble(bytes);
  std::size_t unit = 0;
  while (v >= 999.5 && unit + 1 < std::size(kUnits)) {
    v /= 1000;
    ++unit;
  }
  // Three significant digits; whole bytes have no decimals.
  const int decimals = unit == 0 || v >= 99.95 ? 0 : v >= 9.995 ? 1 : 2;
  return NumberText(v, 15, decimals) + " " + kUnits[unit];
}

}  // namespace dt
