#include "device/drive_ref.h"

#include <filesystem>
#include <vector>

#include "platform/nvme_controller.h"
#include "platform/platform.h"

namespace dt {

namespace {

bool IsDriveNumber(const std::string& s) {
  return !s.empty() && s.size() <= 2 && s.find_first_not_of("0123456789") == std::string::npos;
}

// A disk or drive of the lists by name or path; `ref` keeps its byPath.
bool FindListed(const std::string& arg, const std::vector<DriveItem>& physical,
                const std::vector<DriveItem>& logical, DriveRef* ref) {
  const DriveItem* found = nullptr;
  for (const DriveItem& i : physical)
    if (!found && (i.path == arg || "HDD" + std::to_string(i.number) == arg)) found = &i;
  for (const DriveItem& i : logical)
    if (!found && (i.path == arg || i.name == arg || i.name + ":" == arg)) found = &i;
  if (!found) return false;
  const bool byPath = ref->byPath;
  *ref = found->Ref();
  ref->byPath = byPath;
  return true;
}

}  // namespace

DriveRef ResolveDrive(const std::string& argument) {
  DriveRef ref;
  const std::vector<DriveItem> physical = FillPhysicalList();
  if (IsDriveNumber(argument)) {
    ref.kind = DriveRef::Kind::Physical;
    ref.number = std::stoi(argument);
    ref.path = Sys().PhysicalDrivePath(ref.number);
    for (const DriveItem& i : physical)
      if (i.number == ref.number) ref = i.Ref();
    return ref;
  }
  const std::vector<DriveItem> logical = FillLogicalList();
  if (FindListed(argument, physical, logical, &ref)) {
    ref.byPath = ref.path == argument;
    return ref;
  }
  ref.byPath = true;
  // An NVMe controller node stands for its first namespace's disk.
  const std::string disk = NvmeControllerDisk(argument);
  if (!disk.empty() && FindListed(disk, physical, {}, &ref)) return ref;
  std::error_code ec;
  const std::filesystem::path real = std::filesystem::canonical(argument, ec);
  if (ec) return ref;
  if (FindListed(real.string(), physical, logical, &ref)) return ref;
  // A physical disk that the list stops before (its size cannot be read).
  for (int n = 0; n < 100; ++n) {
    const std::string p = Sys().PhysicalDrivePath(n);
    if (p.empty()) break;
    if (p == argument || p == real.string()) {
      ref.kind = DriveRef::Kind::Physical;
      ref.number = n;
      ref.path = p;
      return ref;
    }
  }
  const auto type = std::filesystem::status(real, ec).type();
  if (!ec &&
      (type == std::filesystem::file_type::block || type == std::filesystem::file_type::regular)) {
    ref.kind = DriveRef::Kind::File;
    ref.path = real.string();
  }
  return ref;
}

}  // namespace dt
