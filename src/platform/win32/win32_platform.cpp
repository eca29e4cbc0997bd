// Windows backend of the platform seam: the Windows calls themselves.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <io.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/thread_pool_reader.h"
#include "platform/win32/nvme_passthrough.h"

namespace dt {

namespace {

HANDLE ToNative(Handle h) { return reinterpret_cast<HANDLE>(h); }
Handle FromNative(HANDLE h) {
  return h == INVALID_HANDLE_VALUE ? kInvalidHandle : reinterpret_cast<Handle>(h);
}
void KeepLastError() { Platform::SetLastError(::GetLastError()); }

// Overlapped reads on a second handle of the same file, opened with
// FILE_FLAG_OVERLAPPED | FILE_FLAG_NO_BUFFERING, whose completions arrive
// at an I/O completion port.
class IocpReader : public AsyncReader {
 public:
  IocpReader(Platform& clock, std::uint32_t depth) : clock_(clock), slots_(depth) {}
  bool Open(HANDLE source) {
    file_ = ::ReOpenFile(source, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                         FILE_FLAG_OVERLAPPED | FILE_FLAG_NO_BUFFERING);
    if (file_ == INVALID_HANDLE_VALUE) {
      KeepLastError();
      return false;
    }
    port_ = ::CreateIoCompletionPort(file_, nullptr, 0, 1);
    if (!port_) {
      KeepLastError();
      return false;
    }
    for (std::size_t i = 0; i < slots_.size(); ++i) free_.push_back(i);
    return true;
  }
  ~IocpReader() override {
    if (file_ != INVALID_HANDLE_VALUE && outstanding_ > 0) {
      // The reads under way write into the caller's buffers: end them first.
      ::CancelIo(file_);
      while (outstanding_ > 0) {
        DWORD n = 0;
        ULONG_PTR key = 0;
        OVERLAPPED* ov = nullptr;
        if (!::GetQueuedCompletionStatus(port_, &n, &key, &ov, INFINITE) && !ov) break;
        --outstanding_;
      }
    }
    if (port_) ::CloseHandle(port_);
    if (file_ != INVALID_HANDLE_VALUE) ::CloseHandle(file_);
  }

  bool Submit(const AsyncReadRequest* reqs, std::size_t n) override {
    if (n > free_.size()) {
      Platform::SetLastError(ERROR_INVALID_PARAMETER);
      return false;
    }
    for (std::size_t i = 0; i < n; ++i) {
      const std::size_t k = free_.back();
      free_.pop_back();
      Slot& slot = slots_[k];
      slot.ov = OVERLAPPED{};
      const auto off = static_cast<std::uint64_t>(reqs[i].offset);
      slot.ov.Offset = static_cast<DWORD>(off & 0xFFFFFFFFu);
      slot.ov.OffsetHigh = static_cast<DWORD>(off >> 32);
      slot.tag = reqs[i].tag;
      if (!::ReadFile(file_, reqs[i].buf, reqs[i].len, nullptr, &slot.ov) &&
          ::GetLastError() != ERROR_IO_PENDING) {
        // Failed at once: no packet comes for it.
        AsyncReadCompletion c;
        c.tag = slot.tag;
        c.error = ::GetLastError();
        c.counter = clock_.PerfCounter();
        failed_.push_back(c);
        free_.push_back(k);
        continue;
      }
      ++outstanding_;
    }
    return true;
  }

  std::size_t Reap(AsyncReadCompletion* out, std::size_t max, std::size_t min) override {
    std::size_t n = 0;
    while (n < max && !failed_.empty()) {
      out[n++] = failed_.front();
      failed_.pop_front();
    }
    const std::size_t want = std::min(min, n + outstanding_);
    while (n < max && outstanding_ > 0) {
      DWORD moved = 0;
      ULONG_PTR key = 0;
      OVERLAPPED* ov = nullptr;
      const BOOL ok =
          ::GetQueuedCompletionStatus(port_, &moved, &key, &ov, n < want ? INFINITE : 0);
      if (!ov) break;  // nothing more now, or the port failed
      Slot* slot = reinterpret_cast<Slot*>(ov);  // the OVERLAPPED is a slot's first member
      AsyncReadCompletion& c = out[n++];
      c.tag = slot->tag;
      c.done = ok ? moved : 0;
      c.error = ok ? 0 : ::GetLastError();
      c.counter = clock_.PerfCounter();
      free_.push_back(static_cast<std::size_t>(slot - slots_.data()));
      --outstanding_;
    }
    return n;
  }

