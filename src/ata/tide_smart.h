// The ATA pass-through object: opens one physical drive, asks the storage
// driver for its SMART version and capabilities, and sends SMART ENABLE
// OPERATIONS, IDENTIFY (PACKET) DEVICE, SMART READ DATA and SMART READ
// THRESHOLDS through the SMART device-control requests. Also the small text
// helpers that every SMART and IDENTIFY report shares.
//
// Every user creates its own object, opens it, uses it and closes it; an
// object is never shared between threads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "platform/platform.h"

namespace dt {

// Receives the report text one line at a time (a line may be empty).
using TReportLineProc = std::function<void(const std::string&)>;

// ATA command bytes sent through the SMART interface.
inline constexpr std::uint8_t kAtaIdentifyDevice = 0xEC;
inline constexpr std::uint8_t kAtaIdentifyPacketDevice = 0xA1;
inline constexpr std::uint8_t kAtaSmart = 0xB0;
inline constexpr std::uint8_t kSmartReadData = 0xD0;
inline constexpr std::uint8_t kSmartReadThresholds = 0xD1;
inline constexpr std::uint8_t kSmartEnableOperations = 0xD8;

class TIDE_SMART {
 public:
  // Fields in their fixed order; the records keep their platform layouts.
  dt::Handle Handle = kInvalidHandle;  // invalid after a failed open
  std::int32_t DriveNumber = 0;        // low byte goes into every command
  bool IsOpen = false;
  bool VersionValid = false;
  bool IdentifyValid = false;
  GETVERSIONINPARAMS VersionParams{};
  std::uint32_t DriverError = 0;         // bDriverError of the last failed command
  std::uint32_t LastError = 0;           // system error of the last failed open/request
  SENDCMDOUTPARAMS512 IdentifyResult{};  // IDENTIFY word n at bBuffer[2n]
  bool ViaSmartVsd = false;              // opened through the legacy SMART driver
  bool ViaPhysicalDrive = false;         // opened as a physical drive

  TIDE_SMART() = default;
  ~TIDE_SMART();  // closes a handle that is still open
  TIDE_SMART(const TIDE_SMART&) = delete;
  TIDE_SMART& operator=(const TIDE_SMART&) = delete;

  // Opens physical drive n, falling back to the legacy SMART driver.
  bool OpenDrive(int n);
  void CloseDrive();

  // SMART_GET_VERSION into VersionParams.
  bool ReadVersion();
  // The version fields; each reads the version first while it is not valid
  // (so a failing driver is asked again on every access) and gives 0/false
  // when it cannot be read.
  std::uint8_t GetVersion();
  std::uint8_t GetRevision();
  std::uint8_t GetDeviceMap();
  std::uint32_t GetCapabilities();
  bool HasAtaIdentify();
  bool HasAtapiIdentify();
  bool HasSmartCommands();

  // The ATA commands. Each returns whether the request succeeded; `returned`
  // receives the bytes-returned count also on failure. On failure LastError
  // and DriverError hold the codes.
  bool EnableSmart();
  bool IdentifyDrive(SENDCMDOUTPARAMS512* out, std::uint32_t* returned);
  bool ReadAttributes(SENDCMDOUTPARAMS512* out, std::uint32_t* returned);
  bool ReadThresholds(SENDCMDOUTPARAMS512* out, std::uint32_t* returned);
  // IdentifyDrive into IdentifyResult; IdentifyValid := result.
  bool LoadIdentify();
  // Any SMART sub-command (B0h): `features` selects it, `lbaLow` goes into
  // the LBA low (sector number) register, the sector count is 1. The output
  // record is `outLen` bytes; `bufferSize` is the data size the input
  // record announces. Same failure codes as the commands above.
  bool SmartCommand(std::uint32_t code, std::uint8_t features, std::uint8_t lbaLow,
                    std::uint32_t bufferSize, void* out, std::uint32_t outLen,
                    std::uint32_t* returned);

  // Identity from the IDENTIFY block, loading it first when it is not valid;
  // 0 or the empty text when IDENTIFY fails. The texts are not trimmed.
  std::uint16_t GetCylinders();        // word 1
  std::uint16_t GetHeads();            // word 3
  std::uint16_t GetSectorsPerTrack();  // word 6
  std::string GetSerial();             // words 10-19, 20 characters
  std::string GetFirmware();           // words 23-26, 8 characters
  std::string GetModel();              // words 27-46, 40 characters

  // Word n (0-255) of the IDENTIFY block as it stands (no command is sent);
  // 0 for n outside the block.
  std::uint16_t Word(int n) const;

 private:
  // Builds a command record, sends it and keeps the failure codes.
  bool SendCommand(std::uint32_t code, std::uint8_t features, std::uint8_t command,
                   std::uint32_t bufferSize, void* out, std::uint32_t outLen,
                   std::uint32_t* returned, std::uint8_t lbaLow = 1);
  std::uint8_t IdentifyCommand();
  bool EnsureIdentify();
};

// A text of `count` characters from an ATA string field, each 16-bit word
// taken high byte first. Nothing is trimmed: blanks and zero bytes stay.
std::string SwapAtaString(const std::uint8_t* bytes, std::size_t count);
// The text with every character below 32 or above 126 replaced by a blank.
std::string CleanText(const std::string& text);
// "True" or "False".
std::string BoolText(bool flag);
// "Error " + code + the name and meaning of a SMART driver status code.
std::string DriverErrorText(std::uint32_t code);
// The three driver version lines that open every SMART report; nothing
// unless the object is open.
void ReportVersion(TIDE_SMART& smart, const TReportLineProc& line);
// Decimal, hexadecimal and character dump of `count` bytes, `perLine` bytes a
// line; offsets are relative to `bytes`.
void DumpBytes(const std::uint8_t* bytes, std::size_t count, int perLine,
               const TReportLineProc& line);

}  // namespace dt
