// The platform of a program that runs as the user on Linux: the posix backend
// with disktest-helper in front of the few calls that need root. When this
// process may not open a raw disk (EACCES / EPERM), the wrapper starts the
// helper once through pkexec (polkit asks for the password), lets it open the
// device and takes over the descriptor it hands back, so every read, write
// and timing still happens here. SMART, IDENTIFY and NVMe admin commands that
// the kernel refuses this process go to the helper as requests. Everything
// else goes straight to the posix backend.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/helper/helper_protocol.h"
#include "platform/platform_wrapper.h"

namespace dt {

class PosixPlatform;

// The polkit action that lets pkexec start the helper.
inline constexpr const char* kHelperAction = "io.github.disktest.helper";

struct HelperOptions {
  // The helper program; empty: $DISKTEST_HELPER, or where the package puts it.
  std::string helperPath;
  // What starts it with root's rights, the helper's path appended.
  std::vector<std::string> launcher{"pkexec"};
  // Called once, from the thread whose call needed the helper, when the
  // helper could not be started or was refused; `detail` says what happened.
  // Later calls that need it fail with EACCES without asking again.
  std::function<void(const std::string& detail)> onRefused;
};

// Where the package installs the helper (/usr/libexec/disktest/...).
std::string InstalledHelperPath();

class HelperPlatform : public PlatformWrapper {
 public:
  HelperPlatform(std::unique_ptr<PosixPlatform> posix, HelperOptions options);
  ~HelperPlatform() override;

  Handle OpenDevice(const std::string& path, std::uint32_t access, std::uint32_t share,
                    std::uint32_t disposition, std::uint32_t flags) override;
  bool Close(Handle h) override;
  bool Control(Handle h, std::uint32_t code, const void* in, std::uint32_t inLen, void* out,
               std::uint32_t outLen, std::uint32_t* returned) override;
  bool NvmePassThrough(Handle h, const NvmeCommand& cmd, NvmeResult* result) override;

  // Whether the helper has been started and still answers.
  bool HelperRunning() const;

 private:
  // Sends one request and reads its reply (and any descriptor), starting the
  // helper first if need be. False with LastError() set when there is no
  // helper to ask.
  bool Ask(const helper::Request& q, helper::Reply* a, int* fd);
  // Ask for a drive command: its data goes to `data` (at most `dataLen`
  // bytes). False, with `refused` as the error, when there is no helper.
  bool AskCommand(const helper::Request& q, std::uint32_t refused, void* data,
                  std::uint32_t dataLen, helper::Reply* a);
  // True for a reply without error; else false with its error set.
  static bool Answered(const helper::Reply& a);
  bool StartLocked();
  void StopLocked();
  std::string PathOf(Handle h);

  PosixPlatform& posix_;
  HelperOptions options_;
  mutable std::mutex mu_;  // the helper's stream: one request at a time
  enum class State { NotStarted, Running, Failed } state_ = State::NotStarted;
  int sock_ = -1;
  int pid_ = -1;
  std::mutex pathsMu_;
  std::map<Handle, std::string> paths_;
};

// The host platform of disktest and disktest-cli on Linux: the posix backend
// alone for root or with `useHelper` false, else behind a HelperPlatform.
std::unique_ptr<Platform> MakeUserPlatform(bool useHelper, HelperOptions options);

}  // namespace dt
