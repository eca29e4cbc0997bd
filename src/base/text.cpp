#include "base/text.h"

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <locale>
#include <mutex>

#include "platform/platform.h"

// Every build rounds each operation to double as it is written (SSE2 on
// 32-bit x86): the figures printed, and those a caller computes again from
// the same numbers, agree to the last digit on every platform.
static_assert(FLT_EVAL_METHOD == 0, "build with -msse2 -mfpmath=sse on 32-bit x86");

namespace dt {

namespace {

std::mutex g_formatMutex;
NumberFormat* g_format = nullptr;

std::string Utf8Of(wchar_t c) {
  std::string out;
  auto u = static_cast<std::uint32_t>(c);
  if (u < 0x80) {
    out += static_cast<char>(u);
  } else if (u < 0x800) {
    out += static_cast<char>(0xC0 | (u >> 6));
    out += static_cast<char>(0x80 | (u & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (u >> 12));
    out += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (u & 0x3F));
  }
  return out;
}

// Inserts the thousands separator into a string of decimal digits.
std::string GroupDigits(const std::string& digits, const std::string& sep) {
  std::string out;
  const std::size_t n = digits.size();
  for (std::size_t i = 0; i < n; ++i) {
    if (i > 0 && (n - i) % 3 == 0) out += sep;
    out += digits[i];
  }
  return out;
}

}  // namespace

NumberFormat LocaleNumberFormat() {
  NumberFormat f;
  try {
    std::locale loc("");
    const auto& np = std::use_facet<std::numpunct<wchar_t>>(loc);
    // A locale without grouping (the C locale) keeps the English separators.
    if (!np.grouping().empty()) {
      f.thousands = Utf8Of(np.thousands_sep());
      f.decimal = Utf8Of(np.decimal_point());
    }
  } catch (...) {
    // An unknown locale name in the environment: English separators.
  }
  return f;
}

const NumberFormat& CurrentNumberFormat() {
  std::lock_guard<std::mutex> lock(g_formatMutex);
  if (!g_format) g_format = new NumberFormat(LocaleNumberFormat());
  return *g_format;
}

void SetNumberFormat(const NumberFormat& f) {
  std::lock_guard<std::mutex> lock(g_formatMutex);
  if (!g_format) {
    g_format = new NumberFormat(f);
  } else {
    *g_format = f;
  }
}

std::string SystemErrorText(std::uint32_t code) {
  std::string msg = Sys().ErrorText(code);
  // The system's text ends in a line break, which is dropped.
  msg = msg.size() >= 3 ? msg.substr(0, msg.size() - 2) : std::string();
  return " Error Code = " + std::to_string(code) + " " + msg;
}

std::string NumberText(double v, int p, int d) {
  const NumberFormat& f = CurrentNumberFormat();
  if (std::isnan(v)) return "NAN";
  if (std::isinf(v)) return v < 0 ? "-INF" : "INF";
  if (p < 1) p = 1;
  if (p > 18) p = 18;
  if (d < 0) d = 0;
  if (d > 18) d = 18;

  char buf[512];
  // The decimal exponent after rounding to p significant digits.
  std::snprintf(buf, sizeof buf, "%.*e", p - 1, v);
  const char* e = std::strchr(buf, 'e');
  const int exponent = e ? std::atoi(e + 1) : 0;
  const bool zero = (v == 0.0);
  const int intDigits = zero ? 1 : exponent + 1;

  if (!zero && intDigits > p) {
    // Exponent form: the p significant digits without trailing zeros,
    // "E" and the exponent.
    std::string mant(buf, static_cast<std::size_t>(e - buf));
    bool neg = false;
    if (!mant.empty() && mant[0] == '-') {
      neg = true;
      mant.erase(0, 1);
    }
    std::string intPart = mant.substr(0, 1);
    std::string frac = mant.size() > 2 ? mant.substr(2) : std::string();
    while (!frac.empty() && frac.back() == '0') frac.pop_back();
    std::string out = neg ? "-" : "";
    out += intPart;
    if (!frac.empty()) out += f.decimal + frac;
    out += "E" + std::to_string(exponent);
    return out;
  }

  // One rounding: to p significant digits or d decimals, whichever keeps fewer.
  int decimals = d;
  if (!zero && p - intDigits < decimals) decimals = p - intDigits;
  if (decimals < 0) decimals = 0;
  std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
  std::string s(buf);
  bool neg = false;
  if (!s.empty() && s[0] == '-') {
    neg = true;
    s.erase(0, 1);
  }
  std::string intPart = s;
  std::string frac;
  const auto dot = s.find('.');
  if (dot != std::string::npos) {
    intPart = s.substr(0, dot);
    frac = s.substr(dot + 1);
  }
  while (static_cast<int>(frac.size()) < d) frac += '0';
  // A value that rounds to zero has no sign.
  if (neg && intPart.find_first_not_of('0') == std::string::npos &&
      frac.find_first_not_of('0') == std::string::npos)
    neg = false;
  std::string out = neg ? "-" : "";
  out += GroupDigits(intPart, f.thousands);
  if (d > 0) out += f.decimal + frac;
  return out;
}

std::string GroupedNumber(std::int64_t v) { return NumberText(static_cast<double>(v), 14, 0); }

std::string PadNumber(std::int64_t n, int width, bool zeroFill) {
  std::string sign;
  std::uint64_t mag = static_cast<std::uint64_t>(n);
  if (n < 0) {
    sign = "-";
    mag = 0 - mag;
  }
  const std::string digits = std::to_string(mag);
  const int room = width - static_cast<int>(sign.size());
  if (static_cast<int>(digits.size()) > room) return std::string(width > 0 ? width : 0, '*');
  if (zeroFill) return sign + std::string(static_cast<std::size_t>(room) - digits.size(), '0') + digits;
  std::string body = sign + digits;
  if (static_cast<int>(body.size()) < room)
    body = std::string(static_cast<std::size_t>(room) - body.size(), ' ') + body;
  return body;
}

std::string DurationText(std::int32_t s) {
  const std::int32_t days = (s / 3600) / 24;
  const std::int32_t hours = (s / 3600) % 24;
  const std::int32_t minutes = (s / 60) % 60;
  const std::int32_t seconds = s % 60;
  std::string out;
  if (days > 0) out = std::to_string(days) + " dey ";
  out += PadNumber(hours, 2, true) + ":" + PadNumber(minutes, 2, true) + ":" +
         PadNumber(seconds, 2, true);
  return out;
}

std::string HexText(std::uint64_t v, int digits) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%0*llX", digits, static_cast<unsigned long long>(v));
  return buf;
}

std::size_t CharCount(std::string_view s) {
  std::size_t n = 0;
  for (unsigned char c : s)
    if ((c & 0xC0) != 0x80) ++n;
  return n;
}

std::string PadRight(std::string_view s, std::size_t width) {
  std::string out(s);
  const std::size_t n = CharCount(s);
  if (n < width) out.append(width - n, ' ');
  return out;
}

std::string PadLeft(std::string_view s, std::size_t width) {
  const std::size_t n = CharCount(s);
  std::string out;
  if (n < width) out.assign(width - n, ' ');
  out += s;
  return out;
}

std::string LeftChars(std::string_view s, std::size_t n) {
  std::size_t chars = 0;
  std::size_t i = 0;
  for (; i < s.size(); ++i) {
    if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) {
      if (chars == n) break;
      ++chars;
    }
  }
  return std::string(s.substr(0, i));
}

}  // namespace dt
