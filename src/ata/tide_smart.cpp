#include "ata/tide_smart.h"

#include <cstring>

#include "base/text.h"

namespace dt {

namespace {

// The legacy SMART driver of old Windows versions; opened as a fallback.
constexpr const char* kSmartVsdPath = "\\\\.\\SMARTVSD";

// Sizes of the identify text fields and their byte offsets in the block.
constexpr std::size_t kSerialOffset = 20, kSerialLength = 20;
constexpr std::size_t kFirmwareOffset = 46, kFirmwareLength = 8;
constexpr std::size_t kModelOffset = 54, kModelLength = 40;

}  // namespace

TIDE_SMART::~TIDE_SMART() {
  if (IsOpen) CloseDrive();
}

bool TIDE_SMART::OpenDrive(int n) {
  // A second open must not leak the handle of the first.
  if (IsOpen) CloseDrive();
  ViaSmartVsd = false;
  ViaPhysicalDrive = false;
  bool result = false;
  // The handle only carries SMART and geometry requests, never data: it
  // must open also while a test holds the disk or the disk is mounted.
  Handle = Sys().OpenDevice(Sys().PhysicalDrivePath(n), kGenericRead | kGenericWrite,
                            kShareRead | kShareWrite, kOpenExisting,
                            kAttributeNormal | kFlagDeviceControl);
  if (Handle != kInvalidHandle) {
    ViaPhysicalDrive = true;
    result = true;
  } else {
    Handle = Sys().OpenDevice(kSmartVsdPath, 0, 0, kCreateNew, 0);
    if (Handle != kInvalidHandle) {
      ViaSmartVsd = true;
      result = true;
    }
  }
  if (Handle == kInvalidHandle) LastError = Platform::LastError();
  VersionValid = false;
  IdentifyValid = false;
  DriveNumber = n;
  IsOpen = result;
  return result;
}

void TIDE_SMART::CloseDrive() {
  if (Handle != kInvalidHandle) Sys().Close(Handle);
  Handle = kInvalidHandle;
  IsOpen = false;
}

bool TIDE_SMART::ReadVersion() {
  std::uint32_t returned = 0;
  VersionValid = Sys().Control(Handle, SMART_GET_VERSION, nullptr, 0, &VersionParams,
                               sizeof(VersionParams), &returned);
  if (!VersionValid) LastError = Platform::LastError();
  return VersionValid;
}

std::uint8_t TIDE_SMART::GetVersion() {
  if (!VersionValid && !ReadVersion()) return 0;
  return VersionParams.bVersion;
}

std::uint8_t TIDE_SMART::GetRevision() {
  if (!VersionValid && !ReadVersion()) return 0;
  return VersionParams.bRevision;
}

std::uint8_t TIDE_SMART::GetDeviceMap() {
  if (!VersionValid && !ReadVersion()) return 0;
  return VersionParams.bIDEDeviceMap;
}

std::uint32_t TIDE_SMART::GetCapabilities() {
  if (!VersionValid && !ReadVersion()) return 0;
  return VersionParams.fCapabilities;
}

bool TIDE_SMART::HasAtaIdentify() {
  return (GetCapabilities() & CAP_ATA_ID_CMD) != 0;
}
bool TIDE_SMART::HasAtapiIdentify() {
  return (GetCapabilities() & CAP_ATAPI_ID_CMD) != 0;
}
bool TIDE_SMART::HasSmartCommands() {
  return (GetCapabilities() & CAP_SMART_CMD) != 0;
}

bool TIDE_SMART::SendCommand(std::uint32_t code, std::uint8_t features, std::uint8_t command,
                             std::uint32_t bufferSize, void* out, std::uint32_t outLen,
                             std::uint32_t* returned, std::uint8_t lbaLow) {
  SENDCMDINPARAMS in;
  std::memset(&in, 0, sizeof(in));
  std::memset(out, 0, outLen);
  in.cBufferSize = bufferSize;
  in.irDriveRegs.bFeaturesReg = features;
  in.irDriveRegs.bSectorCountReg = 1;
  in.irDriveRegs.bSectorNumberReg = lbaLow;
  if (command == kAtaSmart) {
    in.irDriveRegs.bCylLowReg = 0x4F;
    in.irDriveRegs.bCylHighReg = 0xC2;
  }
  in.irDriveRegs.bDriveHeadReg = static_cast<std::uint8_t>(0xA0 | ((DriveNumber & 1) << 4));
  in.irDriveRegs.bCommandReg = command;
  in.bDriveNumber = static_cast<std::uint8_t>(DriveNumber & 0xFF);

  std::uint32_t count = 0;
  const bool ok = Sys().Control(Handle, code, &in, kSendCmdInLength, out, outLen, &count);
  if (returned) *returned = count;
  if (!ok) {
    LastError = Platform::LastError();
    // bDriverError is byte 4 of every output record.
    DriverError = static_cast<const std::uint8_t*>(out)[4];
  }
  return ok;
}

bool TIDE_SMART::EnableSmart() {
  std::uint8_t out[kSendCmdOutHeader];
  return SendCommand(SMART_SEND_DRIVE_COMMAND, kSmartEnableOperations, kAtaSmart, 0, out,
                     sizeof(out), nullptr);
}

std::uint8_t TIDE_SMART::IdentifyCommand() {
  if (ViaSmartVsd) {
    // The legacy driver's device map: bit 4 + position marks an ATAPI device.
    const std::uint32_t map = GetDeviceMap();
    const std::uint32_t shift = static_cast<std::uint32_t>(DriveNumber) & 31u;
    return ((map >> shift) & 0x10u) ? kAtaIdentifyPacketDevice : kAtaIdentifyDevice;
  }
  return HasAtaIdentify() ? kAtaIdentifyDevice : kAtaIdentifyPacketDevice;
}

bool TIDE_SMART::IdentifyDrive(SENDCMDOUTPARAMS512* out, std::uint32_t* returned) {
  const std::uint8_t command = IdentifyCommand();
  return SendCommand(SMART_RCV_DRIVE_DATA, 0, command, 512, out, sizeof(*out), returned);
}

bool TIDE_SMART::ReadAttributes(SENDCMDOUTPARAMS512* out, std::uint32_t* returned) {
  return SendCommand(SMART_RCV_DRIVE_DATA, kSmartReadData, kAtaSmart, 512, out, sizeof(*out),
                     returned);
}

bool TIDE_SMART::ReadThresholds(SENDCMDOUTPARAMS512* out, std::uint32_t* returned) {
  return SendCommand(SMART_RCV_DRIVE_DATA, kSmartReadThresholds, kAtaSmart, 512, out, sizeof(*out),
                     returned);
}

bool TIDE_SMART::SmartCommand(std::uint32_t code, std::uint8_t features, std::uint8_t lbaLow,
                              std::uint32_t bufferSize, void* out, std::uint32_t outLen,
                              std::uint32_t* returned) {
  return SendCommand(code, features, kAtaSmart, bufferSize, out, outLen, returned, lbaLow);
}

bool TIDE_SMART::LoadIdentify() {
  std::uint32_t returned = 0;
  IdentifyValid = IdentifyDrive(&IdentifyResult, &returned);
  return IdentifyValid;
}

bool TIDE_SMART::EnsureIdentify() {
  return IdentifyValid || LoadIdentify();
}

std::uint16_t TIDE_SMART::Word(int n) const {
  if (n < 0 || n > 255) return 0;
  const std::uint8_t* b = IdentifyResult.bBuffer;
  return static_cast<std::uint16_t>(b[2 * n] | (b[2 * n + 1] << 8));
}

std::uint16_t TIDE_SMART::GetCylinders() {
  return EnsureIdentify() ? Word(1) : 0;
}
std::uint16_t TIDE_SMART::GetHeads() {
  return EnsureIdentify() ? Word(3) : 0;
}
std::uint16_t TIDE_SMART::GetSectorsPerTrack() {
  return EnsureIdentify() ? Word(6) : 0;
}

std::string TIDE_SMART::GetSerial() {
  if (!EnsureIdentify()) return {};
  return SwapAtaString(IdentifyResult.bBuffer + kSerialOffset, kSerialLength);
}

std::string TIDE_SMART::GetFirmware() {
  if (!EnsureIdentify()) return {};
  return SwapAtaString(IdentifyResult.bBuffer + kFirmwareOffset, kFirmwareLength);
}

std::string TIDE_SMART::GetModel() {
  if (!EnsureIdentify()) return {};
  return SwapAtaString(IdentifyResult.bBuffer + kModelOffset, kModelLength);
}

// ---------------------------------------------------------------------------

std::string SwapAtaString(const std::uint8_t* bytes, std::size_t count) {
  std::string s;
  s.reserve(count);
  for (std::size_t i = 0; i < count; i += 2) {
    if (i + 1 < count) s.push_back(static_cast<char>(bytes[i + 1]));
    s.push_back(static_cast<char>(bytes[i]));
  }
  return s;
}

std::string CleanText(const std::string& text) {
  std::string s = text;
  for (char& c : s) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 32 || u > 126) c = ' ';
  }
  return s;
}

