// A recording fake machine for the ATA tests: it records every open and
// every device-control request with its input bytes, and answers the SMART
// and geometry requests from an ATA capture. Install it with
// dt::ScopedPlatform; keep a raw pointer to inspect what was sent.
#pragma once

#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/platform_wrapper.h"
#include "platform/sim/ata_capture.h"
#include "platform/sim/sim_platform.h"

namespace dt::fake {

class FakeAtaPlatform : public PlatformWrapper {
 public:
  // An empty simulated machine answers what the fake does not: no volumes,
  // a virtual clock.
  FakeAtaPlatform() : PlatformWrapper(EmptyMachine()) {}

  struct Open {
    std::string path;
    std::uint32_t access, share, disposition, flags;
  };
  struct Request {
    Handle handle;
    std::uint32_t code;
    std::vector<std::uint8_t> in;  // exactly inLen bytes
    std::uint32_t outLen;
  };

  // --- What the machine answers ------------------------------------------
  // Which of the two paths open, and the error of each when it does not.
  bool physicalOpens = true;
  bool smartVsdOpens = false;
  std::uint32_t physicalOpenError = kErrAccessDenied;
  std::uint32_t smartVsdOpenError = kErrNotFound;

  // SMART_GET_VERSION answer; nullopt fails the request with versionError.
  std::optional<GETVERSIONINPARAMS> version = MakeVersion(1, 1, 0x01, 0x07);
  std::uint32_t versionError = kErrInvalidFunction;

  // The drive's sectors; without identify the IDENTIFY commands fail.
  std::optional<AtaCapture> capture;
  // Failing SMART commands: the request fails with commandError and the
  // output header carries driverStatus in bDriverError.
  bool failIdentify = false, failSmart = false;
  std::uint32_t commandError = kErrIo;
  std::uint8_t driverStatus = 0;

  // When set, answers SMART_SEND_DRIVE_COMMAND and SMART_RCV_DRIVE_DATA in
  // place of the capture: gets the request's input record and the output
  // buffer, returns the request's result.
  std::function<bool(const std::uint8_t* in, std::uint8_t* out, std::uint32_t outLen,
                     std::uint32_t* returned)>
      smartAnswer;

  // Geometry answer; nullopt fails the request with geometryError.
  std::optional<DISK_GEOMETRY> geometry = MakeGeometry(16383, 16, 63, 512);
  std::uint32_t geometryError = kErrInvalidFunction;

  // --- What was asked ------------------------------------------------------
  std::vector<Open> opens;
  std::vector<Request> requests;
  std::vector<Handle> closed;

  static GETVERSIONINPARAMS MakeVersion(std::uint8_t v, std::uint8_t r, std::uint8_t map,
                                        std::uint32_t caps) {
    GETVERSIONINPARAMS p{};
    p.bVersion = v;
    p.bRevision = r;
    p.bIDEDeviceMap = map;
    p.fCapabilities = caps;
    return p;
  }
  static DISK_GEOMETRY MakeGeometry(std::int64_t c, std::uint32_t h, std::uint32_t s,
                                    std::uint32_t b) {
    DISK_GEOMETRY g{};
    g.Cylinders = c;
    g.MediaType = 12;
    g.TracksPerCylinder = h;
    g.SectorsPerTrack = s;
    g.BytesPerSector = b;
    return g;
  }

  // Requests with a given code, in order.
  std::vector<Request> RequestsWith(std::uint32_t code) const {
    std::vector<Request> r;
    for (const auto& q : requests)
      if (q.code == code) r.push_back(q);
    return r;
  }

  // --- Platform -------------------------------------------------------------
  std::string Name() const override { return "fake"; }
  std::string PhysicalDrivePath(int n) const override {
    return "\\\\.\\PHYSICALDRIVE" + std::to_string(n);
  }
  std::string LogicalDrivePath(const std::string& name) const override {
    return "\\\\.\\" + name + ":";
  }

