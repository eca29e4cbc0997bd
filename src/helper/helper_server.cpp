#include "helper/helper_server.h"

#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

// The command codes only (no code of these libraries is linked).
#include "ata/smart_commands.h"
#include "ata/tide_smart.h"
#include "nvme/nvme_commands.h"

namespace dt::helper {

namespace {

Reply Refuse(Kind kind, int err) {
  Reply r;
  r.kind = kind;
  r.error = static_cast<std::uint32_t>(err);
  return r;
}

// Opens the resolved device and checks that the descriptor is the device
// that was resolved (no swap between the check and the open).
Handle OpenChecked(Platform& sys, const std::string& path, std::uint32_t access,
                   std::uint32_t flags, int* err) {
  struct stat before {};
  if (::stat(path.c_str(), &before) != 0) {
    *err = errno;
    return kInvalidHandle;
  }
  const Handle h = sys.OpenDevice(path, access, kShareRead | kShareWrite, kOpenExisting, flags);
  if (h == kInvalidHandle) {
    *err = static_cast<int>(Platform::LastError());
    return kInvalidHandle;
  }
  struct stat after {};
  if (::fstat(static_cast<int>(h), &after) != 0 || !S_ISBLK(after.st_mode) ||
      after.st_rdev != before.st_rdev) {
    sys.Close(h);
    *err = ENOTBLK;
    return kInvalidHandle;
  }
  return h;
}

}  // namespace

int ResolveBlockDevice(const std::string& path, std::string* resolved) {
  char real[PATH_MAX];
  if (!::realpath(path.c_str(), real)) return errno;
  const std::string r = real;
  if (r.rfind("/dev/", 0) != 0) return EPERM;
  struct stat st {};
  if (::stat(real, &st) != 0) return errno;
  if (!S_ISBLK(st.st_mode)) return ENOTBLK;
  *resolved = r;
  return 0;
}

bool AtaRequestAllowed(std::uint32_t code, const std::vector<std::uint8_t>& in) {
  if (code == SMART_GET_VERSION) return true;
  if (code != SMART_RCV_DRIVE_DATA && code != SMART_SEND_DRIVE_COMMAND) return false;
  if (in.size() < kSendCmdInLength) return false;
  IDEREGS regs;
  std::memcpy(&regs, in.data() + offsetof(SENDCMDINPARAMS, irDriveRegs), sizeof regs);
  if (regs.bCommandReg == kAtaIdentifyDevice || regs.bCommandReg == kAtaIdentifyPacketDevice)
    return true;
  if (regs.bCommandReg != kAtaSmart) return false;
  switch (regs.bFeaturesReg) {
    case kSmartReadData:
    case kSmartReadThresholds:
    case kSmartReadLog:
    case kSmartEnableOperations:
    case kSmartReturnStatus:
      return true;
    case kSmartExecuteOffline:
      // Self-tests in off-line mode and their abort; no captive tests.
      switch (static_cast<SelfTestKind>(regs.bSectorNumberReg)) {
        case SelfTestKind::Short:
        case SelfTestKind::Extended:
        case SelfTestKind::Conveyance:
        case SelfTestKind::Abort:
          return true;
      }
      return false;
    default:
      return false;
  }
}

bool NvmeRequestAllowed(const Request& q) {
  const std::uint32_t low = q.cdw[0] & 0xFF;
  switch (q.opcode) {
    case kNvmeIdentify:
      return (low == kNvmeCnsController || low == kNvmeCnsNamespace) && q.dataLen == 4096;
    case kNvmeGetLogPage:
      return low == kNvmeLogErrorInfo || low == kNvmeLogSmartHealth || low == kNvmeLogSelfTest;
    case kNvmeDeviceSelfTest: {
      const std::uint32_t stc = q.cdw[0] & 0xF;
      return q.dataLen == 0 && (stc == kNvmeSelfTestShort || stc == kNvmeSelfTestExtended ||
                                stc == kNvmeSelfTestAbort);
    }
    default:
      return false;
  }
}

Reply Answer(Platform& sys, const Request& q, int* passFd) {
  *passFd = -1;
  Reply r;
  r.kind = q.kind;
  if (q.kind == Kind::Hello) return r;

  std::string path;
  if (const int err = ResolveBlockDevice(q.path, &path)) return Refuse(q.kind, err);
  int err = 0;
  switch (q.kind) {
    case Kind::Hello:
      break;
    case Kind::Open: {
      // A disk that is mounted or holds the running system is never opened
      // for writing; the platform's exclusive open refuses the rest.
      if (q.write && sys.DeviceInUse(path)) return Refuse(q.kind, EBUSY);
      const std::uint32_t access = q.write ? kGenericRead | kGenericWrite : kGenericRead;
      const Handle h = OpenChecked(sys, path, access, kAttributeNormal, &err);
      if (h == kInvalidHandle) return Refuse(q.kind, err);
      // The descriptor outlives the handle: it goes to the caller.
      *passFd = ::dup(static_cast<int>(h));
      if (*passFd < 0) err = errno;
      sys.Close(h);
      if (*passFd < 0) return Refuse(q.kind, err);
      break;
    }
    case Kind::Ata: {
      if (!AtaRequestAllowed(q.code, q.in)) return Refuse(q.kind, EPERM);
      const Handle h = OpenChecked(sys, path, kGenericRead | kGenericWrite, kFlagDeviceControl, &err);
      if (h == kInvalidHandle) return Refuse(q.kind, err);
      r.data.assign(q.outLen, 0);
      const bool ok = sys.Control(h, q.code, q.in.data(), static_cast<std::uint32_t>(q.in.size()),
                                  r.data.data(), q.outLen, &r.returned);
      if (!ok) r.error = Platform::LastError();
      sys.Close(h);
      // A failed request keeps the whole record: its driver status tells
      // the caller more than the errno.
      if (ok) r.data.resize(std::min<std::size_t>(r.returned, q.outLen));
      break;
    }
    case Kind::Nvme: {
      if (!NvmeRequestAllowed(q)) return Refuse(q.kind, EPERM);
      const Handle h = OpenChecked(sys, path, kGenericRead | kGenericWrite, kFlagDeviceControl, &err);
      if (h == kInvalidHandle) return Refuse(q.kind, err);
      r.data.assign(q.dataLen, 0);
      NvmeCommand cmd;
      cmd.opcode = q.opcode;
      cmd.nsid = q.nsid;
      cmd.cdw10 = q.cdw[0];
      cmd.cdw11 = q.cdw[1];
      cmd.cdw12 = q.cdw[2];
      cmd.cdw13 = q.cdw[3];
      cmd.cdw14 = q.cdw[4];
      cmd.cdw15 = q.cdw[5];
      cmd.data = r.data.empty() ? nullptr : r.data.data();
      cmd.dataLen = q.dataLen;
      NvmeResult res;
      if (!sys.NvmePassThrough(h, cmd, &res)) r.error = Platform::LastError();
      r.cdw0 = res.cdw0;
      r.status = res.status;
      sys.Close(h);
      break;
    }
  }
  return r;
}

int Serve(Platform& sys, int in, int out) {
  for (;;) {
    std::vector<std::uint8_t> msg;
    int fd = -1;
    std::string why;
    if (!Receive(in, &msg, &fd, &why)) return why == "end of stream" ? 0 : 1;
    if (fd >= 0) ::close(fd);  // requests carry no descriptors
    Request q;
    Reply a;
    int pass = -1;
    if (DecodeRequest(msg.data(), msg.size(), &q, &why)) {
      a = Answer(sys, q, &pass);
    } else {
      // The header was sound, so the stream stays in step: refuse this one.
      Header h;
      DecodeHeader(msg.data(), msg.size(), &h, &why);
      a = Refuse(h.kind, EPROTO);
    }
    const bool sent = Send(out, Encode(a), pass, &why);
    if (pass >= 0) ::close(pass);
    if (!sent) return 1;
  }
}

}  // namespace dt::helper
