// The platform seam: the only interface through which disktest talks to an
// operating system. Its operations mirror the Windows services the product is
// defined against (raw device handles, positioned reads and writes, device
// control with the Windows request codes and byte-exact records, volumes,
// error texts, timing), so the algorithms above it are written once. Each OS
// implements only the transport: win32/ calls Windows itself, posix/ maps the
// calls onto Linux, sim/ is a simulated machine described by a JSON file.
//
// Like Windows, every failing call leaves its error code in LastError() of the
// calling thread; codes are the host's native ones (Windows error codes on
// Windows, errno values on Linux), also on the simulated machine.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace dt {

// ---------------------------------------------------------------------------
// Handles, access rights, share modes, dispositions (Windows values).

using Handle = std::intptr_t;
inline constexpr Handle kInvalidHandle = -1;

inline constexpr std::uint32_t kGenericRead = 0x80000000u;
inline constexpr std::uint32_t kGenericWrite = 0x40000000u;
inline constexpr std::uint32_t kShareRead = 0x1u;
inline constexpr std::uint32_t kShareWrite = 0x2u;
inline constexpr std::uint32_t kCreateNew = 1;
inline constexpr std::uint32_t kOpenExisting = 3;
inline constexpr std::uint32_t kAttributeNormal = 0x80u;
// Not a Windows flag (the Windows backend strips it): the handle serves only
// device-control requests (sizes, geometry, SMART), never data. On Linux such
// an open needs no read permission for size queries and takes no exclusive
// claim, so it works on a disk that is mounted.
inline constexpr std::uint32_t kFlagDeviceControl = 0x00010000u;

enum class FileType : std::uint32_t { Unknown = 0, Disk = 1, Char = 2, Pipe = 3 };

// ---------------------------------------------------------------------------
// Device-control request codes.

inline constexpr std::uint32_t IOCTL_DISK_GET_DRIVE_GEOMETRY = 0x00070000u;
inline constexpr std::uint32_t IOCTL_DISK_GET_PARTITION_INFO = 0x00074004u;
inline constexpr std::uint32_t IOCTL_DISK_GET_LENGTH_INFO = 0x0007405Cu;
inline constexpr std::uint32_t SMART_GET_VERSION = 0x00074080u;
inline constexpr std::uint32_t SMART_SEND_DRIVE_COMMAND = 0x0007C084u;
inline constexpr std::uint32_t SMART_RCV_DRIVE_DATA = 0x0007C088u;

// ---------------------------------------------------------------------------
// Byte-exact device-control records (Windows layouts and field names).

#pragma pack(push, 1)
struct DISK_GEOMETRY {
  std::int64_t Cylinders;
  std::uint32_t MediaType;
  std::uint32_t TracksPerCylinder;
  std::uint32_t SectorsPerTrack;
  std::uint32_t BytesPerSector;
};

struct PARTITION_INFORMATION {
  std::int64_t StartingOffset;
  std::int64_t PartitionLength;
  std::uint32_t HiddenSectors;
  std::uint32_t PartitionNumber;
  std::uint8_t PartitionType;
  std::uint8_t BootIndicator;
  std::uint8_t RecognizedPartition;
  std::uint8_t RewritePartition;
};

// The full length of an open disk, partition or file in bytes: every
// sector, not only whole cylinders.
struct GET_LENGTH_INFORMATION {
  std::int64_t Length;
};

struct GETVERSIONINPARAMS {
  std::uint8_t bVersion;
  std::uint8_t bRevision;
  std::uint8_t bReserved;
  std::uint8_t bIDEDeviceMap;
  std::uint32_t fCapabilities;
  std::uint32_t dwReserved[4];
};

struct IDEREGS {
  std::uint8_t bFeaturesReg;
  std::uint8_t bSectorCountReg;
  std::uint8_t bSectorNumberReg;
  std::uint8_t bCylLowReg;
  std::uint8_t bCylHighReg;
  std::uint8_t bDriveHeadReg;
  std::uint8_t bCommandReg;
  std::uint8_t bReserved;
};

struct SENDCMDINPARAMS {
  std::uint32_t cBufferSize;
  IDEREGS irDriveRegs;
  std::uint8_t bDriveNumber;
  std::uint8_t bReserved[3];
  std::uint32_t dwReserved[4];
  std::uint8_t bBuffer[1];
};