  const char* Kind() const override { return "iocp"; }

 private:
  struct Slot {
    OVERLAPPED ov{};
    std::uint64_t tag = 0;
  };
  Platform& clock_;
  HANDLE file_ = INVALID_HANDLE_VALUE;
  HANDLE port_ = nullptr;
  std::vector<Slot> slots_;
  std::vector<std::size_t> free_;
  std::deque<AsyncReadCompletion> failed_;
  std::size_t outstanding_ = 0;
};

class Win32Platform : public Platform {
 public:
  std::string Name() const override { return "win32"; }

  std::string PhysicalDrivePath(int n) const override {
    if (n < 0 || n > 99) return {};
    return "\\\\.\\PHYSICALDRIVE" + std::to_string(n);
  }

  std::string LogicalDrivePath(const std::string& name) const override {
    return "\\\\.\\" + name + ":";
  }

  Handle OpenDevice(const std::string& path, std::uint32_t access, std::uint32_t share,
                    std::uint32_t disposition, std::uint32_t flags) override {
    const HANDLE h = ::CreateFileA(path.c_str(), access, share, nullptr, disposition,
                                   flags & ~kFlagDeviceControl, nullptr);
    if (h == INVALID_HANDLE_VALUE) KeepLastError();
    return FromNative(h);
  }

  bool Close(Handle h) override {
    if (!::CloseHandle(ToNative(h))) {
      KeepLastError();
      return false;
    }
    return true;
  }

  FileType GetType(Handle h) override {
    const DWORD t = ::GetFileType(ToNative(h));
    if (t == FILE_TYPE_UNKNOWN) KeepLastError();
    switch (t) {
      case FILE_TYPE_DISK:
        return FileType::Disk;
      case FILE_TYPE_CHAR:
        return FileType::Char;
      case FILE_TYPE_PIPE:
        return FileType::Pipe;
      default:
        return FileType::Unknown;
    }
  }

  bool ReadAt(Handle h, std::int64_t offset, void* buf, std::uint32_t len,
              std::uint32_t* done) override {
    OVERLAPPED ov{};
    ov.Offset = static_cast<DWORD>(static_cast<std::uint64_t>(offset) & 0xFFFFFFFFu);
    ov.OffsetHigh = static_cast<DWORD>(static_cast<std::uint64_t>(offset) >> 32);
    DWORD n = 0;
    const BOOL ok = ::ReadFile(ToNative(h), buf, len, &n, &ov);
    if (!ok) KeepLastError();
    if (done) *done = ok ? n : 0;
    return ok != FALSE;
  }

  // Overlapped reads and a completion port; the thread pool where the
  // handle cannot be opened again for them.
  std::unique_ptr<AsyncReader> OpenAsyncReader(Handle h, std::uint32_t depth) override {
    if (depth == 0) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return nullptr;
    }
    auto r = std::make_unique<IocpReader>(*this, depth);
    if (r->Open(ToNative(h))) return r;
    return MakeThreadPoolReader(*this, h, depth);
  }

  bool WriteAt(Handle h, std::int64_t offset, const void* buf, std::uint32_t len,
               std::uint32_t* done) override {
    OVERLAPPED ov{};
    ov.Offset = static_cast<DWORD>(static_cast<std::uint64_t>(offset) & 0xFFFFFFFFu);
    ov.OffsetHigh = static_cast<DWORD>(static_cast<std::uint64_t>(offset) >> 32);
    DWORD n = 0;
    const BOOL ok = ::WriteFile(ToNative(h), buf, len, &n, &ov);
    if (!ok) KeepLastError();
    if (done) *done = ok ? n : 0;
    return ok != FALSE;
  }

