// Reader of ATA capture files (.cap): what one drive answered to IDENTIFY
// DEVICE, SMART READ DATA, SMART READ THRESHOLDS and SMART RETURN STATUS.
//
// A file is a sequence of sections: a 4-byte ASCII tag, a 32-bit big-endian
// length and that many data bytes. Tags: "IDFY" (512 bytes, required),
// "SMDT" (512), "SMTH" (512) and "SMST" (4, big-endian, non-zero = good).
// Only the standard library is used.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace dt {

struct AtaCapture {
  std::array<std::uint8_t, 512> identify{};
  bool hasSmartData = false;
  bool hasThresholds = false;
  bool hasStatus = false;
  std::array<std::uint8_t, 512> smartData{};
  std::array<std::uint8_t, 512> thresholds{};
  std::uint32_t status = 0;
};

// Parses a whole capture. On failure returns false, leaves *out untouched
// and, when error is given, says which section is wrong and why.
bool ParseAtaCapture(const std::uint8_t* data, std::size_t size, AtaCapture* out,
                     std::string* error);
// Reads and parses a file; the error message names the file.
bool ReadAtaCapture(const std::string& path, AtaCapture* out, std::string* error);

}  // namespace dt
