// SMART requests on Linux: SMART_GET_VERSION, SMART_SEND_DRIVE_COMMAND and
// SMART_RCV_DRIVE_DATA are carried out as SCSI ATA PASS-THROUGH (16)
// commands through SG_IO, with the registers of SENDCMDINPARAMS. Non-data
// commands set CK_COND, so that the drive's registers come back in the sense
// data (the ATA Status Return descriptor, or fixed-format sense); SMART
// RETURN STATUS hands them on as an IDEREGS record in the output's data area,
// where the Windows driver puts them.
//
// Failures become a failing request with a system error code and a
// DRIVERSTATUS.bDriverError value:
//   SG_IO refused (loop devices, files, NVMe)  -> errno of the ioctl,   6 SMART_INVALID_IOCTL
//   no device behind the path (host status)     -> EIO,                 10 SMART_NO_IDE_DEVICE
//   other transport failure                     -> EIO,                  1 SMART_IDE_ERROR
//   pass-through refused (ILLEGAL REQUEST)      -> EOPNOTSUPP,           3 SMART_INVALID_COMMAND
//   the drive aborted the command (ATA ERR)     -> EIO,                  1 SMART_IDE_ERROR
//                                                  (bIDEError = the ATA error register)
#pragma once

#include <cstdint>
#include <functional>

namespace dt {

// One SG_IO request, independent of the kernel headers.
struct SgRequest {
  std::uint8_t cdb[16] = {};
  bool dataIn = false;  // a 512-byte transfer from the device
  std::uint8_t* data = nullptr;
  std::uint32_t dataLen = 0;
  std::uint8_t sense[32] = {};
  std::uint8_t senseLen = 0;  // bytes of sense data returned
  std::uint8_t status = 0;    // SCSI status
  std::uint16_t hostStatus = 0;
  std::uint16_t driverStatus = 0;
};

// Sends the request; returns 0, or the errno of a refused ioctl. Tests
// replace it.
using SgIoFunction = std::function<int(int fd, SgRequest& req)>;
void SetSgIoFunction(SgIoFunction f);  // empty: the real SG_IO ioctl

// Builds the ATA PASS-THROUGH (16) command block for the registers of a
// SENDCMDINPARAMS record (7 register bytes: features, count, lba low / mid /
// high, device, command).
void BuildAtaCdb(const std::uint8_t regs[7], bool dataIn, std::uint8_t cdb[16]);

}  // namespace dt