struct DRIVERSTATUS {
  std::uint8_t bDriverError;
  std::uint8_t bIDEError;
  std::uint8_t bReserved[2];
  std::uint32_t dwReserved[2];
};

struct SENDCMDOUTPARAMS {
  std::uint32_t cBufferSize;
  DRIVERSTATUS DriverStatus;
  std::uint8_t bBuffer[1];
};

// SENDCMDOUTPARAMS with room for one 512-byte sector (the 528-byte record).
struct SENDCMDOUTPARAMS512 {
  std::uint32_t cBufferSize;
  DRIVERSTATUS DriverStatus;
  std::uint8_t bBuffer[512];
};
#pragma pack(pop)

static_assert(sizeof(DISK_GEOMETRY) == 24);
static_assert(offsetof(DISK_GEOMETRY, BytesPerSector) == 20);
static_assert(sizeof(PARTITION_INFORMATION) == 28);
static_assert(offsetof(PARTITION_INFORMATION, PartitionLength) == 8);
static_assert(sizeof(GET_LENGTH_INFORMATION) == 8);
static_assert(sizeof(GETVERSIONINPARAMS) == 24);
static_assert(offsetof(GETVERSIONINPARAMS, bIDEDeviceMap) == 3);
static_assert(offsetof(GETVERSIONINPARAMS, fCapabilities) == 4);
static_assert(sizeof(IDEREGS) == 8);
static_assert(sizeof(SENDCMDINPARAMS) == 33);
static_assert(offsetof(SENDCMDINPARAMS, bDriveNumber) == 12);
static_assert(offsetof(SENDCMDINPARAMS, dwReserved) == 16);
static_assert(offsetof(SENDCMDINPARAMS, bBuffer) == 32);
static_assert(sizeof(DRIVERSTATUS) == 12);
static_assert(offsetof(SENDCMDOUTPARAMS, bBuffer) == 16);
static_assert(sizeof(SENDCMDOUTPARAMS512) == 528);

// The input length a SMART request passes: the record without its data tail.
inline constexpr std::uint32_t kSendCmdInLength = 32;
inline constexpr std::uint32_t kSendCmdOutHeader = 16;

// The geometry Windows reports for a modern disk of `bytes` bytes: 255
// tracks per cylinder, 63 sectors per track, whole cylinders.
DISK_GEOMETRY ModernDiskGeometry(std::uint64_t bytes, std::uint32_t bytesPerSector);

// SMART driver capability bits (GETVERSIONINPARAMS::fCapabilities).
inline constexpr std::uint32_t CAP_ATA_ID_CMD = 1;
inline constexpr std::uint32_t CAP_ATAPI_ID_CMD = 2;
inline constexpr std::uint32_t CAP_SMART_CMD = 4;

// ---------------------------------------------------------------------------
// Native error codes used by more than one layer, for the host platform.

#ifdef _WIN32
inline constexpr std::uint32_t kErrInvalidFunction = 1;  // ERROR_INVALID_FUNCTION
inline constexpr std::uint32_t kErrNotFound = 2;         // ERROR_FILE_NOT_FOUND
inline constexpr std::uint32_t kErrAccessDenied = 5;     // ERROR_ACCESS_DENIED
inline constexpr std::uint32_t kErrInvalidHandle = 6;    // ERROR_INVALID_HANDLE
inline constexpr std::uint32_t kErrNotReady = 21;        // ERROR_NOT_READY
inline constexpr std::uint32_t kErrCrc = 23;             // ERROR_CRC
inline constexpr std::uint32_t kErrWriteFault = 29;      // ERROR_WRITE_FAULT
inline constexpr std::uint32_t kErrReadFault = 30;       // ERROR_READ_FAULT
inline constexpr std::uint32_t kErrNotSupported = 50;    // ERROR_NOT_SUPPORTED
inline constexpr std::uint32_t kErrExists = 80;          // ERROR_FILE_EXISTS
inline constexpr std::uint32_t kErrInvalidParameter = 87;  // ERROR_INVALID_PARAMETER
inline constexpr std::uint32_t kErrBusy = 170;           // ERROR_BUSY
inline constexpr std::uint32_t kErrIo = 1117;            // ERROR_IO_DEVICE
#else
inline constexpr std::uint32_t kErrInvalidFunction = 25;  // ENOTTY
inline constexpr std::uint32_t kErrNotFound = 2;          // ENOENT
inline constexpr std::uint32_t kErrAccessDenied = 13;     // EACCES
inline constexpr std::uint32_t kErrInvalidHandle = 9;     // EBADF
inline constexpr std::uint32_t kErrNotReady = 123;        // ENOMEDIUM
inline constexpr std::uint32_t kErrCrc = 5;               // EIO
inline constexpr std::uint32_t kErrWriteFault = 5;        // EIO
inline constexpr std::uint32_t kErrReadFault = 5;         // EIO
inline constexpr std::uint32_t kErrNotSupported = 95;     // EOPNOTSUPP
inline constexpr std::uint32_t kErrExists = 17;           // EEXIST
inline constexpr std::uint32_t kErrInvalidParameter = 22;  // EINVAL
inline constexpr std::uint32_t kErrBusy = 16;             // EBUSY
inline constexpr std::uint32_t kErrIo = 5;                // EIO
#endif

