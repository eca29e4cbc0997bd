#include "platform/posix/ata_passthrough.h"

#include <scsi/sg.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>

#include "platform/platform.h"
#include "platform/posix/posix_platform.h"
#include "platform/posix/sysfs.h"

namespace dt {

namespace {

constexpr std::uint8_t kSmartIdeError = 1;
constexpr std::uint8_t kSmartInvalidCommand = 3;
constexpr std::uint8_t kSmartInvalidIoctl = 6;
constexpr std::uint8_t kSmartNoIdeDevice = 10;

std::mutex g_hookMutex;
SgIoFunction g_hook;

int RealSgIo(int fd, SgRequest& req) {
  sg_io_hdr_t io{};
  io.interface_id = 'S';
  io.cmd_len = 16;
  io.cmdp = req.cdb;
  io.mx_sb_len = sizeof req.sense;
  io.sbp = req.sense;
  io.dxfer_direction = req.dataIn ? SG_DXFER_FROM_DEV : SG_DXFER_NONE;
  io.dxferp = req.data;
  io.dxfer_len = req.dataLen;
  io.timeout = 20000;
  if (::ioctl(fd, SG_IO, &io) != 0) return errno;
  req.senseLen = io.sb_len_wr;
  req.status = io.status;
  req.hostStatus = io.host_status;
  req.driverStatus = io.driver_status;
  return 0;
}

int SendSgIo(int fd, SgRequest& req) {
  SgIoFunction f;
  {
    std::lock_guard<std::mutex> lock(g_hookMutex);
    f = g_hook;
  }
  return f ? f(fd, req) : RealSgIo(fd, req);
}

struct AtaOutcome {
  bool ok = false;
  std::uint32_t sysError = 0;
  std::uint8_t driverError = 0;
  std::uint8_t ideError = 0;
  // The registers the drive returned (CK_COND), as an IDEREGS record: error,
  // count, LBA low, mid, high, device, status.
  bool haveRegs = false;
  IDEREGS regs{};
};

// Runs one ATA command and interprets the SCSI / host / driver status and
// the sense data.
AtaOutcome RunAta(int fd, const std::uint8_t regs[7], bool dataIn, std::uint8_t* data) {
  AtaOutcome o;
  SgRequest req;
  BuildAtaCdb(regs, dataIn, req.cdb);
  req.dataIn = dataIn;
  req.data = data;
  req.dataLen = dataIn ? 512 : 0;
  if (const int err = SendSgIo(fd, req); err != 0) {
    o.sysError = static_cast<std::uint32_t>(err);
    o.driverError = kSmartInvalidIoctl;
    return o;
  }
  if (req.hostStatus != 0) {
    o.sysError = EIO;
    // DID_NO_CONNECT, DID_BAD_TARGET: nothing answers at that address.
    o.driverError = (req.hostStatus == 0x01 || req.hostStatus == 0x04) ? kSmartNoIdeDevice
                                                                        : kSmartIdeError;
    return o;
  }
  // Sense data: fixed (0x70/0x71) or descriptor format (0x72/0x73).
  std::uint8_t key = 0;
  std::uint8_t asc = 0;
  std::uint8_t ascq = 0;
  bool haveAtaStatus = false;
  std::uint8_t ataStatus = 0;
  std::uint8_t ataError = 0;
  if (req.senseLen >= 8) {
    const std::uint8_t rc = req.sense[0] & 0x7F;
    if (rc == 0x72 || rc == 0x73) {
      key = req.sense[1] & 0x0F;
      asc = req.sense[2];
      ascq = req.sense[3];
      // The descriptors end where the sense data ends, where the additional
      // length says, and never past the buffer, whatever length came back.
      const std::size_t total =
          std::min<std::size_t>({req.senseLen, sizeof req.sense, 8u + req.sense[7]});
      for (std::size_t i = 8; i + 2 <= total;) {
        const std::uint8_t code = req.sense[i];
        const std::size_t len = 2u + req.sense[i + 1];
        if (len > total - i) break;       // cut off: neither it nor anything after it is whole
        if (code == 0x09 && len >= 14) {  // ATA Status Return descriptor
          haveAtaStatus = true;
          ataError = req.sense[i + 3];
          ataStatus = req.sense[i + 13];
          const std::uint8_t* d = req.sense + i;
          o.haveRegs = true;
          o.regs = {d[3], d[5], d[7], d[9], d[11], d[12], d[13], 0};
        }
        i += len;
      }
    } else if (rc == 0x70 || rc == 0x71) {
      key = req.sense[2] & 0x0F;
      if (req.senseLen >= 14) {
        asc = req.sense[12];
        ascq = req.sense[13];
      }
      // The ATA registers travel in the information bytes when the VALID
      // bit is set (libata's answer to a failed command) or with the
      // "ATA pass through information available" code.
      if (((req.sense[0] & 0x80) || (asc == 0x00 && ascq == 0x1D)) && req.senseLen >= 7) {
        haveAtaStatus = true;
        ataError = req.sense[3];
        ataStatus = req.sense[4];
        // The LBA bytes follow in the command-specific information (bytes 9
        // to 11); the count and device in the information bytes.
        if (req.senseLen >= 12) {
          const std::uint8_t* f = req.sense;
          o.haveRegs = true;
          o.regs = {f[3], f[6], f[9], f[10], f[11], f[5], f[4], 0};
        }
      }
    }
  }
  if (haveAtaStatus && (ataStatus & 0x01)) {
    o.sysError = EIO;
    o.driverError = kSmartIdeError;
    o.ideError = ataError;
    return o;
  }
  if (key == 0x05) {  // ILLEGAL REQUEST: the path does not pass ATA commands
    o.sysError = EOPNOTSUPP;
    o.driverError = kSmartInvalidCommand;
    return o;
  }
  // RECOVERED ERROR with "ATA pass through information available" is how a
  // CK_COND answer comes back; anything else with a sense key is a failure.
  const bool ckCondAnswer = (asc == 0x00 && ascq == 0x1D);
  if ((key != 0 && !(key == 0x01 && ckCondAnswer)) ||
      (req.status != 0 && !ckCondAnswer && !haveAtaStatus)) {
    o.sysError = EIO;
    o.driverError = kSmartIdeError;
    o.ideError = ataError;
    return o;
  }
  o.ok = true;
  return o;
}

// The drive's position among the physical disks, for the device map.
int PositionOf(int fd) {
  struct stat st{};
  if (::fstat(fd, &st) != 0 || !S_ISBLK(st.st_mode)) return 0;
  const std::string mm = std::to_string(major(st.st_rdev)) + ":" + std::to_string(minor(st.st_rdev));
  const auto disks = sysfs::WholeDisks();
  for (std::size_t i = 0; i < disks.size(); ++i)
    if (sysfs::ReadLine("/sys/block/" + disks[i] + "/dev") == mm) return static_cast<int>(i);
  return 0;
}

}  // namespace

void SetSgIoFunction(SgIoFunction f) {
  std::lock_guard<std::mutex> lock(g_hookMutex);
  g_hook = std::move(f);
}

void BuildAtaCdb(const std::uint8_t regs[7], bool dataIn, std::uint8_t cdb[16]) {
  std::memset(cdb, 0, 16);
  cdb[0] = 0x85;  // ATA PASS-THROUGH (16)
  if (dataIn) {
    cdb[1] = 4 << 1;  // PIO data-in
    cdb[2] = 0x0E;    // T_DIR from device, BYTE_BLOCK, T_LENGTH in the count field
  } else {
    cdb[1] = 3 << 1;  // non-data
    cdb[2] = 0x20;    // CK_COND: return the registers
  }
  cdb[4] = regs[0];   // features
  cdb[6] = regs[1];   // sector count
  cdb[8] = regs[2];   // LBA low (sector number)
  cdb[10] = regs[3];  // LBA mid (cylinder low)
  cdb[12] = regs[4];  // LBA high (cylinder high)
  // Every Linux device node is one drive: the master / slave bit of the
  // drive/head register has no meaning there and is cleared.
  cdb[13] = static_cast<std::uint8_t>(regs[5] & ~0x10);
  cdb[14] = regs[6];  // command
}

bool AtaControl(int fd, bool block, std::uint32_t code, const void* in, std::uint32_t inLen,
                void* out, std::uint32_t outLen, std::uint32_t* returned) {
  if (!block) {
    // Files answer no ATA command.
    Platform::SetLastError(ENOTTY);
    return false;
  }
  if (code == SMART_GET_VERSION) {
    if (!out || outLen < sizeof(GETVERSIONINPARAMS)) {
      Platform::SetLastError(EINVAL);
      return false;
    }
    // The version is answered from what the device does: when IDENTIFY
    // DEVICE passes through, the drive speaks ATA and SMART.
    const std::uint8_t regs[7] = {0, 1, 1, 0, 0, 0xA0, 0xEC};
    std::uint8_t data[512];
    const AtaOutcome o = RunAta(fd, regs, true, data);
    if (!o.ok) {
      Platform::SetLastError(o.sysError);
      return false;
    }
    GETVERSIONINPARAMS v{};
    v.bVersion = 1;
    v.bRevision = 1;
    v.bIDEDeviceMap = static_cast<std::uint8_t>(1u << (PositionOf(fd) & 3));
    v.fCapabilities = CAP_ATA_ID_CMD | CAP_SMART_CMD;
    std::memcpy(out, &v, sizeof v);
    if (returned) *returned = sizeof v;
    return true;
  }

  if (!in || inLen < kSendCmdInLength || !out || outLen < kSendCmdOutHeader) {
    Platform::SetLastError(EINVAL);
    return false;
  }
  SENDCMDINPARAMS cmd{};
  std::memcpy(&cmd, in, kSendCmdInLength);
  const std::uint8_t regs[7] = {cmd.irDriveRegs.bFeaturesReg,  cmd.irDriveRegs.bSectorCountReg,
                                cmd.irDriveRegs.bSectorNumberReg, cmd.irDriveRegs.bCylLowReg,
                                cmd.irDriveRegs.bCylHighReg,  cmd.irDriveRegs.bDriveHeadReg,
                                cmd.irDriveRegs.bCommandReg};
  const bool dataIn = (code == SMART_RCV_DRIVE_DATA);
  if (dataIn && outLen < kSendCmdOutHeader + 512) {
    Platform::SetLastError(EINVAL);
    return false;
  }
  auto* o = static_cast<std::uint8_t*>(out);
  std::memset(o, 0,
              dataIn ? kSendCmdOutHeader + 512
                     : std::min<std::uint32_t>(outLen, kSendCmdOutHeader + sizeof(IDEREGS)));
  const AtaOutcome r = RunAta(fd, regs, dataIn, dataIn ? o + kSendCmdOutHeader : nullptr);
  SENDCMDOUTPARAMS head{};
  head.cBufferSize = dataIn ? 512 : 0;
  head.DriverStatus.bDriverError = r.driverError;
  head.DriverStatus.bIDEError = r.ideError;
  // SMART RETURN STATUS answers, as the Windows driver does, with the
  // registers the drive returned as an IDEREGS record in the data area.
  const bool returnStatus = !dataIn && regs[6] == 0xB0 && regs[0] == 0xDA;
  const bool withRegs =
      returnStatus && r.ok && r.haveRegs && outLen >= kSendCmdOutHeader + sizeof(IDEREGS);
  if (withRegs) {
    head.cBufferSize = sizeof(IDEREGS);
    std::memcpy(o + kSendCmdOutHeader, &r.regs, sizeof(IDEREGS));
  }
  std::memcpy(o, &head, kSendCmdOutHeader);
  if (!r.ok) {
    Platform::SetLastError(r.sysError);
    return false;
  }
  if (returned)
    *returned = dataIn     ? kSendCmdOutHeader + 512
                : withRegs ? kSendCmdOutHeader + static_cast<std::uint32_t>(sizeof(IDEREGS))
                           : kSendCmdOutHeader;
  return true;
}

}  // namespace dt
