// NVMe admin commands on Windows. The storage driver passes no raw admin
// command to an application; it answers two kinds of query through
// IOCTL_STORAGE_QUERY_PROPERTY with a protocol-specific property:
//   Identify (CNS 00h namespace, 01h controller)
//       -> StorageAdapterProtocolSpecificProperty, NVMeDataTypeIdentify,
//          request value = CNS, sub value = namespace id (CNS 00h)
//   Get Log Page (controller-wide: namespace id 0 or FFFFFFFFh)
//       -> StorageDeviceProtocolSpecificProperty, NVMeDataTypeLogPage,
//          request value = log id, sub values = offset (low, high), log
//          specific identifier, and the retain / log specific bits
// The answer is a STORAGE_PROTOCOL_DATA_DESCRIPTOR whose data follows its
// protocol-specific record. Device Self-test, which moves no data, goes
// through IOCTL_STORAGE_PROTOCOL_COMMAND as an NVMe admin command (Windows
// 10 1903 and later let it through; older ones refuse it). Every other
// command, and fields that the property cannot carry, fail with
// ERROR_NOT_SUPPORTED. The property query does not hand back the NVMe
// status: a failed command is a failing DeviceIoControl with its error code
// and status 0; an answer that does not fit is ERROR_INVALID_DATA. A failed
// protocol command hands back its status in the error information entry
// that follows the command, when the driver fills it in.
//
// The records are defined here byte for byte, without <windows.h>, so that
// the tests can build and read them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "platform/platform.h"