  Handle OpenDevice(const std::string& path, std::uint32_t access, std::uint32_t share,
                    std::uint32_t disposition, std::uint32_t flags) override {
    opens.push_back({path, access, share, disposition, flags});
    const bool vsd = path == "\\\\.\\SMARTVSD";
    if (vsd ? !smartVsdOpens : !physicalOpens) {
      SetLastError(vsd ? smartVsdOpenError : physicalOpenError);
      return kInvalidHandle;
    }
    return nextHandle_++;
  }
  bool Close(Handle h) override {
    closed.push_back(h);
    return true;
  }
  FileType GetType(Handle) override { return FileType::Disk; }
  bool ReadAt(Handle, std::int64_t, void*, std::uint32_t, std::uint32_t* done) override {
    *done = 0;
    SetLastError(kErrInvalidFunction);
    return false;
  }
  bool WriteAt(Handle, std::int64_t, const void*, std::uint32_t, std::uint32_t* done) override {
    *done = 0;
    SetLastError(kErrInvalidFunction);
    return false;
  }

  bool Control(Handle h, std::uint32_t code, const void* in, std::uint32_t inLen, void* out,
               std::uint32_t outLen, std::uint32_t* returned) override {
    Request q{h, code, {}, outLen};
    if (in && inLen) {
      const auto* p = static_cast<const std::uint8_t*>(in);
      q.in.assign(p, p + inLen);
    }
    requests.push_back(q);
    *returned = 0;
    switch (code) {
      case SMART_GET_VERSION:
        if (!version) return Fail(versionError);
        std::memcpy(out, &*version, sizeof(*version));
        *returned = sizeof(*version);
        return true;
      case IOCTL_DISK_GET_DRIVE_GEOMETRY:
        if (!geometry) return Fail(geometryError);
        std::memcpy(out, &*geometry, sizeof(*geometry));
        *returned = sizeof(*geometry);
        return true;
      case SMART_SEND_DRIVE_COMMAND:
      case SMART_RCV_DRIVE_DATA:
        if (smartAnswer)
          return smartAnswer(static_cast<const std::uint8_t*>(in), static_cast<std::uint8_t*>(out),
                             outLen, returned);
        return Command(static_cast<const std::uint8_t*>(in), static_cast<std::uint8_t*>(out),
                       outLen, returned);
      default:
        return Fail(kErrInvalidFunction);
    }
  }

  std::string ErrorText(std::uint32_t code) override {
    return "Fake message " + std::to_string(code) + ".\r\n";
  }

 private:
  static std::unique_ptr<Platform> EmptyMachine() {
    std::string error;
    return ParseSimMachine("{}", "", "fake", &error);
  }
  static bool Fail(std::uint32_t code) {
    SetLastError(code);
    return false;
  }

  bool Command(const std::uint8_t* in, std::uint8_t* out, std::uint32_t outLen,
               std::uint32_t* returned) {
    const std::uint8_t features = in[4], command = in[10];
    const std::uint8_t* sector = nullptr;
    bool fail = false;
    if (command == 0xEC || command == 0xA1) {
      fail = failIdentify || !capture;
      if (capture) sector = capture->identify.data();
    } else if (command == 0xB0) {
      fail = failSmart || !capture;
      if (capture && features == 0xD0 && capture->hasSmartData) sector = capture->smartData.data();
      if (capture && features == 0xD1 && capture->hasThresholds)
        sector = capture->thresholds.data();
      if (features != 0xD8 && !sector) fail = true;
    } else {
      fail = true;
    }
    if (fail) {
      if (outLen > 4) out[4] = driverStatus;
      *returned = outLen >= 16 ? 16 : 0;
      return Fail(commandError);
    }
    if (sector && outLen >= 528) {
      std::uint32_t size = 512;
      std::memcpy(out, &size, 4);
      std::memcpy(out + 16, sector, 512);
      *returned = 528;
    } else {
      *returned = 16;
    }
    return true;
  }

  Handle nextHandle_ = 100;
};

// A fake with the given capture file of the shared test data loaded.
inline std::unique_ptr<FakeAtaPlatform> MakeFakeWithCapture(const std::string& file) {
  auto fake = std::make_unique<FakeAtaPlatform>();
  AtaCapture cap;
  std::string error;
  if (ReadAtaCapture(std::string(DT_TESTDATA_DIR) + "/ata-captures/" + file, &cap, &error))
    fake->capture = cap;
  return fake;
}

}  // namespace dt::fake
