#include "nvme/nvme_commands.h"

#include <algorithm>
#include <vector>

#include "base/text.h"

namespace dt {

namespace {

// The status texts of the generic command status (type 0) and of the
// command-specific status (type 1) that Identify and Get Log Page return.
const char* StatusName(std::uint16_t status) {
  const std::uint8_t type = NvmeStatusCodeType(status);
  const std::uint8_t code = NvmeStatusCode(status);
  if (type == 0) {
    switch (code) {
      case 0x01:
        return "Invalid Command Opcode";
      case 0x02:
        return "Invalid Field in Command";
      case 0x04:
        return "Data Transfer Error";
      case 0x06:
        return "Internal Error";
      case 0x0B:
        return "Invalid Namespace or Format";
      default:
        break;
    }
  } else if (type == 1 && code == 0x09) {
    return "Invalid Log Page";
  } else if (type == 1 && code == 0x1D) {
    return "Device Self-test in Progress";
  }
  return nullptr;
}

bool Send(Handle h, const NvmeCommand& cmd, const std::string& what, std::string* error) {
  NvmeResult result;
  if (Sys().NvmePassThrough(h, cmd, &result)) return true;
  const std::uint32_t code = Platform::LastError();
  if (error) {
    *error = what + " failed:" +
             (result.status != 0 ? " " + NvmeStatusText(result.status) : SystemErrorText(code));
  }
  return false;
}

}  // namespace

std::uint32_t GetLogPageDword10(std::uint8_t logId, std::uint32_t bytes) {
  const std::uint32_t numd = bytes / 4 - 1;
  return (numd & 0xFFFF) << 16 | logId;
}

std::uint32_t GetLogPageDword11(std::uint32_t bytes) {
  return ((bytes / 4 - 1) >> 16) & 0xFFFF;
}

std::string NvmeStatusText(std::uint16_t status) {
  std::string s = "status 0x" + HexText(status, 4);
  if (const char* name = StatusName(status)) s += std::string(" (") + name + ")";
  return s;
}

bool NvmeIdentify(Handle h, std::uint8_t cns, std::uint32_t nsid, std::uint8_t* out,
                  std::string* error) {
  NvmeCommand cmd;
  cmd.opcode = kNvmeIdentify;
  cmd.nsid = nsid;
  cmd.cdw10 = cns;
  cmd.data = out;
  cmd.dataLen = static_cast<std::uint32_t>(kNvmeIdentifySize);
  const std::string what = cns == kNvmeCnsController
                               ? "NVMe Identify Controller"
                               : "NVMe Identify Namespace " + std::to_string(nsid);
  return Send(h, cmd, what, error);
}

bool NvmeGetLogPage(Handle h, std::uint8_t logId, std::uint32_t nsid, std::uint8_t* out,
                    std::uint32_t bytes, std::string* error) {
  NvmeCommand cmd;
  cmd.opcode = kNvmeGetLogPage;
  cmd.nsid = nsid;
  cmd.cdw10 = GetLogPageDword10(logId, bytes);
  cmd.cdw11 = GetLogPageDword11(bytes);
  cmd.data = out;
  cmd.dataLen = bytes;
  return Send(h, cmd, "NVMe Get Log Page (log " + HexText(logId, 2) + "h)", error);
}

bool NvmeDeviceSelfTest(Handle h, std::uint8_t code, std::string* error) {
  NvmeCommand cmd;
  cmd.opcode = kNvmeDeviceSelfTest;
  cmd.nsid = kNvmeNsidAll;
  cmd.cdw10 = code & 0x0F;
  const std::string what = code == kNvmeSelfTestAbort
                               ? std::string("NVMe Device Self-test (abort)")
                               : "NVMe Device Self-test (" + NvmeSelfTestCodeText(code) + ")";
  return Send(h, cmd, what, error);
}

bool NvmeReadSelfTestLog(Handle h, NvmeSelfTestLog* log, std::string* error) {
  std::vector<std::uint8_t> page(kNvmeSelfTestLogSize);
  if (!NvmeGetLogPage(h, kNvmeLogSelfTest, kNvmeNsidAll, page.data(),
                      static_cast<std::uint32_t>(page.size()), error))
    return false;
  *log = DecodeSelfTestLogPage(page.data());
  return true;
}

Handle OpenNvmeDrive(int driveNumber, std::string* error) {
  const std::string path = Sys().PhysicalDrivePath(driveNumber);
  const Handle h =
      path.empty() ? kInvalidHandle
                   : Sys().OpenDevice(path, kGenericRead | kGenericWrite, kShareRead | kShareWrite,
                                      kOpenExisting, kAttributeNormal | kFlagDeviceControl);
  if (h == kInvalidHandle && error)
    *error = "the drive could not be opened:" + SystemErrorText(Platform::LastError());
  return h;
}

NvmeDrive ReadNvmeDrive(int driveNumber) {
  NvmeDrive d;
  const Handle h = OpenNvmeDrive(driveNumber, &d.identifyError);
  if (h == kInvalidHandle) return d;
  std::vector<std::uint8_t> page(kNvmeIdentifySize);
  if (NvmeIdentify(h, kNvmeCnsController, 0, page.data(), &d.identifyError)) {
    d.identified = true;
    d.controller = DecodeIdentifyController(page.data());
    if (d.controller.namespaces >= 1) {
      std::fill(page.begin(), page.end(), 0);
      if (NvmeIdentify(h, kNvmeCnsNamespace, 1, page.data(), nullptr))
        d.ns = DecodeIdentifyNamespace(page.data(), 1);
    }
    std::vector<std::uint8_t> log(kNvmeSmartLogSize);
    if (NvmeGetLogPage(h, kNvmeLogSmartHealth, kNvmeNsidAll, log.data(),
                       static_cast<std::uint32_t>(log.size()), &d.logError))
      d.log = DecodeSmartHealthLog(log.data());
    const std::uint32_t entries = d.controller.errorLogEntries;
    std::vector<std::uint8_t> errors(entries * kNvmeErrorEntrySize);
    if (NvmeGetLogPage(h, kNvmeLogErrorInfo, kNvmeNsidAll, errors.data(),
                       static_cast<std::uint32_t>(errors.size()), &d.errorLogError))
      d.errorLogEntries = CountErrorLogEntries(errors.data(), entries);
    if (d.controller.SelfTestSupported()) {
      NvmeSelfTestLog selfTests;
      if (NvmeReadSelfTestLog(h, &selfTests, &d.selfTestLogError)) d.selfTestLog = selfTests;
    } else {
      d.selfTestLogError = "the controller runs no self-tests";
    }
  }
  Sys().Close(h);
  return d;
}

}  // namespace dt
