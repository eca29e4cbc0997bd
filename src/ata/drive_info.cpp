#include "ata/drive_info.h"

#include <string>

#include "ata/identify_decode.h"
#include "base/text.h"

namespace dt {

void ReportDriveInfo(TIDE_SMART& smart, const TReportLineProc& line) {
  if (!smart.IsOpen) return;

  DISK_GEOMETRY geo{};
  std::uint32_t returned = 0;
  if (Sys().Control(smart.Handle, IOCTL_DISK_GET_DRIVE_GEOMETRY, nullptr, 0, &geo, sizeof(geo),
                    &returned)) {
    // The bytes per cylinder are a 32-bit signed product (wrapping for
    // geometries of 2 GiB per cylinder and more); the total is floating.
    const auto perCylinder =
        static_cast<std::int32_t>(geo.SectorsPerTrack * geo.TracksPerCylinder * geo.BytesPerSector);
    const double total = static_cast<double>(geo.Cylinders) * static_cast<double>(perCylinder);
    line("Disk geometry (IOCTL_DISK_GET_DRIVE_GEOMETRY) : ");
    line("     Cylinders :" + std::to_string(geo.Cylinders) + "  " +
         "Heads : " + std::to_string(geo.TracksPerCylinder) + "  " +
         "Sectors per Track : " + std::to_string(geo.SectorsPerTrack) + " " +
         "Bytes per Sector : " + std::to_string(geo.BytesPerSector) + "  Total " +
         NumberText(total, 13, 0) + " bytes");
  } else {
    line("Get disk geometry error " + SystemErrorText(Platform::LastError()));
  }

  if (smart.LoadIdentify()) {
    std::string summary = AtaSupportText(smart) + " " + AtaVersionText(smart) + "  " +
                          UltraDmaSupportedText(smart) + " ";
    const std::string selected = UltraDmaSelectedText(smart);
    if (!selected.empty()) summary += "Selected " + selected;
    line("Cylinders :" + std::to_string(smart.GetCylinders()) + "  " +
         "Heads : " + std::to_string(smart.GetHeads()) + "  " +
         "Sectors per Track : " + std::to_string(smart.GetSectorsPerTrack()));
    line("Model number: " + CleanText(smart.GetModel()) + "  " + summary);
    line("Firmware rev: " + CleanText(smart.GetFirmware()));
    line("Serial number: " + CleanText(smart.GetSerial()));
  } else {
    line("ID error : System " + SystemErrorText(smart.LastError) + "  Device " +
         DriverErrorText(smart.DriverError));
  }
}

}  // namespace dt
