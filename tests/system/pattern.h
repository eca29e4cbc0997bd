// The deterministic content that faultyfs serves where nothing was written,
// and that image files of the fixtures can be filled with: every 8-byte word
// is a hash of its own offset, so no two sectors are alike and a sector read
// from the wrong place never matches.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace dt::systest {

// splitmix64 of the word index.
inline std::uint64_t PatternWord(std::uint64_t wordIndex) {
  std::uint64_t z = wordIndex + 0x9E3779B97F4A7C15ull;
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

// The byte at `offset`: byte (offset mod 8) of the little-endian word.
inline std::uint8_t PatternByte(std::uint64_t offset) {
  return static_cast<std::uint8_t>(PatternWord(offset / 8) >> (8 * (offset % 8)));
}

// Fills out[0, len) with the pattern bytes of [offset, offset + len).
inline void FillPattern(std::uint64_t offset, void* out, std::size_t len) {
  auto* p = static_cast<std::uint8_t*>(out);
  std::size_t i = 0;
  while (i < len && (offset + i) % 8 != 0) {
    p[i] = PatternByte(offset + i);
    ++i;
  }
  for (; i + 8 <= len; i += 8) {
    const std::uint64_t w = PatternWord((offset + i) / 8);
    for (int b = 0; b < 8; ++b) p[i + b] = static_cast<std::uint8_t>(w >> (8 * b));
  }
  for (; i < len; ++i) p[i] = PatternByte(offset + i);
}

}  // namespace dt::systest
