// Reader of ATA capture files (.cap): what one drive answered to IDENTIFY
// DEVICE, SMART READ DATA, SMART READ THRESHOLDS, SMART RETURN STATUS and
// SMART READ LOG of the self-test log and the summary error log.
//
// A file is a sequence of sections: a 4-byte ASCII tag, a 32-bit big-endian
// length and that many data bytes. Tags: "IDFY" (512 bytes, required),
// "SMDT" (512), "SMTH" (512), "SMST" (4, big-endian, non-zero = good),
// "SLOG" (512, the self-test log, log 06h) and "ELOG" (512, the summary
// error log, log 01h). All but "IDFY" are optional. Only the standard
// library is used.
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
  bool hasSelfTestLog = false;
  bool hasErrorLog = false;
  std::array<std::uint8_t, 512> selfTestLog{};
  std::array<std::uint8_t, 512> errorLog{};
};

// Parses a whole capture. On failure returns false, leaves *out untouched
// and, when error is given, says which section is wrong and why.
bool ParseAtaCapture(const std::uint8_t* data, std::size_t size, AtaCapture* out,
                     std::string* error);
// Reads and parses a file; the error message names the file.
bool ReadAtaCapture(const std::string& path, AtaCapture* out, std::string* error);

}  // namespace dt
