// The output files of the commands and what their JSON shares.
#pragma once

#include <chrono>
#include <cstdio>
#include <iosfwd>
#include <string>

namespace dt::cli {

// Why an output path may not be written: a block device or a directory, or
// the disk under test. Pipes and terminals (/dev/stdout) are allowed.
std::string OutputRefusal(const std::string& path, const std::string& diskPath);

// An output file of the command, opened before the test starts so that a
// path that cannot be written ends the command before any disk work.
struct OutputFile {
  std::string path;
  std::FILE* f = nullptr;
  OutputFile() = default;
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;
  ~OutputFile() {
    if (f) std::fclose(f);
  }
};

// Opens `path` for `option` (truncated), or says on `err` why not.
bool OpenOutput(const std::string& option, const std::string& path, const std::string& diskPath,
                OutputFile* out, std::ostream& err);

// Writes `text` to the opened file and closes it; false when it could not
// be written in full.
bool WriteAndClose(OutputFile* file, const std::string& text);

// The name that stands for standard output in `--json FILE|-`.
inline constexpr const char* kStdoutName = "-";

// A moment as ISO 8601 in UTC to the second: "2024-05-01T12:34:56Z".
std::string IsoTimeUtc(std::chrono::system_clock::time_point t);

}  // namespace dt::cli
