#include "ui/cli/output.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <ostream>
#include <system_error>

namespace dt::cli {

std::string OutputRefusal(const std::string& path, const std::string& diskPath) {
  std::error_code ec;
  const auto type = std::filesystem::status(path, ec).type();
  if (type == std::filesystem::file_type::block) return path + " is a block device";
  if (type == std::filesystem::file_type::directory) return path + " is a directory";
  if (!diskPath.empty() && std::filesystem::equivalent(path, diskPath, ec))
    return path + " is the disk under test";
  return {};
}

bool OpenOutput(const std::string& option, const std::string& path, const std::string& diskPath,
                OutputFile* out, std::ostream& err) {
  out->path = path;
  const std::string refusal = OutputRefusal(path, diskPath);
  if (!refusal.empty()) {
    err << "disktest-cli: " << option << " " << path << ": " << refusal << "; no test was run\n";
    return false;
  }
  out->f = std::fopen(path.c_str(), "wb");
  if (!out->f) {
    err << "disktest-cli: " << option << " " << path << ": cannot create the file ("
        << std::strerror(errno) << "); no test was run\n";
    return false;
  }
  return true;
}

bool WriteAndClose(OutputFile* file, const std::string& text) {
  std::FILE* f = file->f;
  file->f = nullptr;
  if (!f) return false;
  const bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size() &&
                  std::fflush(f) == 0 && !std::ferror(f);
  return std::fclose(f) == 0 && ok;
}

std::string IsoTimeUtc(std::chrono::system_clock::time_point t) {
  using namespace std::chrono;
  const auto secs = floor<seconds>(t);
  const auto day = floor<days>(secs);
  const year_month_day ymd{day};
  const hh_mm_ss<seconds> hms{secs - day};
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02dZ", static_cast<int>(ymd.year()),
                static_cast<unsigned>(ymd.month()), static_cast<unsigned>(ymd.day()),
                static_cast<int>(hms.hours().count()), static_cast<int>(hms.minutes().count()),
                static_cast<int>(hms.seconds().count()));
  return text;
}

}  // namespace dt::cli
