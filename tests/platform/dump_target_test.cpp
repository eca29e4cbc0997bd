// The dump file is only ever a regular file: devices (also the Windows
// device namespace and reserved names), directories and pipes are refused
// before anything is opened.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/platform.h"

namespace dt {
namespace {

TEST(DumpTarget, OnlyRegularFilesMayBeWritten) {
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / "dt_dump_target";
  std::filesystem::create_directories(dir);
  const std::string file = (dir / "rd.dat").string();
  std::filesystem::remove(file);
  EXPECT_EQ(DumpTargetRefusal(file), "");  // a missing file may be created
  const int fd = Sys().DumpCreate(file);
  ASSERT_NE(fd, -1);
  EXPECT_TRUE(Sys().DumpWrite(fd, "abc", 3));
  EXPECT_TRUE(Sys().DumpClose(fd));
  EXPECT_EQ(std::filesystem::file_size(file), 3u);
  EXPECT_EQ(DumpTargetRefusal(file), "");

  EXPECT_EQ(DumpTargetRefusal(dir.string()), dir.string() + " is a directory, not a regular file");
  EXPECT_EQ(Sys().DumpCreate(dir.string()), -1);
  EXPECT_EQ(DumpTargetRefusal(""), "no file name was given");
#ifdef _WIN32
  for (const char* device : {"\\\\.\\PHYSICALDRIVE1", "//./C:", "\\\\?\\GLOBALROOT\\Device\\Harddisk0",
                             "NUL", "nul.txt", "C:\\temp\\COM1.dat", "lpt2"})
    EXPECT_EQ(DumpTargetRefusal(device), std::string(device) + " is a device, not a regular file");
  EXPECT_EQ(DumpTargetRefusal("console.dat"), "");
#else
  EXPECT_EQ(DumpTargetRefusal("/dev/null"), "/dev/null is a character device, not a regular file");
  EXPECT_EQ(Sys().DumpCreate("/dev/null"), -1);
#endif
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace dt
