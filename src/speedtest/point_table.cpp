#include "speedtest/point_table.h"

#include <charconv>
#include <ostream>

namespace dt {

void PointTable::Clear() {
  std::lock_guard<std::mutex> lock(mu_);
  points_.clear();
  positions_.clear();
}

void PointTable::Append(const SpeedPoint& p, std::int64_t bytePosition) {
  std::lock_guard<std::mutex> lock(mu_);
  points_.push_back(p);
  if (keepPositions_) positions_.push_back(bytePosition);
}

void PointTable::KeepBytePositions(bool keep) {
  std::lock_guard<std::mutex> lock(mu_);
  keepPositions_ = keep;
  if (!keep) positions_.clear();
}

std::vector<std::int64_t> PointTable::BytePositions() const {
  std::lock_guard<std::mutex> lock(mu_);
  return {positions_.begin(), positions_.end()};
}

std::size_t PointTable::Size() const {
  std::lock_guard<std::mutex> lock(mu_);
  return points_.size();
}

SpeedPoint PointTable::At(std::size_t i) const {
  std::lock_guard<std::mutex> lock(mu_);
  return points_.at(i);
}

void PointTable::CopyFrom(std::size_t from, std::vector<SpeedPoint>* out) const {
  std::lock_guard<std::mutex> lock(mu_);
  if (from >= points_.size()) return;
  out->insert(out->end(), points_.begin() + static_cast<std::ptrdiff_t>(from), points_.end());
}

std::vector<SpeedPoint> PointTable::Snapshot() const {
  std::vector<SpeedPoint> out;
  CopyFrom(0, &out);
  return out;
}

namespace {

// The shortest fixed-point text that reads back as the same double.
std::string DoubleText(double v) {
  char buf[512];
  const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed);
  return std::string(buf, r.ptr);
}

}  // namespace

void WritePointsCsv(std::ostream& out, const PointTable& table) {
  out << "Tm,Ps,Speed\n";
  for (const SpeedPoint& p : table.Snapshot())
    out << p.Tm << ',' << DoubleText(p.Ps) << ',' << DoubleText(p.Speed) << '\n';
}

}  // namespace dt
