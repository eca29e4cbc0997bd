#include "platform/helper/helper_platform.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/posix/posix_platform.h"

extern char** environ;

namespace dt {

namespace {

bool Refused(std::uint32_t err) { return err == EACCES || err == EPERM; }

bool IsSmartCode(std::uint32_t code) {
  return code == SMART_GET_VERSION || code == SMART_RCV_DRIVE_DATA ||
         code == SMART_SEND_DRIVE_COMMAND;
}

// What the launcher's exit status says, for the message of a refusal.
std::string ExitText(const std::string& launcher, int status) {
  if (WIFEXITED(status)) {
    const int code = WEXITSTATUS(status);
    if (launcher == "pkexec" && code == 126) return "the authentication was dismissed";
    if (launcher == "pkexec" && code == 127) return "not authorized";
    return launcher + " ended with exit code " + std::to_string(code);
  }
  if (WIFSIGNALED(status)) return launcher + " ended by signal " + std::to_string(WTERMSIG(status));
  return launcher + " ended";
}

}  // namespace

std::string InstalledHelperPath() { return "/usr/libexec/disktest/disktest-helper"; }

HelperPlatform::HelperPlatform(std::unique_ptr<PosixPlatform> posix, HelperOptions options)
    : PlatformWrapper(std::move(posix)),
      posix_(static_cast<PosixPlatform&>(target())),
      options_(std::move(options)) {
  if (options_.helperPath.empty()) {
    const char* env = std::getenv("DISKTEST_HELPER");
    options_.helperPath = env && *env ? env : InstalledHelperPath();
  }
}

HelperPlatform::~HelperPlatform() {
  std::lock_guard<std::mutex> lock(mu_);
  StopLocked();
}

bool HelperPlatform::HelperRunning() const {
  std::lock_guard<std::mutex> lock(mu_);
  return state_ == State::Running;
}

void HelperPlatform::StopLocked() {
  // The helper ends when its stream closes.
  if (sock_ >= 0) ::close(sock_);
  sock_ = -1;
  if (pid_ > 0) {
    int status = 0;
    while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
  }
  pid_ = -1;
}

bool HelperPlatform::StartLocked() {
  if (state_ == State::Running) return true;
  if (state_ == State::Failed) {
    SetLastError(EACCES);
    return false;
  }
  std::string detail;
  int sv[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sv) != 0) {
    detail = std::string("no socket for the helper: ") + std::strerror(errno);
  } else {
    // The child's end becomes its standard input and output; keep it off
    // 0-2 so that dup2 never meets itself (a program started without them).
    if (sv[1] <= 2) {
      const int moved = ::fcntl(sv[1], F_DUPFD_CLOEXEC, 3);
      ::close(sv[1]);
      sv[1] = moved;
    }
    std::vector<std::string> args = options_.launcher;
    args.push_back(options_.helperPath);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t fa;
    ::posix_spawn_file_actions_init(&fa);
    ::posix_spawn_file_actions_adddup2(&fa, sv[1], 0);
    ::posix_spawn_file_actions_adddup2(&fa, sv[1], 1);
    pid_t pid = -1;
    const int rc = sv[1] < 0 ? errno
                             : ::posix_spawnp(&pid, argv[0], &fa, nullptr, argv.data(), environ);
    ::posix_spawn_file_actions_destroy(&fa);
    if (sv[1] >= 0) ::close(sv[1]);
    sock_ = sv[0];
    if (rc != 0) {
      detail = args[0] + ": " + std::strerror(rc);
    } else {
      pid_ = pid;
      // The helper answers Hello once polkit has let pkexec start it.
      std::vector<std::uint8_t> msg;
      int fd = -1;
      std::string why;
      helper::Reply a;
      if (helper::Send(sock_, helper::Encode(helper::Request{}), -1, &why) &&
          helper::Receive(sock_, &msg, &fd, &why) &&
          helper::DecodeReply(msg.data(), msg.size(), &a, &why) && a.kind == helper::Kind::Hello) {
        state_ = State::Running;
        return true;
      }
      if (fd >= 0) ::close(fd);
      ::close(sock_);
      sock_ = -1;
      int status = 0;
      while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
      }
      pid_ = -1;
      detail = ExitText(args[0], status);
    }
    if (sock_ >= 0) ::close(sock_);
    sock_ = -1;
  }
  state_ = State::Failed;
  if (options_.onRefused) options_.onRefused(detail);
  SetLastError(EACCES);
  return false;
}

bool HelperPlatform::Ask(const helper::Request& q, helper::Reply* a, int* fd) {
  *fd = -1;
  std::lock_guard<std::mutex> lock(mu_);
  if (!StartLocked()) return false;
  std::vector<std::uint8_t> msg;
  std::string why;
  if (helper::Send(sock_, helper::Encode(q), -1, &why) && helper::Receive(sock_, &msg, fd, &why) &&
      helper::DecodeReply(msg.data(), msg.size(), a, &why) && a->kind == q.kind)
    return true;
  // The helper is gone or out of step: no more requests to it.
  if (*fd >= 0) ::close(*fd);
  *fd = -1;
  StopLocked();
  state_ = State::Failed;
  SetLastError(EIO);
  return false;
}

