// Running the peer tools (hdparm, skdump, ...) that tests compare against.
// Linux only.
#pragma once
#ifndef _WIN32

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace dt::peers {

// The full path of a program in PATH or the sbin folders; empty when absent.
inline std::string FindTool(const std::string& name) {
  namespace fs = std::filesystem;
  std::vector<fs::path> dirs = {"/usr/sbin", "/sbin", "/usr/bin", "/bin"};
  if (const char* path = std::getenv("PATH")) {
    std::stringstream ss(path);
    for (std::string d; std::getline(ss, d, ':');)
      if (!d.empty()) dirs.emplace_back(d);
  }
  for (const auto& d : dirs) {
    std::error_code ec;
    if (fs::is_regular_file(d / name, ec)) return (d / name).string();
  }
  return {};
}

// What a shell command prints on standard output.
inline std::string RunCommand(const std::string& command) {
  std::string text;
  if (FILE* p = ::popen(command.c_str(), "r")) {
    char buf[4096];
    for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;) text.append(buf, n);
    ::pclose(p);
  }
  return text;
}

// hdparm's decoding of one IDENTIFY block, fed to `hdparm --Istdin` as 256
// four-digit hexadecimal words, 8 a line.
inline std::string HdparmIdentify(const std::string& hdparm,
                                  const std::array<std::uint8_t, 512>& block) {
  namespace fs = std::filesystem;
  const fs::path input =
      fs::temp_directory_path() / ("dt_hdparm_" + std::to_string(std::random_device{}()) + ".txt");
  {
    std::ofstream out(input);
    for (int w = 0; w < 256; ++w) {
      char word[8];
      std::snprintf(word, sizeof word, "%04x", block[2 * w] | (block[2 * w + 1] << 8));
      out << word << (w % 8 == 7 ? "\n" : " ");
    }
  }
  const std::string text = RunCommand("'" + hdparm + "' --Istdin < '" + input.string() + "' 2>&1");
  fs::remove(input);
  return text;
}

}  // namespace dt::peers

#endif
