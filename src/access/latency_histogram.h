// A latency histogram of fixed size in the manner of HdrHistogram: values
// below 256 have a bucket each; above, every power of two is split into 128
// buckets, so a percentile is exact to within 1/128 (0.8 %) of its value,
// whatever the range (nanoseconds up to centuries), in 7,424 buckets. Each
// bucket also keeps the largest value it took, so a percentile is always a
// value that was recorded.
#pragma once

#include <array>
#include <cstdint>

namespace dt {

class LatencyHistogram {
 public:
  static constexpr int kSubBits = 7;
  static constexpr std::size_t kBuckets = 256 + (63 - kSubBits) * 128;

  void Record(std::uint64_t value);
  void Clear();

  std::uint64_t Count() const { return count_; }
  // 0 when empty.
  std::uint64_t Min() const { return count_ ? min_ : 0; }
  std::uint64_t Max() const { return max_; }
  double Mean() const;
  // The value at percentile `p` (0 < p <= 100) by nearest rank: the largest
  // value recorded in the bucket that holds the ceil(p/100 * count)-th
  // smallest value (at most 0.8 % above it). 0 when empty.
  std::uint64_t Percentile(double p) const;

  // The bucket of a value and the highest value that falls into a bucket.
  static std::size_t BucketOf(std::uint64_t value);
  static std::uint64_t BucketTop(std::size_t bucket);

 private:
  std::array<std::uint64_t, kBuckets> counts_{};
  std::array<std::uint64_t, kBuckets> largest_{};
  std::uint64_t count_ = 0;
  std::uint64_t sum_ = 0;
  std::uint64_t min_ = 0;
  std::uint64_t max_ = 0;
};

}  // namespace dt