bool HelperPlatform::AskCommand(const helper::Request& q, std::uint32_t refused, void* data,
                                std::uint32_t dataLen, helper::Reply* a) {
  int fd = -1;
  if (!Ask(q, a, &fd)) {
    // No helper: the request fails as this process's own did.
    SetLastError(refused);
    return false;
  }
  if (fd >= 0) ::close(fd);  // commands carry no descriptor back
  if (data) std::memcpy(data, a->data.data(), std::min<std::size_t>(dataLen, a->data.size()));
  return true;
}

bool HelperPlatform::Answered(const helper::Reply& a) {
  if (a.error == 0) return true;
  SetLastError(a.error);
  return false;
}

std::string HelperPlatform::PathOf(Handle h) {
  std::lock_guard<std::mutex> lock(pathsMu_);
  auto it = paths_.find(h);
  return it == paths_.end() ? std::string() : it->second;
}

Handle HelperPlatform::OpenDevice(const std::string& path, std::uint32_t access,
                                  std::uint32_t share, std::uint32_t disposition,
                                  std::uint32_t flags) {
  Handle h = target().OpenDevice(path, access, share, disposition, flags);
  if (h == kInvalidHandle) {
    const std::uint32_t err = LastError();
    // Only an existing block device that this process may not open goes to
    // the helper; device-control handles open without permission already.
    struct stat st {};
    if (!Refused(err) || disposition == kCreateNew || (flags & kFlagDeviceControl) != 0 ||
        ::stat(path.c_str(), &st) != 0 || !S_ISBLK(st.st_mode)) {
      SetLastError(err);
      return kInvalidHandle;
    }
    helper::Request q;
    q.kind = helper::Kind::Open;
    q.path = path;
    q.write = (access & kGenericWrite) != 0;
    helper::Reply a;
    int fd = -1;
    if (!Ask(q, &a, &fd)) {
      SetLastError(err);
      return kInvalidHandle;
    }
    if (a.error != 0 || fd < 0) {
      if (fd >= 0) ::close(fd);
      SetLastError(a.error != 0 ? a.error : EIO);
      return kInvalidHandle;
    }
    h = posix_.Adopt(fd);
    if (h == kInvalidHandle) {
      const std::uint32_t e = LastError();
      ::close(fd);
      SetLastError(e);
      return kInvalidHandle;
    }
  }
  std::lock_guard<std::mutex> lock(pathsMu_);
  paths_[h] = path;
  return h;
}

bool HelperPlatform::Close(Handle h) {
  {
    std::lock_guard<std::mutex> lock(pathsMu_);
    paths_.erase(h);
  }
  return target().Close(h);
}

bool HelperPlatform::Control(Handle h, std::uint32_t code, const void* in, std::uint32_t inLen,
                             void* out, std::uint32_t outLen, std::uint32_t* returned) {
  if (target().Control(h, code, in, inLen, out, outLen, returned)) return true;
  const std::uint32_t err = LastError();
  const std::string path = PathOf(h);
  if (!Refused(err) || !IsSmartCode(code) || path.empty() || outLen > helper::kMaxData ||
      inLen > helper::kMaxData) {
    SetLastError(err);
    return false;
  }
  helper::Request q;
  q.kind = helper::Kind::Ata;
  q.path = path;
  q.code = code;
  const auto* p = static_cast<const std::uint8_t*>(in);
  if (p) q.in.assign(p, p + inLen);
  q.outLen = outLen;
  helper::Reply a;
  if (!AskCommand(q, err, out, outLen, &a)) return false;
  if (returned) *returned = std::min(a.returned, outLen);
  return Answered(a);
}

bool HelperPlatform::NvmePassThrough(Handle h, const NvmeCommand& cmd, NvmeResult* result) {
  if (target().NvmePassThrough(h, cmd, result)) return true;
  const std::uint32_t err = LastError();
  const std::string path = PathOf(h);
  if (!Refused(err) || path.empty() || cmd.dataLen > helper::kMaxData) {
    SetLastError(err);
    return false;
  }
  helper::Request q;
  q.kind = helper::Kind::Nvme;
  q.path = path;
  q.opcode = cmd.opcode;
  q.nsid = cmd.nsid;
  const std::uint32_t cdw[6] = {cmd.cdw10, cmd.cdw11, cmd.cdw12, cmd.cdw13, cmd.cdw14, cmd.cdw15};
  std::copy(cdw, cdw + 6, q.cdw);
  q.dataLen = cmd.dataLen;
  helper::Reply a;
  if (!AskCommand(q, err, cmd.data, cmd.dataLen, &a)) return false;
  if (result) {
    result->cdw0 = a.cdw0;
    result->status = a.status;
  }
  return Answered(a);
}

std::unique_ptr<Platform> MakeUserPlatform(bool useHelper, HelperOptions options) {
  auto posix = std::make_unique<PosixPlatform>();
  if (!useHelper || ::geteuid() == 0) return posix;
  return std::make_unique<HelperPlatform>(std::move(posix), std::move(options));
}

}  // namespace dt