// ---------------------------------------------------------------------------
// NVMe admin commands (typed, not a Windows record: the Windows, Linux and
// simulated transports each carry them their own way).

// NVMe admin opcodes and log pages that disktest sends.
inline constexpr std::uint8_t kNvmeGetLogPage = 0x02;
inline constexpr std::uint8_t kNvmeIdentify = 0x06;
inline constexpr std::uint8_t kNvmeCnsController = 0x01;  // Identify CNS: the controller
inline constexpr std::uint8_t kNvmeCnsNamespace = 0x00;   // Identify CNS: a namespace
inline constexpr std::uint8_t kNvmeLogErrorInfo = 0x01;
inline constexpr std::uint8_t kNvmeLogSmartHealth = 0x02;
// The namespace id that addresses the controller as a whole.
inline constexpr std::uint32_t kNvmeNsidAll = 0xFFFFFFFFu;

// One admin command: every command disktest sends moves data from the drive
// into `data` (Identify, Get Log Page); there are no writing commands.
struct NvmeCommand {
  std::uint8_t opcode = 0;
  std::uint32_t nsid = 0;
  std::uint32_t cdw10 = 0, cdw11 = 0, cdw12 = 0, cdw13 = 0, cdw14 = 0, cdw15 = 0;
  void* data = nullptr;
  std::uint32_t dataLen = 0;
};

// What the controller answered: dword 0 of the completion entry and the
// status field (bits 1-15 of completion dword 3: status code in bits 0-7,
// status code type in bits 8-10, "more" and "do not retry" above). A status
// of 0 is success; a transport failure leaves it 0 and says so through the
// call's result and LastError() instead.
struct NvmeResult {
  std::uint32_t cdw0 = 0;
  std::uint16_t status = 0;
};

// The status code type and status code of a completion status.
inline constexpr std::uint8_t NvmeStatusCodeType(std::uint16_t status) {
  return static_cast<std::uint8_t>((status >> 8) & 0x7);
}
inline constexpr std::uint8_t NvmeStatusCode(std::uint16_t status) {
  return static_cast<std::uint8_t>(status & 0xFF);
}

// ---------------------------------------------------------------------------
// Volume information (GetVolumeInformationA / GetDiskFreeSpaceExA).

struct VolumeInfo {
  std::string label;
  std::string fileSystem;
};

// One entry of the logical-drive list: on Windows a drive letter ("C"), on
// Linux a device name ("sdb1"). `root` is what the volume queries take.
struct LogicalDrive {
  std::string name;
};

// ---------------------------------------------------------------------------
// Asynchronous reads: several reads at once on one data handle (the random
// access test at queue depths above one).

struct AsyncReadRequest {
  std::int64_t offset = 0;
  void* buf = nullptr;  // aligned to 4096 bytes; `len` a whole number of sectors
  std::uint32_t len = 0;
  std::uint64_t tag = 0;  // handed back with the completion
};

struct AsyncReadCompletion {
  std::uint64_t tag = 0;
  std::uint32_t done = 0;    // bytes read
  std::uint32_t error = 0;   // the native error code, 0 when the read succeeded
  std::int64_t counter = 0;  // PerfCounter() at the moment the read was seen complete
};

