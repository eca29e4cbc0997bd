#include "access/latency_histogram.h"

#include <algorithm>
#include <cmath>

namespace dt {

namespace {

int HighestBit(std::uint64_t v) {
  int b = 0;
  while (v >>= 1) ++b;
  return b;
}

}  // namespace

std::size_t LatencyHistogram::BucketOf(std::uint64_t value) {
  constexpr std::uint64_t kDirect = std::uint64_t{1} << (kSubBits + 1);
  if (value < kDirect) return static_cast<std::size_t>(value);
  const int msb = HighestBit(value);  // at least kSubBits + 1
  const int shift = msb - kSubBits;
  const std::uint64_t sub = value >> shift;  // 128 ... 255
  return static_cast<std::size_t>(kDirect + static_cast<std::uint64_t>(msb - kSubBits - 1) * 128 +
                                  (sub - 128));
}

std::uint64_t LatencyHistogram::BucketTop(std::size_t bucket) {
  constexpr std::size_t kDirect = std::size_t{1} << (kSubBits + 1);
  if (bucket < kDirect) return bucket;
  const std::size_t above = bucket - kDirect;
  const int shift = static_cast<int>(above / 128) + 1;
  const std::uint64_t sub = 128 + above % 128;
  const std::uint64_t low = sub << shift;
  return low + ((std::uint64_t{1} << shift) - 1);
}

void LatencyHistogram::Record(std::uint64_t value) {
  const std::size_t b = BucketOf(value);
  ++counts_[b];
  largest_[b] = std::max(largest_[b], value);
  if (count_ == 0 || value < min_) min_ = value;
  if (value > max_) max_ = value;
  ++count_;
  sum_ += value;
}

void LatencyHistogram::Clear() { *this = LatencyHistogram{}; }

double LatencyHistogram::Mean() const {
  return count_ ? static_cast<double>(sum_) / static_cast<double>(count_) : 0.0;
}

std::uint64_t LatencyHistogram::Percentile(double p) const {
  if (count_ == 0) return 0;
  const double exact = std::ceil(p / 100.0 * static_cast<double>(count_) - 1e-9);
  const std::uint64_t rank =
      std::clamp<std::uint64_t>(exact < 1 ? 1 : static_cast<std::uint64_t>(exact), 1, count_);
  std::uint64_t seen = 0;
  for (std::size_t b = 0; b < kBuckets; ++b) {
    seen += counts_[b];
    if (seen >= rank) return largest_[b];
  }
  return max_;
}

}  // namespace dt
