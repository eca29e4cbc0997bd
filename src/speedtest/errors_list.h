// The line list of the errors window (TErrListFrm's memo), shared by the
// read-speed test and the surface test. Each test clears it at its start and
// appends one line per error; a worker appends only inside a step that runs
// on the main thread. The Qt window implements it with its memo, the CLI
// with standard error, tests with a plain list.
#pragma once

#include <mutex>
#include <string>
#include <vector>

namespace dt {

class ErrorLines {
 public:
  virtual ~ErrorLines() = default;
  virtual void Clear() = 0;
  virtual void AppendLine(const std::string& line) = 0;
};

// Keeps the lines in memory.
class MemoryErrorLines : public ErrorLines {
 public:
  void Clear() override {
    std::lock_guard<std::mutex> lock(mu_);
    lines_.clear();
  }
  void AppendLine(const std::string& line) override {
    std::lock_guard<std::mutex> lock(mu_);
    lines_.push_back(line);
  }
  std::vector<std::string> Lines() const {
    std::lock_guard<std::mutex> lock(mu_);
    return lines_;
  }

 private:
  mutable std::mutex mu_;
  std::vector<std::string> lines_;
};

}  // namespace dt