class AsyncReader {
 public:
  virtual ~AsyncReader() = default;
  // Queues `n` reads; at most the reader's depth may be outstanding at once.
  // They are under way at the latest once the next Reap has begun. False
  // with LastError() set when they could not be queued (none is then).
  virtual bool Submit(const AsyncReadRequest* reqs, std::size_t n) = 0;
  // Waits until at least `min` reads have completed (fewer when fewer are
  // outstanding) and hands back up to `max` completed ones.
  virtual std::size_t Reap(AsyncReadCompletion* out, std::size_t max, std::size_t min) = 0;
  // What carries the reads: "io_uring", "threads", "iocp" or "sim".
  virtual const char* Kind() const = 0;
  // The memory that every later request reads into lies within [base,
  // base + bytes): a reader may map it once instead of at every read.
  // Without reads under way only.
  virtual void UseBuffers(void* /*base*/, std::size_t /*bytes*/) {}
};

// ---------------------------------------------------------------------------
// The seam.

class Platform {
 public:
  virtual ~Platform() = default;

  // A short name for messages and --help: "win32", "posix", "sim".
  virtual std::string Name() const = 0;

  // Device paths. Windows: "\\.\PHYSICALDRIVE" + n and "\\.\" + letter + ":".
  // Linux: the n-th whole-disk block device ("/dev/sda") and "/dev/" + name.
  // Empty when the number does not exist.
  virtual std::string PhysicalDrivePath(int n) const = 0;
  virtual std::string LogicalDrivePath(const std::string& name) const = 0;

  // CreateFileA. Returns kInvalidHandle and sets the last error on failure.
  // Opening a block device for writing never succeeds while the device (or a
  // partition of it) is in use: the caller then falls back to reading.
  virtual Handle OpenDevice(const std::string& path, std::uint32_t access,
                            std::uint32_t share, std::uint32_t disposition,
                            std::uint32_t flags) = 0;
  virtual bool Close(Handle h) = 0;
  // True when the device at `path`, or any partition of its disk, is mounted
  // or holds the root file system, so that writing to it may destroy a
  // running system. False where the platform cannot tell (the default).
  virtual bool DeviceInUse(const std::string& path);
  // GetFileType: a raw disk, a partition and a regular file are all Disk.
  virtual FileType GetType(Handle h) = 0;

  // ReadFile / WriteFile with a 64-bit offset on a synchronous handle.
  // `done` receives the bytes moved (0 on failure).
  virtual bool ReadAt(Handle h, std::int64_t offset, void* buf, std::uint32_t len,
                      std::uint32_t* done) = 0;
  virtual bool WriteAt(Handle h, std::int64_t offset, const void* buf, std::uint32_t len,
                       std::uint32_t* done) = 0;
  // A reader that keeps up to `depth` reads of the data handle `h` under way
  // at once; null with LastError() set when none can be made. The handle
  // must stay open while the reader lives, and the thread that makes the
  // reader uses and ends it. By default a pool of `depth` threads that each
  // issue ReadAt.
  virtual std::unique_ptr<AsyncReader> OpenAsyncReader(Handle h, std::uint32_t depth);

  // DeviceIoControl with the request codes above.
  virtual bool Control(Handle h, std::uint32_t code, const void* in, std::uint32_t inLen,
                       void* out, std::uint32_t outLen, std::uint32_t* returned) = 0;

  // Sends one NVMe admin command to the controller of the NVMe disk or
  // namespace open on `h` (opened with kFlagDeviceControl). True when the
  // controller completed it with status 0. On a transport failure it returns
  // false with the system's code in LastError() and result->status 0; when
  // the controller answered with an error status it returns false with that
  // status in result->status and kErrIo in LastError(). Platforms and devices
  // without NVMe answer false with kErrNotSupported (the default). Windows
  // carries only what its storage driver passes on (Identify, Get Log Page).
  virtual bool NvmePassThrough(Handle h, const NvmeCommand& cmd, NvmeResult* result);

  // GetLogicalDrives, as the list of drives in order (bit 0 = "A" first).
  virtual std::vector<LogicalDrive> LogicalDrives() = 0;
  // GetVolumeInformationA on the volume of a logical drive; false on failure
  // (the info then stays empty).
  virtual bool VolumeInformation(const std::string& name, VolumeInfo* info) = 0;
  // GetDiskFreeSpaceExA: the total number of bytes of the volume.
  virtual bool VolumeTotalBytes(const std::string& name, std::uint64_t* total) = 0;

