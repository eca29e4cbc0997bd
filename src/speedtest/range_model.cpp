#include "speedtest/range_model.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "base/notify.h"
#include "base/text.h"

namespace dt {

namespace {

std::string Trimmed(const std::string& s) {
  const auto first = s.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  const auto last = s.find_last_not_of(" \t");
  return s.substr(first, last - first + 1);
}

}  // namespace

bool TextToInt64(const std::string& text, std::int64_t* value) {
  std::string t = Trimmed(text);
  if (!t.empty() && t[0] == '+') t.erase(0, 1);
  if (t.empty() || t[0] == '+') return false;
  std::int64_t v = 0;
  const char* end = t.data() + t.size();
  const auto r = std::from_chars(t.data(), end, v, 10);
  if (r.ec != std::errc() || r.ptr != end) return false;
  *value = v;
  return true;
}

bool TextToInt32(const std::string& text, std::int32_t* value) {
  std::int64_t v = 0;
  if (!TextToInt64(text, &v)) return false;
  if (v < std::numeric_limits<std::int32_t>::min() || v > std::numeric_limits<std::int32_t>::max())
    return false;
  *value = static_cast<std::int32_t>(v);
  return true;
}

bool TextToFloat(const std::string& text, double* value) {
  std::string t = Trimmed(text);
  const NumberFormat& f = CurrentNumberFormat();
  if (!f.decimal.empty() && f.decimal != ".") {
    // The locale's separator becomes a point; a point stays one unless the
    // locale groups thousands with it.
    if (f.thousands == "." && t.find('.') != std::string::npos) return false;
    for (std::size_t at = t.find(f.decimal); at != std::string::npos; at = t.find(f.decimal, at))
      t.replace(at, f.decimal.size(), ".");
  }
  if (!t.empty() && t[0] == '+') t.erase(0, 1);
  if (t.empty() || t[0] == '+') return false;
  double v = 0;
  const char* end = t.data() + t.size();
  const auto r = std::from_chars(t.data(), end, v, std::chars_format::general);
  if (r.ec != std::errc() || r.ptr != end || !std::isfinite(v)) return false;
  *value = v;
  return true;
}

std::string InvalidIntegerText(const std::string& text) {
  return "'" + text + "' is not a valid integer value";
}

std::string InvalidFloatText(const std::string& text) {
  return "'" + text + "' is not a valid floating point value";
}

void ShowConversionError(const std::string& message) {
  Notify().ShowMessage("Error", message);
}

std::int64_t AlignDown(std::int64_t v) {
  return static_cast<std::int64_t>(static_cast<std::uint64_t>(v) & ~std::uint64_t{511});
}

std::int64_t AlignToSectorEnd(std::int64_t v) {
  const std::uint64_t next = static_cast<std::uint64_t>(v) + 1;
  return static_cast<std::int64_t>((next & ~std::uint64_t{511}) - 1);
}

void RangeModel::Prepare(std::int64_t diskSize) {
  RangeAccepted = false;
  RangeStart = 0;
  RangeEnd = diskSize - 1;
  RangeMax = diskSize - 1;
  Label4 = std::to_string(diskSize);
  Edit1 = "0";
  Edit2 = "0";
  Edit3 = std::to_string(diskSize - 1);
  Edit4 = "100";
}

void RangeModel::FormShow() {
  fromGuard_ = false;
  toGuard_ = false;
}

std::string RangeModel::PercentText(std::int64_t v) const {
  // A disk of one byte has no per cent scale; its only offset is 0 %.
  if (RangeMax <= 0) return NumberText(0.0, 12, 7);
  const long double pct = static_cast<long double>(v) * 100.0L / static_cast<long double>(RangeMax);
  return NumberText(static_cast<double>(pct), 12, 7);
}

namespace {

// round(max * p / 100), halves to even, kept inside the 64-bit range.
std::int64_t ValueOfPercent(std::int64_t max, double p) {
  const long double v = std::nearbyint(static_cast<long double>(max) * p / 100.0L);
  constexpr long double kLimit = 9.2e18L;
  if (v >= kLimit) return static_cast<std::int64_t>(kLimit);
  if (v <= -kLimit) return -static_cast<std::int64_t>(kLimit);
  return static_cast<std::int64_t>(v);
}

}  // namespace

bool RangeModel::Edit1Exit() {
  if (fromGuard_) return true;
  std::int64_t v = 0;
  if (!TextToInt64(Edit1, &v)) {
    ShowConversionError(InvalidIntegerText(Edit1));
    return false;
  }
  RangeStart = AlignDown(v);
  Edit1 = std::to_string(RangeStart);
  fromGuard_ = true;
  Edit2 = PercentText(RangeStart);
  fromGuard_ = false;
  return true;
}

bool RangeModel::Edit2Exit() {
  if (fromGuard_) return true;
  double p = 0;
  if (!TextToFloat(Edit2, &p)) {
    ShowConversionError(InvalidFloatText(Edit2));
    return false;
  }
  RangeStart = AlignDown(ValueOfPercent(RangeMax, p));
  Edit1 = std::to_string(RangeStart);
  fromGuard_ = true;
  Edit2 = PercentText(RangeStart);
  fromGuard_ = false;
  return true;
}

bool RangeModel::Edit3Exit() {
  if (toGuard_) return true;
  std::int64_t v = 0;
  if (!TextToInt64(Edit3, &v)) {
    ShowConversionError(InvalidIntegerText(Edit3));
    return false;
  }
  RangeEnd = AlignToSectorEnd(v);
  Edit3 = std::to_string(RangeEnd);
  toGuard_ = true;
  Edit4 = PercentText(RangeEnd);
  toGuard_ = false;
  return true;
}

bool RangeModel::Edit4Exit() {
  if (toGuard_) return true;
  double p = 0;
  if (!TextToFloat(Edit4, &p)) {
    ShowConversionError(InvalidFloatText(Edit4));
    return false;
  }
  RangeEnd = AlignToSectorEnd(ValueOfPercent(RangeMax, p));
  Edit3 = std::to_string(RangeEnd);
  toGuard_ = true;
  Edit4 = PercentText(RangeEnd);
  toGuard_ = false;
  return true;
}

bool RangeModel::RangeValid() const {
  // A range may not begin before the disk does: reads at negative offsets
  // can only fail.
  return RangeStart >= 0 && RangeStart < RangeEnd && RangeStart <= RangeMax && RangeEnd <= RangeMax;
}

bool RangeModel::Button1Click() {
  if (!RangeValid()) {
    Notify().ShowMessage("Data Error", "Invalid range");
    return false;
  }
  RangeAccepted = true;
  return true;
}

void RangeModel::Button2Click() {
  RangeAccepted = false;
}

}  // namespace dt
