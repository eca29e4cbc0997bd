#include "platform/sim/ata_capture.h"

#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace dt {

namespace {

std::uint32_t BigEndian32(const std::uint8_t* p) {
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
         std::uint32_t{p[3]};
}

// The tag as text for messages; bytes outside printable ASCII become "\xNN".
std::string TagText(const std::uint8_t* p) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string s;
  for (int i = 0; i < 4; ++i) {
    if (p[i] >= 32 && p[i] <= 126 && p[i] != '"' && p[i] != '\\') {
      s.push_back(static_cast<char>(p[i]));
    } else {
      s += "\\x";
      s.push_back(kHex[p[i] >> 4]);
      s.push_back(kHex[p[i] & 15]);
    }
  }
  return '"' + s + '"';
}

bool Fail(std::string* error, const std::string& message) {
  if (error) *error = message;
  return false;
}

}  // namespace

bool ParseAtaCapture(const std::uint8_t* data, std::size_t size, AtaCapture* out,
                     std::string* error) {
  AtaCapture cap;
  bool hasIdentify = false;
  std::size_t pos = 0;
  int index = 0;
  while (pos < size) {
    ++index;
    const std::string where =
        "section " + std::to_string(index) + " at byte " + std::to_string(pos);
    if (size - pos < 8) {
      return Fail(error, where + ": header needs 8 bytes but only " + std::to_string(size - pos) +
                             " remain");
    }
    const std::uint8_t* tag = data + pos;
    const std::uint32_t length = BigEndian32(data + pos + 4);
    const std::string name = TagText(tag);
    if (length > size - pos - 8) {
      return Fail(error, where + " (" + name + "): length " + std::to_string(length) +
                             " runs past the end of the data (" + std::to_string(size - pos - 8) +
                             " bytes remain)");
    }
    const std::uint8_t* body = data + pos + 8;

    std::uint8_t* target = nullptr;
    bool* seen = nullptr;
    std::uint32_t expected = 512;
    if (std::memcmp(tag, "IDFY", 4) == 0) {
      target = cap.identify.data();
      seen = &hasIdentify;
    } else if (std::memcmp(tag, "SMDT", 4) == 0) {
      target = cap.smartData.data();
      seen = &cap.hasSmartData;
    } else if (std::memcmp(tag, "SMTH", 4) == 0) {
      target = cap.thresholds.data();
      seen = &cap.hasThresholds;
    } else if (std::memcmp(tag, "SLOG", 4) == 0) {
      target = cap.selfTestLog.data();
      seen = &cap.hasSelfTestLog;
    } else if (std::memcmp(tag, "ELOG", 4) == 0) {
      target = cap.errorLog.data();
      seen = &cap.hasErrorLog;
    } else if (std::memcmp(tag, "SMST", 4) == 0) {
      seen = &cap.hasStatus;
      expected = 4;
    } else {
      return Fail(error, where + ": unknown tag " + name);
    }
    if (length != expected) {
      return Fail(error, where + " (" + name + "): length " + std::to_string(length) +
                             ", expected " + std::to_string(expected));
    }
    if (*seen) return Fail(error, where + ": second " + name + " section");
    *seen = true;
    if (target) {
      std::memcpy(target, body, expected);
    } else {
      cap.status = BigEndian32(body);
    }
    pos += 8 + static_cast<std::size_t>(length);
  }
  if (!hasIdentify) return Fail(error, "no \"IDFY\" section (the IDENTIFY block is required)");
  if (out) *out = cap;
  return true;
}

bool ReadAtaCapture(const std::string& path, AtaCapture* out, std::string* error) {
  // A folder opens as a stream on some systems and fails only on the first
  // read, with an exception.
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec))
    return Fail(error, path + ": is a folder, not a file");
  std::ifstream in(path, std::ios::binary);
  if (!in) return Fail(error, path + ": cannot open the file");
  std::vector<std::uint8_t> bytes;
  try {
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  } catch (const std::exception&) {
    return Fail(error, path + ": read error");
  }
  if (in.bad()) return Fail(error, path + ": read error");
  std::string why;
  if (!ParseAtaCapture(bytes.data(), bytes.size(), out, &why)) {
    return Fail(error, path + ": " + why);
  }
  return true;
}

}  // namespace dt
