#include "platform/win32/nvme_passthrough.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <winioctl.h>

#include <cstring>
#include <mutex>
#include <vector>

namespace dt {

namespace {

// The records above against the system's own.
static_assert(IOCTL_STORAGE_QUERY_PROPERTY ==
              CTL_CODE(IOCTL_STORAGE_BASE, 0x0500, METHOD_BUFFERED, FILE_ANY_ACCESS));
static_assert(sizeof(ProtocolSpecificData) == sizeof(STORAGE_PROTOCOL_SPECIFIC_DATA));
static_assert(offsetof(ProtocolSpecificData, ProtocolDataRequestSubValue4) ==
              offsetof(STORAGE_PROTOCOL_SPECIFIC_DATA, ProtocolDataRequestSubValue4));
static_assert(sizeof(ProtocolDataDescriptor) == sizeof(STORAGE_PROTOCOL_DATA_DESCRIPTOR));
static_assert(offsetof(ProtocolPropertyQuery, Data) ==
              offsetof(STORAGE_PROPERTY_QUERY, AdditionalParameters));
static_assert(IOCTL_STORAGE_PROTOCOL_COMMAND == CTL_CODE(IOCTL_STORAGE_BASE, 0x04F0,
                                                         METHOD_BUFFERED,
                                                         FILE_READ_ACCESS | FILE_WRITE_ACCESS));
static_assert(kStorageAdapterProtocolSpecificProperty == StorageAdapterProtocolSpecificProperty);
static_assert(kStorageDeviceProtocolSpecificProperty == StorageDeviceProtocolSpecificProperty);
static_assert(kProtocolTypeNvme == ProtocolTypeNvme);
static_assert(kNvmeDataTypeIdentify == NVMeDataTypeIdentify);
static_assert(kNvmeDataTypeLogPage == NVMeDataTypeLogPage);

constexpr std::uint32_t kIdentifyBytes = 4096;
constexpr std::uint8_t kNvmeDeviceSelfTestOpcode = 0x14;

std::mutex g_hookMutex;
NvmeIoControlFunction g_hook;

std::uint32_t RealIoControl(Handle h, std::uint32_t code, void* buf, std::uint32_t inLen,
                            std::uint32_t outLen, std::uint32_t* returned) {
  DWORD n = 0;
  if (!::DeviceIoControl(reinterpret_cast<HANDLE>(h), code, buf, inLen, buf, outLen, &n, nullptr)) {
    const DWORD err = ::GetLastError();
    return err ? err : ERROR_GEN_FAILURE;
  }
  *returned = n;
  return 0;
}

std::uint32_t SendIoControl(Handle h, std::uint32_t code, void* buf, std::uint32_t inLen,
                            std::uint32_t outLen, std::uint32_t* returned) {
  NvmeIoControlFunction f;
  {
    std::lock_guard<std::mutex> lock(g_hookMutex);
    f = g_hook;
  }
  return f ? f(h, code, buf, inLen, outLen, returned)
           : RealIoControl(h, code, buf, inLen, outLen, returned);
}

bool Fail(std::uint32_t code) {
  Platform::SetLastError(code);
  return false;
}

// Fills the query for `cmd`; false with the error code when the property
// cannot express the command. `bytes` is the data length to ask for and
// `copy` how much of it goes back to the caller.
bool BuildQuery(const NvmeCommand& cmd, ProtocolPropertyQuery* q, std::uint32_t* bytes,
                std::uint32_t* copy, std::uint32_t* error) {
  *q = ProtocolPropertyQuery{};
  q->QueryType = kPropertyStandardQuery;
  q->Data.ProtocolType = kProtocolTypeNvme;
  q->Data.ProtocolDataOffset = sizeof(ProtocolSpecificData);
  if (cmd.opcode == kNvmeIdentify) {
    const std::uint32_t cns = cmd.cdw10 & 0xFF;
    if ((cns != kNvmeCnsController && cns != kNvmeCnsNamespace) || (cmd.cdw10 >> 8) != 0 ||
        cmd.cdw11 || cmd.cdw12 || cmd.cdw13 || cmd.cdw14 || cmd.cdw15) {
      *error = kErrNotSupported;
      return false;
    }
    q->PropertyId = kStorageAdapterProtocolSpecificProperty;
    q->Data.DataType = kNvmeDataTypeIdentify;
    q->Data.ProtocolDataRequestValue = cns;
    q->Data.ProtocolDataRequestSubValue = cns == kNvmeCnsNamespace ? cmd.nsid : 0;
    *bytes = kIdentifyBytes;
    *copy = cmd.dataLen < kIdentifyBytes ? cmd.dataLen : kIdentifyBytes;
  } else if (cmd.opcode == kNvmeGetLogPage) {
    const std::uint32_t lsp = (cmd.cdw10 >> 8) & 0x7F;
    const bool rae = (cmd.cdw10 >> 15) & 1;
    // Only controller-wide logs; no UUID index; a log specific field of
    // four bits.
    if ((cmd.nsid != 0 && cmd.nsid != kNvmeNsidAll) || lsp > 0xF || cmd.cdw14 || cmd.cdw15) {
      *error = kErrNotSupported;
      return false;
    }
    const std::uint64_t dwords =
        ((cmd.cdw10 >> 16) | (std::uint64_t{cmd.cdw11 & 0xFFFF} << 16)) + 1;
    if (dwords * 4 > cmd.dataLen) {
      *error = kErrInvalidParameter;
      return false;
    }
    q->PropertyId = kStorageDeviceProtocolSpecificProperty;
    q->Data.DataType = kNvmeDataTypeLogPage;
    q->Data.ProtocolDataRequestValue = cmd.cdw10 & 0xFF;
    q->Data.ProtocolDataRequestSubValue = cmd.cdw12;   // offset, low
    q->Data.ProtocolDataRequestSubValue2 = cmd.cdw13;  // offset, high
    q->Data.ProtocolDataRequestSubValue3 = cmd.cdw11 >> 16;
    q->Data.ProtocolDataRequestSubValue4 = (rae ? 1u : 0u) | (lsp << 1);
    *bytes = static_cast<std::uint32_t>(dwords * 4);
    *copy = *bytes;
  } else {
    *error = kErrNotSupported;
    return false;
  }
  q->Data.ProtocolDataLength = *bytes;
  return true;
}

void PutLe32(std::uint8_t* at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// Device Self-test as a protocol command: no data either way.
bool SendSelfTest(Handle h, const NvmeCommand& cmd, NvmeResult& res) {
  if (cmd.dataLen != 0) return Fail(kErrInvalidParameter);
  ProtocolCommand c{};
  c.Version = kProtocolStructureVersion;
  c.Length = kProtocolCommandRecordSize;
  c.ProtocolType = kProtocolTypeNvme;
  c.Flags = kProtocolCommandFlagAdapterRequest;
  c.CommandLength = kProtocolCommandLengthNvme;
  c.ErrorInfoLength = kNvmeErrorInfoSize;
  c.ErrorInfoOffset = offsetof(ProtocolCommand, ErrorInfo);
  c.TimeOutValue = 30;
  c.CommandSpecific = kProtocolSpecificNvmeAdminCommand;
  c.Command[0] = cmd.opcode;
  PutLe32(c.Command + 4, cmd.nsid);
  const std::uint32_t dwords[] = {cmd.cdw10, cmd.cdw11, cmd.cdw12, cmd.cdw13, cmd.cdw14, cmd.cdw15};
  for (int i = 0; i < 6; ++i) PutLe32(c.Command + 40 + 4 * i, dwords[i]);
  std::uint32_t returned = 0;
  const std::uint32_t err =
      SendIoControl(h, IOCTL_STORAGE_PROTOCOL_COMMAND, &c, sizeof c, sizeof c, &returned);
  const std::uint16_t status =
      static_cast<std::uint16_t>((c.ErrorInfo[12] | c.ErrorInfo[13] << 8) >> 1);
  if (err == 0 && c.ReturnStatus == kProtocolStatusSuccess) {
    res.cdw0 = c.FixedProtocolReturnData;
    return true;
  }
  if (status != 0) {
    // The controller refused the command with this status.
    res.status = status;
    return Fail(kErrIo);
  }
  return Fail(err ? err : kErrIo);
}

}  // namespace

void SetNvmeIoControlFunction(NvmeIoControlFunction f) {
  std::lock_guard<std::mutex> lock(g_hookMutex);
  g_hook = std::move(f);
}

bool Win32NvmePassThrough(Handle h, const NvmeCommand& cmd, NvmeResult* result) {
  NvmeResult local;
  NvmeResult& res = result ? *result : local;
  res = NvmeResult{};
  if (cmd.dataLen != 0 && !cmd.data) return Fail(kErrInvalidParameter);
  if (cmd.opcode == kNvmeDeviceSelfTestOpcode) return SendSelfTest(h, cmd, res);
  ProtocolPropertyQuery q;
  std::uint32_t bytes = 0;
  std::uint32_t copy = 0;
  std::uint32_t error = 0;
  if (!BuildQuery(cmd, &q, &bytes, &copy, &error)) return Fail(error);
  const std::uint64_t total = std::uint64_t{sizeof q} + bytes;
  if (total > 0xFFFFFFFFu) return Fail(kErrInvalidParameter);
  std::vector<std::uint8_t> buf(static_cast<std::size_t>(total), 0);
  std::memcpy(buf.data(), &q, sizeof q);
  std::uint32_t returned = 0;
  const auto len = static_cast<std::uint32_t>(total);
  if (const std::uint32_t err =
          SendIoControl(h, IOCTL_STORAGE_QUERY_PROPERTY, buf.data(), len, len, &returned))
    return Fail(err);

  // The answer: a descriptor of the expected version, the data inside what
  // came back and at least as long as asked for.
  ProtocolDataDescriptor d;
  if (returned < sizeof d || returned > len) return Fail(ERROR_INVALID_DATA);
  std::memcpy(&d, buf.data(), sizeof d);
  const std::uint64_t start =
      offsetof(ProtocolDataDescriptor, Data) + std::uint64_t{d.Data.ProtocolDataOffset};
  if (d.Version != sizeof d || d.Size != sizeof d ||
      d.Data.ProtocolDataOffset < sizeof(ProtocolSpecificData) ||
      d.Data.ProtocolDataLength < copy || start + copy > returned)
    return Fail(ERROR_INVALID_DATA);
  if (copy) std::memcpy(cmd.data, buf.data() + start, copy);
  res.cdw0 = d.Data.FixedProtocolReturnData;
  return true;
}

}  // namespace dt