  // FormatMessageA(FROM_SYSTEM | IGNORE_INSERTS, language neutral): the raw
  // system text of a code, trailing line break included, as Windows gives it
  // ("Access is denied.\r\n"); empty when there is none.
  virtual std::string ErrorText(std::uint32_t code) = 0;

  // QueryPerformanceFrequency (0 when there is no counter),
  // QueryPerformanceCounter and GetTickCount (milliseconds, wraps at 2^32).
  virtual std::int64_t PerfFrequency() = 0;
  virtual std::int64_t PerfCounter() = 0;
  virtual std::uint32_t TickCount() = 0;
  // Whether the performance counter counts processor cycles, so that its
  // frequency is the processor clock. By default true above 70 MHz: that is
  // the time-stamp counter, where the other counters behind
  // QueryPerformanceCounter are timer chips of a few MHz (1.19, 3.58, 10,
  // 14.3 MHz). A platform whose counter is a clock in fixed units says no.
  virtual bool PerfCounterIsCpuClock();
  // Keeps the calling thread on the processor it runs on now (`keep`), or
  // lets it run on the processors it was allowed before (`!keep`). A thread
  // that times its reads holds its processor so that every read completes
  // where it was issued: a wake-up on another processor costs more than a
  // small read takes. False where the platform cannot (the default), which
  // changes nothing.
  virtual bool KeepThreadOnProcessor(bool keep);
  // Sleep: waits the given time. A simulated machine with a virtual clock
  // advances its clock instead, so that waits on it take no real time.
  virtual void Sleep(std::uint32_t milliseconds);

  // The dump file (_lcreat / _hwrite / _lclose): a regular file, created or
  // truncated. -1 when it cannot be created, and also when `name` is anything
  // but a regular file (a device, a directory, a pipe): such a target is
  // never opened for writing (DumpTargetRefusal says why). DumpWrite writes
  // all of `len` or fails; DumpClose fails when buffered data could not be
  // written. Failures leave the system's code in LastError().
  virtual int DumpCreate(const std::string& name);
  virtual bool DumpWrite(int fd, const void* data, std::uint32_t len);
  virtual bool DumpClose(int fd);

  // The error code of the last failing call of this thread (GetLastError).
  static std::uint32_t LastError();
  static void SetLastError(std::uint32_t code);
};

// Keeps the calling thread on its processor while the guard lives (see
// Platform::KeepThreadOnProcessor): around a run of timed or bulk reads.
class ProcessorHold {
 public:
  explicit ProcessorHold(Platform& p) : p_(p) { p_.KeepThreadOnProcessor(true); }
  ~ProcessorHold() { p_.KeepThreadOnProcessor(false); }
  ProcessorHold(const ProcessorHold&) = delete;
  ProcessorHold& operator=(const ProcessorHold&) = delete;

 private:
  Platform& p_;
};

// Why `name` may not be written as a dump file, or empty when it may: it
// names a device (on Windows also "\\.\..." paths and reserved names such as
// NUL), a directory or anything else that is not a regular file, following
// symbolic links. A missing file may be created.
std::string DumpTargetRefusal(const std::string& name);

// The real machine of the running OS.
std::unique_ptr<Platform> MakeHostPlatform();

// Whether a standard stream of this process (0 input, 1 output, 2 error) is
// a terminal; a property of the host, whichever machine is simulated.
bool IsTerminal(int fd);

// The platform that every layer above uses. Set once at start (the real
// machine, or a simulated one), replaceable in tests.
Platform& Sys();
void SetSys(std::unique_ptr<Platform> p);
// Replaces the platform for the lifetime of the returned guard (tests).
class ScopedPlatform {
 public:
  explicit ScopedPlatform(std::unique_ptr<Platform> p);
  ~ScopedPlatform();
  ScopedPlatform(const ScopedPlatform&) = delete;
  ScopedPlatform& operator=(const ScopedPlatform&) = delete;
  Platform& get() { return *current_; }

 private:
  std::unique_ptr<Platform> saved_;
  Platform* current_;
};

}  // namespace dt
