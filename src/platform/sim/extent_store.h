// The written contents of a simulated disk: byte ranges that were written,
// kept compactly. A run of one repeated byte (a surface test pattern) costs
// one entry however long it is, and writing back what the disk holds anyway
// stores nothing, so whole-disk write passes fit in memory.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <vector>

namespace dt {

class ExtentStore {
 public:
  // Produces the contents of bytes that were never written.
  using Fill = std::function<void(std::uint64_t offset, std::uint8_t* out, std::size_t n)>;

  void Write(std::uint64_t offset, const std::uint8_t* data, std::size_t n);
  void Read(std::uint64_t offset, std::uint8_t* out, std::size_t n, const Fill& fill) const;
  // Bytes held as written data (not as repeated-byte runs), for tests.
  std::size_t StoredBytes() const;
  std::size_t ExtentCount() const { return extents_.size(); }
  // Forgets the written contents of a range.
  void Erase(std::uint64_t begin, std::uint64_t end);
  // The default content the store compares writes against; set by the owner
  // so that writing back unchanged data stores nothing.
  void SetDefault(Fill fill) { default_ = std::move(fill); }

 private:
  struct Extent {
    std::uint64_t end;  // exclusive
    bool uniform;
    std::uint8_t byte;
    std::vector<std::uint8_t> data;  // when not uniform: end - start bytes
  };
  std::map<std::uint64_t, Extent> extents_;
  Fill default_;
};

}  // namespace dt
