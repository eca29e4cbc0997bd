// The simulated drives: what their sectors hold, how long a request takes
// (speed profile, latency, access time, slow ranges), unreadable and
// unwritable sectors, and the answers to ATA (SMART) and NVMe commands.
#include <algorithm>
#include <cstring>
#include <thread>

#include "platform/sim/sim_machine.h"

namespace dt {

namespace sim {

namespace {

// The deterministic content of a sector that was never written: its number
// in the first eight bytes, then a counting pattern.
void PatternFill(std::uint64_t byteOffset, std::uint8_t* out, std::size_t len) {
  for (std::size_t i = 0; i < len; ++i) {
    const std::uint64_t pos = byteOffset + i;
    const std::uint64_t sector = pos / 512;
    const std::uint32_t in = static_cast<std::uint32_t>(pos % 512);
    out[i] = in < 8 ? static_cast<std::uint8_t>(sector >> (8 * in))
                    : static_cast<std::uint8_t>(in + sector * 7);
  }
}

}  // namespace

// What a disk holds where nothing was written: its image, or the pattern.
void DefaultContent(SimDisk* disk, std::uint64_t at, std::uint8_t* out, std::size_t n) {
  if (disk && disk->image) {
    std::size_t fromImage = 0;
    if (at < disk->imageSize) {
      fromImage = static_cast<std::size_t>(std::min<std::uint64_t>(n, disk->imageSize - at));
      disk->image->clear();
      disk->image->seekg(static_cast<std::streamoff>(at));
      disk->image->read(reinterpret_cast<char*>(out), static_cast<std::streamsize>(fromImage));
    }
    std::memset(out + fromImage, 0, n - fromImage);
  } else {
    PatternFill(at, out, n);
  }
}

}  // namespace sim

using namespace sim;

namespace {

bool Overlaps(const std::vector<Range>& ranges, std::uint64_t first, std::uint64_t last) {
  for (const Range& r : ranges)
    if (r.first <= last && first <= r.last) return true;
  return false;
}

constexpr std::uint8_t kSimNvmeDeviceSelfTest = 0x14;
constexpr std::uint8_t kSimNvmeLogSelfTest = 0x06;

// Simulated duration of a request in nanoseconds.
std::int64_t RequestNs(const SimDisk* d, std::uint64_t offset, std::uint32_t len) {
  double start = 100, end = 50, latency = 0.1, size = 1;
  if (d) {
    start = d->startMBps;
    end = d->endMBps;
    latency = d->latencyMs;
    size = static_cast<double>(d->size);
  }
  const double mbps = start + (end - start) * (static_cast<double>(offset) / size);
  const double seconds = latency / 1000.0 + static_cast<double>(len) / (mbps * 1e6);
  return static_cast<std::int64_t>(seconds * 1e9);
}

}  // namespace

bool SimPlatform::ReadAt(Handle h, std::int64_t offset, void* buf, std::uint32_t len,
                         std::uint32_t* done) {
  return Transfer(false, h, offset, buf, len, done);
}

bool SimPlatform::WriteAt(Handle h, std::int64_t offset, const void* buf, std::uint32_t len,
                          std::uint32_t* done) {
  return Transfer(true, h, offset, const_cast<void*>(buf), len, done);
}

bool SimPlatform::Transfer(bool write, Handle h, std::int64_t offset, void* buf,
                           std::uint32_t len, std::uint32_t* done, std::int64_t* serviceNs) {
  if (done) *done = 0;
  std::function<void(int, std::int64_t, bool)> hook;
  int hookDisk = -1;
  std::int64_t ns = 0;
  bool ok = false;
  std::uint32_t moved = 0;
  {
    std::lock_guard<std::mutex> lock(m_->mu);
    auto it = m_->open.find(h);
    if (it == m_->open.end()) {
      SetLastError(kErrInvalidHandle);
      return false;
    }
    const OpenEntry e = it->second;
    hook = m_->hook;
    hookDisk = e.disk;
    if (write && !e.write) {
      SetLastError(kErrAccessDenied);
      return false;
    }
    SimDisk* disk = e.disk >= 0 ? m_->disks[static_cast<std::size_t>(e.disk)].get() : nullptr;
    SimVolume* vol = e.volume >= 0 ? m_->volumes[static_cast<std::size_t>(e.volume)].get() : nullptr;
    const std::uint64_t base = vol ? vol->offset : 0;
    const std::uint64_t limit = vol ? vol->size : disk->size;
    const std::uint32_t ss = disk ? disk->sectorSize : 512;
    if (offset < 0 || static_cast<std::uint64_t>(offset) % ss != 0 || len % ss != 0) {
      SetLastError(kErrInvalidParameter);
      return false;
    }
    const std::uint64_t off = static_cast<std::uint64_t>(offset);
    // Requests past the end move what lies before it.
    moved = off >= limit ? 0 : static_cast<std::uint32_t>(std::min<std::uint64_t>(len, limit - off));
    const std::uint64_t abs = base + off;
    ns = RequestNs(disk, abs, len);
    if (disk && disk->accessMs > 0) {
      if (abs != disk->lastEnd) ns += static_cast<std::int64_t>(disk->accessMs * 1e6);
      disk->lastEnd = abs + len;
    }
    ok = true;
    if (moved > 0 && disk) {
      const std::uint64_t first = abs / ss;
      const std::uint64_t last = (abs + moved - 1) / ss;
      for (const SlowRange& r : disk->slow)
        if (r.first <= last && first <= r.last) ns = std::max(ns, r.ns);
      if (Overlaps(write ? disk->unwritable : disk->unreadable, first, last)) {
        SetLastError(write ? kErrWriteFault : kErrCrc);
        ok = false;
      }
    }
    if (ok && moved > 0) {
      ExtentStore& store = (disk ? disk->written : vol->written);
      auto* p = static_cast<std::uint8_t*>(buf);
      if (write) {
        store.Write(abs, p, moved);
      } else {
        // Unwritten bytes come from the image, or from the pattern.
        store.Read(abs, p, moved, [disk](std::uint64_t at, std::uint8_t* out, std::size_t n) {
          DefaultContent(disk, at, out, n);
        });
      }
    }
    // An asynchronous read takes its time on the reader's queue instead.
    if (serviceNs) {
      *serviceNs = ns;
    } else if (!m_->realtime) {
      m_->clockNs += ns;
    }
  }
  if (hook) hook(hookDisk, offset, write);
  if (m_->realtime && !serviceNs) std::this_thread::sleep_for(std::chrono::nanoseconds(ns));
  if (ok && done) *done = moved;
  return ok;
}

bool SimPlatform::Control(Handle h, std::uint32_t code, const void* in, std::uint32_t inLen,
                          void* out, std::uint32_t outLen, std::uint32_t* returned) {
  std::lock_guard<std::mutex> lock(m_->mu);
  if (returned) *returned = 0;
  auto it = m_->open.find(h);
  if (it == m_->open.end()) {
    SetLastError(kErrInvalidHandle);
    return false;
  }
  const OpenEntry e = it->second;
  SimDisk* disk = e.disk >= 0 ? m_->disks[static_cast<std::size_t>(e.disk)].get() : nullptr;
  SimVolume* vol = e.volume >= 0 ? m_->volumes[static_cast<std::size_t>(e.volume)].get() : nullptr;

  switch (code) {
    case IOCTL_DISK_GET_DRIVE_GEOMETRY: {
      if (!out || outLen < sizeof(DISK_GEOMETRY)) {
        SetLastError(kErrInvalidParameter);
        return false;
      }
      if (!disk) {
        // A volume not mapped on a disk answers no disk geometry.
        SetLastError(kErrInvalidFunction);
        return false;
      }
      if (disk->fail.geometry) {
        SetLastError(*disk->fail.geometry);
        return false;
      }
      const DISK_GEOMETRY g =
          disk->geometry ? *disk->geometry : ModernDiskGeometry(disk->size, disk->sectorSize);
      std::memcpy(out, &g, sizeof g);
      if (returned) *returned = sizeof g;
      return true;
    }
    case IOCTL_DISK_GET_PARTITION_INFO: {
      if (!out || outLen < 28) {
        SetLastError(kErrInvalidParameter);
        return false;
      }
      PARTITION_INFORMATION pi{};
      if (vol) {
        pi.StartingOffset = static_cast<std::int64_t>(vol->offset);
        pi.PartitionLength = static_cast<std::int64_t>(vol->size);
      } else {
        pi.PartitionLength = static_cast<std::int64_t>(disk->size);
      }
      pi.RecognizedPartition = 1;
      std::memcpy(out, &pi, 28);
      if (returned) *returned = 28;
      return true;
    }
    case IOCTL_DISK_GET_LENGTH_INFO: {
      if (!out || outLen < sizeof(GET_LENGTH_INFORMATION)) {
        SetLastError(kErrInvalidParameter);
        return false;
      }
      const GET_LENGTH_INFORMATION li{
          static_cast<std::int64_t>(vol ? vol->size : disk ? disk->size : 0)};
      std::memcpy(out, &li, sizeof li);
      if (returned) *returned = sizeof li;
      return true;
    }
    case SMART_GET_VERSION:
    case SMART_SEND_DRIVE_COMMAND:
    case SMART_RCV_DRIVE_DATA:
      break;
    default:
      SetLastError(kErrInvalidFunction);
      return false;
  }

  // SMART requests: only a physical disk with a capture answers them.
  if (vol || !disk || !disk->capture) {
    SetLastError(kErrInvalidFunction);
    return false;
  }
  const std::int64_t nowNs = m_->realtime ? std::chrono::duration_cast<std::chrono::nanoseconds>(
                                                std::chrono::steady_clock::now() - m_->start)
                                                .count()
                                          : m_->clockNs;
  AdvanceSelfTest(*disk, nowNs);
  const AtaCapture& cap = *disk->capture;
  if (code == SMART_GET_VERSION) {
    if (!out || outLen < sizeof(GETVERSIONINPARAMS)) {
      SetLastError(kErrInvalidParameter);
      return false;
    }
    if (disk->fail.version) {
      SetLastError(*disk->fail.version);
      return false;
    }
    GETVERSIONINPARAMS v{};
    v.bVersion = 1;
    v.bRevision = 1;
    v.bIDEDeviceMap = static_cast<std::uint8_t>(1u << (e.disk & 3));
    v.fCapabilities = CAP_ATA_ID_CMD | CAP_ATAPI_ID_CMD | CAP_SMART_CMD;
    std::memcpy(out, &v, sizeof v);
    if (returned) *returned = sizeof v;
    return true;
  }
  if (!in || inLen < kSendCmdInLength || !out || outLen < kSendCmdOutHeader) {
    SetLastError(kErrInvalidParameter);
    return false;
  }
  SENDCMDINPARAMS cmd{};
  std::memcpy(&cmd, in, kSendCmdInLength);
  const IDEREGS& r = cmd.irDriveRegs;
  auto* o = static_cast<std::uint8_t*>(out);
  const bool dataIn = code == SMART_RCV_DRIVE_DATA;
  const bool smartRegs = r.bCommandReg == 0xB0 && r.bCylLowReg == 0x4F && r.bCylHighReg == 0xC2;
  // RETURN STATUS answers with the drive's registers after the header.
  const bool returnStatus = !dataIn && smartRegs && r.bFeaturesReg == 0xDA;
  const std::uint32_t answerLen = dataIn         ? kSendCmdOutHeader + 512
                                  : returnStatus ? kSendCmdOutHeader + sizeof(IDEREGS)
                                                 : kSendCmdOutHeader;
  if (outLen < answerLen) {
    SetLastError(kErrInvalidParameter);
    return false;
  }
  std::memset(o, 0, answerLen);
  SENDCMDOUTPARAMS head{};
  head.cBufferSize = answerLen - kSendCmdOutHeader;

  auto failWith = [&](std::uint32_t sysErr, std::uint8_t drvErr) {
    head.cBufferSize = dataIn ? 512 : 0;
    head.DriverStatus.bDriverError = drvErr;
    std::memcpy(o, &head, kSendCmdOutHeader);
    SetLastError(sysErr);
    return false;
  };
  const std::uint8_t drvErr = disk->fail.driverError ? disk->fail.driverError : 1;
  const std::uint8_t* sector = nullptr;
  if (!dataIn) {
    if (!smartRegs) return failWith(kErrInvalidParameter, 3);
    if (r.bFeaturesReg == 0xD8) {
      if (disk->fail.enable) return failWith(*disk->fail.enable, drvErr);
    } else if (returnStatus) {
      // The capture's verdict; a drive without one aborts the command.
      if (!cap.hasStatus) return failWith(kErrIo, 1);
      IDEREGS answer{};
      answer.bSectorCountReg = 1;
      answer.bSectorNumberReg = 1;
      answer.bCylLowReg = cap.status ? 0x4F : 0xF4;
      answer.bCylHighReg = cap.status ? 0xC2 : 0x2C;
      answer.bDriveHeadReg = 0xA0;
      answer.bCommandReg = 0x50;  // status: ready, seek complete
      std::memcpy(o + kSendCmdOutHeader, &answer, sizeof answer);
    } else if (r.bFeaturesReg == 0xD4) {
      if (!ExecuteOffline(*disk, r.bSectorNumberReg, nowNs)) return failWith(kErrIo, 1);
    } else {
      return failWith(kErrInvalidParameter, 3);
    }
  } else if (r.bCommandReg == 0xEC) {
    if (disk->fail.identify) return failWith(*disk->fail.identify, drvErr);
    sector = cap.identify.data();
  } else if (r.bCommandReg == 0xA1) {
    // An ATA drive aborts IDENTIFY PACKET DEVICE.
    return failWith(kErrIo, 1);
  } else if (smartRegs && r.bFeaturesReg == 0xD0) {
    if (disk->fail.data) return failWith(*disk->fail.data, drvErr);
    if (!cap.hasSmartData) return failWith(kErrIo, 1);
    sector = cap.smartData.data();
  } else if (smartRegs && r.bFeaturesReg == 0xD1) {
    if (disk->fail.thresholds) return failWith(*disk->fail.thresholds, drvErr);
    if (!cap.hasThresholds) return failWith(kErrIo, 1);
    sector = cap.thresholds.data();
  } else if (smartRegs && r.bFeaturesReg == 0xD5 && r.bSectorCountReg == 1) {
    // READ LOG of one sector: the logs the capture holds (and the self-test
    // log that tests run here began); the drive aborts the others.
    if (r.bSectorNumberReg == 0x06 && disk->selfTestLog) {
      sector = disk->selfTestLog->data();
    } else if (r.bSectorNumberReg == 0x01 && cap.hasErrorLog) {
      sector = cap.errorLog.data();
    } else {
      return failWith(kErrIo, 1);
    }
  } else {
    return failWith(kErrIo, 3);
  }
  std::memcpy(o, &head, kSendCmdOutHeader);
  if (sector) std::memcpy(o + kSendCmdOutHeader, sector, 512);
  if (returned) *returned = answerLen;
  return true;
}

bool SimPlatform::NvmePassThrough(Handle h, const NvmeCommand& cmd, NvmeResult* result) {
  std::lock_guard<std::mutex> lock(m_->mu);
  if (result) *result = NvmeResult{};
  auto it = m_->open.find(h);
  if (it == m_->open.end()) {
    SetLastError(kErrInvalidHandle);
    return false;
  }
  const OpenEntry e = it->second;
  SimDisk* disk = e.disk >= 0 ? m_->disks[static_cast<std::size_t>(e.disk)].get() : nullptr;
  if (e.volume >= 0 || !disk || !disk->nvme) {
    SetLastError(kErrNotSupported);
    return false;
  }
  SimNvme& n = *disk->nvme;
  const std::int64_t nowNs = m_->realtime ? std::chrono::duration_cast<std::chrono::nanoseconds>(
                                                std::chrono::steady_clock::now() - m_->start)
                                                .count()
                                          : m_->clockNs;
  AdvanceNvmeSelfTest(n, nowNs);
  // The controller's answer: a completion status other than 0 fails the call.
  auto status = [&](std::uint16_t s) {
    if (result) result->status = s;
    SetLastError(kErrIo);
    return false;
  };
  auto give = [&](const std::uint8_t* page, std::size_t size, std::uint32_t want) {
    if (!cmd.data || cmd.dataLen < want) {
      SetLastError(kErrInvalidParameter);
      return false;
    }
    auto* out = static_cast<std::uint8_t*>(cmd.data);
    const std::size_t copied = std::min<std::size_t>(size, want);
    std::memcpy(out, page, copied);
    std::memset(out + copied, 0, want - copied);
    return true;
  };
  switch (cmd.opcode) {
    case kNvmeIdentify: {
      const std::uint8_t cns = cmd.cdw10 & 0xFF;
      if (cns == kNvmeCnsController) return give(n.controller.data(), n.controller.size(), 4096);
      if (cns != kNvmeCnsNamespace) return status(0x0002);  // Invalid Field in Command
      if (cmd.nsid != 1) return status(0x000B);             // Invalid Namespace or Format
      return give(n.ns.data(), n.ns.size(), 4096);
    }
    case kNvmeGetLogPage: {
      const std::uint32_t numd = ((cmd.cdw11 & 0xFFFF) << 16 | cmd.cdw10 >> 16) + 1;
      const std::uint64_t want = static_cast<std::uint64_t>(numd) * 4;
      if (want > 0xFFFFFFFFu) return status(0x0002);
      const std::uint8_t logId = cmd.cdw10 & 0xFF;
      if (logId == kNvmeLogSmartHealth)
        return give(n.smartLog.data(), n.smartLog.size(), static_cast<std::uint32_t>(want));
      if (logId == kNvmeLogErrorInfo)
        return give(n.errorLog.data(), n.errorLog.size(), static_cast<std::uint32_t>(want));
      if (logId == kSimNvmeLogSelfTest && n.selfTests)
        return give(n.selfTestLog.data(), n.selfTestLog.size(), static_cast<std::uint32_t>(want));
      return status(0x0109);  // command specific: Invalid Log Page
    }
    case kSimNvmeDeviceSelfTest: {
      if (cmd.nsid != 0 && cmd.nsid != 1 && cmd.nsid != kNvmeNsidAll)
        return status(0x000B);  // Invalid Namespace or Format
      const std::uint16_t s = StartNvmeSelfTest(*disk, cmd.cdw10 & 0xF, nowNs);
      return s ? status(s) : true;
    }
    default:
      return status(0x0001);  // Invalid Command Opcode
  }
}

}  // namespace dt
