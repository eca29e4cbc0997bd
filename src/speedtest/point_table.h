// The point table of the read-speed test (RxMemoryData1): one record per
// timed block, appended in the order of the blocks, read by the charts and
// the printed reports. Points are kept in chunks, so millions of them fit
// without one large block of memory.
#pragma once

#include <algorithm>
#include <cstdint>
#include <deque>
#include <iosfwd>
#include <mutex>
#include <vector>

namespace dt {

struct SpeedPoint {
  std::int32_t Tm = 0;  // time of the block's reads in microseconds
  double Ps = 0;        // position after the block: per cent of the disk, or MiB
  double Speed = 0;     // bytes per second, a whole number
};
static_assert(sizeof(SpeedPoint) <= 24);

class PointTable {
 public:
  void Clear();
  // `bytePosition`: the byte position after the block, which Ps shows in
  // per cent or MiB; kept only after KeepBytePositions(true).
  void Append(const SpeedPoint& p, std::int64_t bytePosition = 0);
  // Whether Append keeps the byte positions beside the points (the JSON of
  // the command line; the charts need only Ps). Stays over Clear.
  void KeepBytePositions(bool keep);
  // The kept byte positions, one per point, in the order of the points.
  std::vector<std::int64_t> BytePositions() const;
  std::size_t Size() const;
  SpeedPoint At(std::size_t i) const;
  // The points from index `from` to the end, appended to `out` (a chart
  // that refreshes reads only what is new).
  void CopyFrom(std::size_t from, std::vector<SpeedPoint>* out) const;
  std::vector<SpeedPoint> Snapshot() const;
  // Calls f(const SpeedPoint&) for the points [from, to) in order, under one
  // lock: a chart reads millions of points without a lock per point.
  template <class F>
  void ForEach(std::size_t from, std::size_t to, F&& f) const {
    std::lock_guard<std::mutex> lock(mu_);
    to = std::min(to, points_.size());
    for (std::size_t i = from; i < to; ++i) f(points_[i]);
  }

 private:
  mutable std::mutex mu_;
  std::deque<SpeedPoint> points_;
  bool keepPositions_ = false;
  std::deque<std::int64_t> positions_;
};

// The points as CSV: a header line "Tm,Ps,Speed", then one line per point.
void WritePointsCsv(std::ostream& out, const PointTable& table);

}  // namespace dt
