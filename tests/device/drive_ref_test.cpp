// Every form of a drive argument on a simulated machine of two disks and a
// volume, plus an image file and a link to it.
#include <gtest/gtest.h>

#include <filesystem>

#include "device/drive_ref.h"
#include "platform/sim/sim_platform.h"

namespace dt {
namespace {

TEST(DriveRef, EveryFormOfAnArgumentResolvesOnce) {
  std::string error;
  auto m = ParseSimMachine(
      R"({"disks": [{"size": 8388608}, {"size": 16777216}],
          "volumes": [{"name": "C", "label": "", "fs": "NTFS", "disk": 0, "offset": 0,
                       "size": 8388608}]})",
      "", "test.json", &error);
  ASSERT_TRUE(m) << error;
  ScopedPlatform platform(std::move(m));
  const auto dir = std::filesystem::temp_directory_path() / "dt_drive_ref_test";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  const std::string image = (dir / "disk.img").string();
  {
    std::FILE* f = std::fopen(image.c_str(), "wb");
    ASSERT_TRUE(f);
    std::fclose(f);
  }
  const std::string real = std::filesystem::canonical(image).string();
  // Wine may make no links: the link case then stands for the file itself.
  std::error_code ec;
  std::filesystem::create_symlink(image, dir / "link", ec);
  const std::string link = ec ? image : (dir / "link").string();

  using K = DriveRef::Kind;
  const std::string disk1 = Sys().PhysicalDrivePath(1), volume = Sys().LogicalDrivePath("C");
  const struct {
    std::string arg;
    K kind;
    int number;
    std::string name, path;
    bool listed, byPath;
  } kCases[] = {
      {"1", K::Physical, 1, "", disk1, true, false},
      {"01", K::Physical, 1, "", disk1, true, false},
      {"7", K::Physical, 7, "", "", false, false},  // a number past the list
      {"HDD1", K::Physical, 1, "", disk1, true, false},
      {disk1, K::Physical, 1, "", disk1, true, true},
      {"C", K::Logical, -1, "C", volume, true, false},
      {"C:", K::Logical, -1, "C", volume, true, false},
      {volume, K::Logical, -1, "C", volume, true, true},
      {image, K::File, -1, "", real, false, true},
      {link, K::File, -1, "", real, false, true},
      {(dir / "none").string(), K::None, -1, "", "", false, true},
      {"HDD", K::None, -1, "", "", false, true},
      {"D:", K::None, -1, "", "", false, true},
      {"123", K::None, -1, "", "", false, true},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.arg);
    const DriveRef r = ResolveDrive(c.arg);
    EXPECT_EQ(r.kind, c.kind);
    EXPECT_EQ(r.number, c.number);
    EXPECT_EQ(r.name, c.name);
    EXPECT_EQ(r.path, c.path);
    EXPECT_EQ(r.Listed(), c.listed);
    EXPECT_EQ(r.byPath, c.byPath);
  }
  // A listed disk or drive carries what its list item names.
  const DriveRef l = ResolveDrive("C:");
  EXPECT_EQ(l.label, "[] NTFS");
  EXPECT_EQ(l.fileSystem, "NTFS");
  EXPECT_EQ(l.listText, "C: 8.00 MB [] NTFS");
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace dt