  bool Control(Handle h, std::uint32_t code, const void* in, std::uint32_t inLen, void* out,
               std::uint32_t outLen, std::uint32_t* returned) override {
    DWORD n = 0;
    const BOOL ok = ::DeviceIoControl(ToNative(h), code, const_cast<void*>(in), inLen, out,
                                      outLen, &n, nullptr);
    if (!ok) KeepLastError();
    if (!ok && code == IOCTL_DISK_GET_LENGTH_INFO && out && outLen >= 8) {
      // A regular file (an image) answers no disk request: its length is
      // the file size.
      LARGE_INTEGER size{};
      if (::GetFileSizeEx(ToNative(h), &size)) {
        std::memcpy(out, &size.QuadPart, 8);
        if (returned) *returned = 8;
        return true;
      }
    }
    if (returned) *returned = n;
    return ok != FALSE;
  }

  // Identify and Get Log Page through IOCTL_STORAGE_QUERY_PROPERTY with the
  // NVMe protocol-specific property (nvme_passthrough.cpp); every other
  // command fails with ERROR_NOT_SUPPORTED, and a command the drive fails
  // comes back as a failing request with status 0.
  bool NvmePassThrough(Handle h, const NvmeCommand& cmd, NvmeResult* result) override {
    return Win32NvmePassThrough(h, cmd, result);
  }

  std::vector<LogicalDrive> LogicalDrives() override {
    std::vector<LogicalDrive> out;
    const DWORD mask = ::GetLogicalDrives();
    for (int i = 0; i < 26; ++i)
      if (mask & (1u << i)) out.push_back({std::string(1, static_cast<char>('A' + i))});
    return out;
  }

  bool VolumeInformation(const std::string& name, VolumeInfo* info) override {
    char label[256] = "";
    char fs[256] = "";
    const std::string root = name + ":\\";
    const BOOL ok = ::GetVolumeInformationA(root.c_str(), label, sizeof label, nullptr, nullptr,
                                            nullptr, fs, sizeof fs);
    if (!ok) KeepLastError();
    info->label = label;
    info->fileSystem = fs;
    return ok != FALSE;
  }

  bool VolumeTotalBytes(const std::string& name, std::uint64_t* total) override {
    ULARGE_INTEGER freeToCaller{}, totalBytes{}, freeBytes{};
    const std::string root = name + ":\\";
    if (!::GetDiskFreeSpaceExA(root.c_str(), &freeToCaller, &totalBytes, &freeBytes)) {
      KeepLastError();
      return false;
    }
    *total = totalBytes.QuadPart;
    return true;
  }

  std::string ErrorText(std::uint32_t code) override {
    char buf[1024];
    const DWORD n = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                     nullptr, code, 0x400, buf, sizeof buf, nullptr);
    return std::string(buf, n);
  }

  std::int64_t PerfFrequency() override {
    LARGE_INTEGER f{};
    if (!::QueryPerformanceFrequency(&f)) return 0;
    return f.QuadPart;
  }

  std::int64_t PerfCounter() override {
    LARGE_INTEGER c{};
    ::QueryPerformanceCounter(&c);
    return c.QuadPart;
  }

  std::uint32_t TickCount() override { return ::GetTickCount(); }
  // SetThreadAffinityMask to the processor of GetCurrentProcessorNumber.
  bool KeepThreadOnProcessor(bool keep) override {
    static thread_local DWORD_PTR allowed = 0;
    if (!keep) {
      if (!allowed) return false;
      const bool ok = ::SetThreadAffinityMask(::GetCurrentThread(), allowed) != 0;
      allowed = 0;
      return ok;
    }
    if (allowed) return true;
    const DWORD cpu = ::GetCurrentProcessorNumber();
    if (cpu >= sizeof(DWORD_PTR) * 8) return false;
    allowed = ::SetThreadAffinityMask(::GetCurrentThread(), DWORD_PTR(1) << cpu);
    return allowed != 0;
  }
};

}  // namespace

std::unique_ptr<Platform> MakeHostPlatform() { return std::make_unique<Win32Platform>(); }

bool IsTerminal(int fd) { return ::_isatty(fd) != 0; }

}  // namespace dt