namespace dt {

inline constexpr std::uint32_t IOCTL_STORAGE_QUERY_PROPERTY = 0x002D1400u;

// STORAGE_PROPERTY_ID values, STORAGE_QUERY_TYPE, STORAGE_PROTOCOL_TYPE and
// STORAGE_PROTOCOL_NVME_DATA_TYPE values used here.
inline constexpr std::uint32_t kStorageAdapterProtocolSpecificProperty = 49;
inline constexpr std::uint32_t kStorageDeviceProtocolSpecificProperty = 50;
inline constexpr std::uint32_t kPropertyStandardQuery = 0;
inline constexpr std::uint32_t kProtocolTypeNvme = 3;
inline constexpr std::uint32_t kNvmeDataTypeIdentify = 1;
inline constexpr std::uint32_t kNvmeDataTypeLogPage = 2;

// STORAGE_PROTOCOL_SPECIFIC_DATA.
struct ProtocolSpecificData {
  std::uint32_t ProtocolType;
  std::uint32_t DataType;
  std::uint32_t ProtocolDataRequestValue;
  std::uint32_t ProtocolDataRequestSubValue;
  // Where the data starts, counted from the start of this record.
  std::uint32_t ProtocolDataOffset;
  std::uint32_t ProtocolDataLength;
  std::uint32_t FixedProtocolReturnData;
  std::uint32_t ProtocolDataRequestSubValue2;
  std::uint32_t ProtocolDataRequestSubValue3;
  std::uint32_t ProtocolDataRequestSubValue4;
};

// STORAGE_PROPERTY_QUERY with the protocol-specific record in place of its
// AdditionalParameters: the request.
struct ProtocolPropertyQuery {
  std::uint32_t PropertyId;
  std::uint32_t QueryType;
  ProtocolSpecificData Data;
};

// STORAGE_PROTOCOL_DATA_DESCRIPTOR: the answer, in the same buffer.
struct ProtocolDataDescriptor {
  std::uint32_t Version;  // sizeof(ProtocolDataDescriptor)
  std::uint32_t Size;     // sizeof(ProtocolDataDescriptor)
  ProtocolSpecificData Data;
};

static_assert(sizeof(ProtocolSpecificData) == 40);
static_assert(offsetof(ProtocolSpecificData, ProtocolDataOffset) == 16);
static_assert(offsetof(ProtocolSpecificData, FixedProtocolReturnData) == 24);
static_assert(sizeof(ProtocolPropertyQuery) == 48);
static_assert(offsetof(ProtocolPropertyQuery, Data) == 8);
static_assert(sizeof(ProtocolDataDescriptor) == 48);
static_assert(offsetof(ProtocolDataDescriptor, Data) == 8);

inline constexpr std::uint32_t IOCTL_STORAGE_PROTOCOL_COMMAND = 0x002DD3C0u;

// STORAGE_PROTOCOL_COMMAND with the 64-byte NVMe command in place of its
// Command tail; the error information entry (64 bytes) follows it.
inline constexpr std::uint32_t kProtocolStructureVersion = 1;
inline constexpr std::uint32_t kProtocolCommandFlagAdapterRequest = 0x80000000u;
inline constexpr std::uint32_t kProtocolCommandLengthNvme = 64;
inline constexpr std::uint32_t kProtocolSpecificNvmeAdminCommand = 1;
inline constexpr std::uint32_t kProtocolStatusSuccess = 1;
inline constexpr std::uint32_t kProtocolCommandHeader = 80;      // where Command starts
inline constexpr std::uint32_t kProtocolCommandRecordSize = 84;  // sizeof the Windows record
inline constexpr std::uint32_t kNvmeErrorInfoSize = 64;

struct ProtocolCommand {
  std::uint32_t Version;
  std::uint32_t Length;  // kProtocolCommandRecordSize
  std::uint32_t ProtocolType;
  std::uint32_t Flags;
  std::uint32_t ReturnStatus;
  std::uint32_t ErrorCode;
  std::uint32_t CommandLength;
  std::uint32_t ErrorInfoLength;
  std::uint32_t DataToDeviceTransferLength;
  std::uint32_t DataFromDeviceTransferLength;
  std::uint32_t TimeOutValue;  // seconds
  std::uint32_t ErrorInfoOffset;
  std::uint32_t DataToDeviceBufferOffset;
  std::uint32_t DataFromDeviceBufferOffset;
  std::uint32_t CommandSpecific;
  std::uint32_t Reserved0;
  std::uint32_t FixedProtocolReturnData;
  std::uint32_t Reserved1[3];
  // The NVMe submission queue entry: opcode in byte 0, NSID in bytes 4-7,
  // command dwords 10 to 15 from byte 40.
  std::uint8_t Command[64];
  // NVME_ERROR_INFO_LOG: the status field in bytes 12-13 (bit 0 the phase
  // tag, the status above it).
  std::uint8_t ErrorInfo[64];
};

static_assert(offsetof(ProtocolCommand, ProtocolType) == 8);
static_assert(offsetof(ProtocolCommand, ReturnStatus) == 16);
static_assert(offsetof(ProtocolCommand, CommandLength) == 24);
static_assert(offsetof(ProtocolCommand, TimeOutValue) == 40);
static_assert(offsetof(ProtocolCommand, ErrorInfoOffset) == 44);
static_assert(offsetof(ProtocolCommand, CommandSpecific) == 56);
static_assert(offsetof(ProtocolCommand, FixedProtocolReturnData) == 64);
static_assert(offsetof(ProtocolCommand, Command) == kProtocolCommandHeader);
static_assert(offsetof(ProtocolCommand, ErrorInfo) == kProtocolCommandHeader + 64);
static_assert(sizeof(ProtocolCommand) == kProtocolCommandHeader + 64 + kNvmeErrorInfoSize);

// DeviceIoControl for this path: `buf` is both input (inLen bytes) and
// output (outLen bytes). Returns 0, or the Windows error code of the failing
// call. Tests replace it.
using NvmeIoControlFunction =
    std::function<std::uint32_t(Handle h, std::uint32_t code, void* buf, std::uint32_t inLen,
                                std::uint32_t outLen, std::uint32_t* returned)>;
void SetNvmeIoControlFunction(NvmeIoControlFunction f);  // empty: DeviceIoControl

// Win32Platform::NvmePassThrough.
bool Win32NvmePassThrough(Handle h, const NvmeCommand& cmd, NvmeResult* result);

}  // namespace dt
