// Fuzzes the SMART report with arbitrary SMART data, threshold and IDENTIFY
// sectors, arbitrary bytes-returned counts and failures, through
// ReportAttributes with every combination of its options. No input may make
// it fail, read outside the sectors or emit control characters.
//
// Input: byte 0 chooses the failing commands, bytes 1-4 the bytes-returned
// count of the threshold read (little-endian), then the SMART data sector,
// the threshold sector and the IDENTIFY block (512 bytes each, zero-filled
// when the input is shorter).
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "ata/smart_report.h"
#include "ata/tide_smart.h"
#include "platform/platform.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

struct Answers {
  std::array<std::uint8_t, 512> data{}, thresholds{}, identify{};
  std::uint32_t thresholdReturned = 528;
  bool failEnable = false, failData = false, failThresholds = false, failIdentify = false;
};

// A machine with one drive that answers the SMART requests from the input.
class FuzzPlatform : public dt::Platform {
 public:
  explicit FuzzPlatform(const Answers& a) : a_(a) {}

  std::string Name() const override { return "fuzz"; }
  std::string PhysicalDrivePath(int n) const override {
    return n == 0 ? "\\\\.\\PHYSICALDRIVE0" : std::string();
  }
  std::string LogicalDrivePath(const std::string& name) const override { return name; }
  dt::Handle OpenDevice(const std::string& path, std::uint32_t, std::uint32_t, std::uint32_t,
                        std::uint32_t) override {
    if (path == "\\\\.\\PHYSICALDRIVE0") return 1;
    SetLastError(dt::kErrNotFound);
    return dt::kInvalidHandle;
  }
  bool Close(dt::Handle) override { return true; }
  dt::FileType GetType(dt::Handle) override { return dt::FileType::Disk; }
  bool ReadAt(dt::Handle, std::int64_t, void*, std::uint32_t, std::uint32_t* done) override {
    if (done) *done = 0;
    SetLastError(dt::kErrIo);
    return false;
  }
  bool WriteAt(dt::Handle, std::int64_t, const void*, std::uint32_t, std::uint32_t* done) override {
    if (done) *done = 0;
    SetLastError(dt::kErrIo);
    return false;
  }
  bool Control(dt::Handle, std::uint32_t code, const void* in, std::uint32_t inLen, void* out,
               std::uint32_t outLen, std::uint32_t* returned) override {
    if (returned) *returned = 0;
    if (code == dt::SMART_GET_VERSION && out && outLen >= sizeof(dt::GETVERSIONINPARAMS)) {
      dt::GETVERSIONINPARAMS v{};
      v.bVersion = 1;
      v.fCapabilities = dt::CAP_ATA_ID_CMD | dt::CAP_SMART_CMD;
      std::memcpy(out, &v, sizeof v);
      if (returned) *returned = sizeof v;
      return true;
    }
    if (code != dt::SMART_SEND_DRIVE_COMMAND && code != dt::SMART_RCV_DRIVE_DATA) {
      SetLastError(dt::kErrInvalidFunction);
      return false;
    }
    Check(in && inLen == dt::kSendCmdInLength && out);
    dt::SENDCMDINPARAMS cmd{};
    std::memcpy(&cmd, in, dt::kSendCmdInLength);
    auto* o = static_cast<std::uint8_t*>(out);
    if (code == dt::SMART_SEND_DRIVE_COMMAND) {
      Check(outLen >= dt::kSendCmdOutHeader);
      return Answer(o, nullptr, a_.failEnable, dt::kSendCmdOutHeader, returned);
    }
    Check(outLen >= dt::kSendCmdOutHeader + 512);
    if (cmd.irDriveRegs.bCommandReg != 0xB0)
      return Answer(o, a_.identify.data(), a_.failIdentify, 528, returned);
    if (cmd.irDriveRegs.bFeaturesReg == 0xD0)
      return Answer(o, a_.data.data(), a_.failData, 528, returned);
    return Answer(o, a_.thresholds.data(), a_.failThresholds, a_.thresholdReturned, returned);
  }
  std::vector<dt::LogicalDrive> LogicalDrives() override { return {}; }
  bool VolumeInformation(const std::string&, dt::VolumeInfo*) override { return false; }
  bool VolumeTotalBytes(const std::string&, std::uint64_t*) override { return false; }
  std::string ErrorText(std::uint32_t) override { return "Fuzzed failure.\r\n"; }
  std::int64_t PerfFrequency() override { return 1000; }
  std::int64_t PerfCounter() override { return 0; }
  std::uint32_t TickCount() override { return 0; }

 private:
  // Writes the record header with an arbitrary driver status, and the
  // sector; a failure still tells a count, as a driver may.
  bool Answer(std::uint8_t* o, const std::uint8_t* sector, bool fail, std::uint32_t count,
              std::uint32_t* returned) {
    o[4] = a_.data[0];  // bDriverError
    if (sector) std::memcpy(o + dt::kSendCmdOutHeader, sector, 512);
    if (returned) *returned = count;
    if (fail) SetLastError(dt::kErrIo);
    return !fail;
  }

  Answers a_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Answers a;
  std::uint8_t mode = 0;
  if (size > 0) mode = data[0];
  if (size >= 5) std::memcpy(&a.thresholdReturned, data + 1, 4);
  std::size_t at = 5;
  for (auto* sector : {&a.data, &a.thresholds, &a.identify}) {
    if (at >= size) break;
    const std::size_t n = size - at < 512 ? size - at : 512;
    std::memcpy(sector->data(), data + at, n);
    at += n;
  }
  a.failEnable = (mode & 0x10) && (mode & 0x20);
  a.failData = (mode & 0x10) && !(mode & 0x20);
  a.failThresholds = mode & 0x40;
  a.failIdentify = mode & 0x80;

  dt::ScopedPlatform sys(std::make_unique<FuzzPlatform>(a));
  for (bool reserved : {false, true}) {
    for (int help : {dt::kHelpNone, 1, dt::kHelpFull}) {
      dt::TIDE_SMART smart;
      Check(smart.OpenDrive(0));
      std::size_t lines = 0;
      dt::ReportAttributes(smart, reserved, help, [&](const std::string& l) {
        ++lines;
        for (unsigned char c : l) Check(c >= 32 && c != 127);
      });
      Check(lines > 0 && lines < 2000);
    }
  }
  // A closed object prints nothing.
  dt::TIDE_SMART closed;
  dt::ReportAttributes(closed, true, dt::kHelpFull, [](const std::string&) { Check(false); });
  return 0;
}
