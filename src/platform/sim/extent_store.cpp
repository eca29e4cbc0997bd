#include "platform/sim/extent_store.h"

#include <algorithm>
#include <cstring>

namespace dt {

void ExtentStore::Erase(std::uint64_t begin, std::uint64_t end) {
  if (begin >= end) return;
  auto it = extents_.lower_bound(begin);
  if (it != extents_.begin()) {
    auto prev = std::prev(it);
    if (prev->second.end > begin) it = prev;
  }
  while (it != extents_.end() && it->first < end) {
    const std::uint64_t s = it->first;
    Extent ex = std::move(it->second);
    it = extents_.erase(it);
    if (s < begin) {
      // Keep the head.
      Extent head{begin, ex.uniform, ex.byte, {}};
      if (!ex.uniform) head.data.assign(ex.data.begin(), ex.data.begin() + (begin - s));
      extents_.emplace(s, std::move(head));
    }
    if (ex.end > end) {
      // Keep the tail.
      Extent tail{ex.end, ex.uniform, ex.byte, {}};
      if (!ex.uniform) tail.data.assign(ex.data.begin() + (end - s), ex.data.end());
      it = extents_.emplace(end, std::move(tail)).first;
      ++it;
    }
  }
}

void ExtentStore::Write(std::uint64_t offset, const std::uint8_t* data, std::size_t n) {
  if (n == 0) return;
  const std::uint64_t end = offset + n;
  Erase(offset, end);
  if (default_) {
    // Data equal to what the disk holds unwritten needs no entry.
    std::vector<std::uint8_t> def(n);
    default_(offset, def.data(), n);
    if (std::memcmp(def.data(), data, n) == 0) return;
  }
  const bool uniform = std::all_of(data, data + n, [&](std::uint8_t b) { return b == data[0]; });
  Extent ex{end, uniform, data[0], {}};
  if (!uniform) ex.data.assign(data, data + n);
  auto it = extents_.emplace(offset, std::move(ex)).first;
  if (!uniform) return;
  // Join neighbouring runs of the same byte.
  if (it != extents_.begin()) {
    auto prev = std::prev(it);
    if (prev->second.uniform && prev->second.byte == it->second.byte &&
        prev->second.end == it->first) {
      prev->second.end = it->second.end;
      extents_.erase(it);
      it = prev;
    }
  }
  auto next = std::next(it);
  if (next != extents_.end() && next->second.uniform && next->second.byte == it->second.byte &&
      next->first == it->second.end) {
    it->second.end = next->second.end;
    extents_.erase(next);
  }
}

void ExtentStore::Read(std::uint64_t offset, std::uint8_t* out, std::size_t n,
                       const Fill& fill) const {
  std::uint64_t pos = offset;
  const std::uint64_t end = offset + n;
  auto it = extents_.upper_bound(pos);
  if (it != extents_.begin()) {
    auto prev = std::prev(it);
    if (prev->second.end > pos) it = prev;
  }
  while (pos < end) {
    if (it == extents_.end() || it->first >= end) {
      fill(pos, out + (pos - offset), static_cast<std::size_t>(end - pos));
      return;
    }
    if (it->first > pos) {
      fill(pos, out + (pos - offset), static_cast<std::size_t>(it->first - pos));
      pos = it->first;
    }
    const std::uint64_t stop = std::min(end, it->second.end);
    if (it->second.uniform) {
      std::memset(out + (pos - offset), it->second.byte, static_cast<std::size_t>(stop - pos));
    } else {
      std::memcpy(out + (pos - offset), it->second.data.data() + (pos - it->first),
                  static_cast<std::size_t>(stop - pos));
    }
    pos = stop;
    ++it;
  }
}

std::size_t ExtentStore::StoredBytes() const {
  std::size_t n = 0;
  for (const auto& [s, ex] : extents_) n += ex.data.size();
  return n;
}

}  // namespace dt