std::string BoolText(bool flag) {
  return flag ? "True" : "False";
}

std::string DriverErrorText(std::uint32_t code) {
  static const char* const kTexts[] = {
      " SMART_NO_ERROR - No error",
      " SMART_IDE_ERROR - Error from IDE controller",
      " SMART_INVALID_FLAG - Invalid command flag",
      " SMART_INVALID_COMMAND - Invalid command byte",
      " SMART_INVALID_BUFFER - Bad buffer (null, invalid addr..)",
      " SMART_INVALID_DRIVE - Drive number not valid",
      " SMART_INVALID_IOCTL - Invalid IOCTL",
      " SMART_ERROR_NO_MEM - Could not lock user's buffer",
      " SMART_INVALID_REGISTER - Some IDE Register not valid",
      " SMART_NOT_SUPPORTED - Invalid cmd flag set",
      " SMART_NO_IDE_DEVICE - Cmd issued to device not present",
  };
  const char* text = code < std::size(kTexts) ? kTexts[code] : " Unknown error";
  return "Error " + std::to_string(code) + text;
}

void ReportVersion(TIDE_SMART& smart, const TReportLineProc& line) {
  if (!smart.IsOpen) return;
  line("Version     = " + std::to_string(smart.GetVersion()) + "      " +
       "Revision    = " + std::to_string(smart.GetRevision()));
  const std::uint32_t caps = smart.GetCapabilities();
  line("Capabilites = 0x" + HexText(caps, 4) +
       " (ATA ID support = " + BoolText(smart.HasAtaIdentify()) +
       "  ATAPI ID support = " + BoolText(smart.HasAtapiIdentify()) +
       "  EXECUTE_SMART_FUNCTION support = " + BoolText(smart.HasSmartCommands()) + ")");
  line("IDEDeviceMap    = 0x" + HexText(smart.GetDeviceMap(), 2));
}

void DumpBytes(const std::uint8_t* bytes, std::size_t count, int perLine,
               const TReportLineProc& line) {
  if (perLine < 1 || count == 0) return;
  const auto n = static_cast<std::size_t>(perLine);
  std::string prefix, dec, hex, chars;
  std::size_t lines = 0;
  auto finish = [&] {
    ++lines;
    // Every fifth line is followed by a line holding one blank.
    if (lines > 5 && (lines - 1) % 5 == 0) line(" ");
    line(prefix + ": " + PadRight(dec, 4 * n) + " ! " + PadRight(hex, 3 * n) + " ! " +
         PadRight(chars, n) + " ! ");
  };
  for (std::size_t k = 0; k < count; ++k) {
    if (k % n == 0) {
      if (k > 0) finish();
      prefix = PadLeft(std::to_string(k), 5) + " " + HexText(k, 3) + " ";
      dec.clear();
      hex.clear();
      chars.clear();
    }
    const std::uint8_t b = bytes[k];
    dec += PadLeft(std::to_string(b), 4);
    hex += PadLeft(HexText(b, 2), 3);
    chars.push_back(b >= 32 && b <= 126 ? static_cast<char>(b) : ' ');
  }
  finish();
}

}  // namespace dt
