// Text helpers shared by every subsystem: system error texts, locale-grouped
// numbers, zero-padded numbers, durations, and character-counting width
// helpers for UTF-8 report text.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace dt {

// The separators of the user's locale. Read once at start from the
// environment (LC_NUMERIC / LANG on Linux, the user locale on Windows);
// tests set it explicitly.
struct NumberFormat {
  std::string thousands = ",";
  std::string decimal = ".";
};
const NumberFormat& CurrentNumberFormat();
void SetNumberFormat(const NumberFormat& f);
// The format of the user's locale, as the program reads it at start.
NumberFormat LocaleNumberFormat();

// Sets a format for the lifetime of the guard and restores the one before
// (tests).
class ScopedNumberFormat {
 public:
  explicit ScopedNumberFormat(const NumberFormat& f) : saved_(CurrentNumberFormat()) {
    SetNumberFormat(f);
  }
  ~ScopedNumberFormat() { SetNumberFormat(saved_); }
  ScopedNumberFormat(const ScopedNumberFormat&) = delete;
  ScopedNumberFormat& operator=(const ScopedNumberFormat&) = delete;

 private:
  NumberFormat saved_;
};

// " Error Code = " + code (unsigned decimal) + " " + the system's text of the
// code without its trailing line break (empty when the system has none).
std::string SystemErrorText(std::uint32_t code);

// The grouped fixed-point form of v: thousands separators, exactly d
// decimals (rounded), at most p significant digits; a value with more than p
// integer digits is written in exponent form ("1.2345E13").
std::string NumberText(double v, int p, int d);
// NumberText(v, 14, 0) of a 64-bit integer.
std::string GroupedNumber(std::int64_t v);
// Right-aligned number of `width` characters, zero- or blank-filled;
// `width` asterisks when the digits do not fit.
std::string PadNumber(std::int64_t n, int width, bool zeroFill);
// [days " dey "] hh:mm:ss of a signed 32-bit number of seconds.
std::string DurationText(std::int32_t s);

// Hexadecimal, upper case, at least `digits` digits.
std::string HexText(std::uint64_t v, int digits);

// Character-based width helpers for UTF-8 text: every padding and width in
// the reports counts characters (code points), not bytes.
std::size_t CharCount(std::string_view s);
std::string PadRight(std::string_view s, std::size_t width);  // blanks after
std::string PadLeft(std::string_view s, std::size_t width);   // blanks before
// The first n characters of s (whole code points).
std::string LeftChars(std::string_view s, std::size_t n);

}  // namespace dt
