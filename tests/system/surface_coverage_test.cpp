// disktest-cli surface on real kernel devices: every sector up to the last
// one, 512- and 4096-byte logical sectors, image files and links as disks,
// and output files that are checked before any disk work and never written
// into a device.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "fixtures.h"

namespace dt::systest {
namespace {

std::string Cli() { return CliBinary(); }

#define DT_NEEDS_CLI(cli) \
  if ((cli).empty()) GTEST_SKIP() << "disktest-cli is not built"

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// The bad sectors of a 100 MiB disk: at the start, in the middle and in the
// last 8 MB, up to the very last sector, past the last whole cylinder
// (192779) of the geometry.
const std::vector<SectorRange> kBad = {{0, 0},           {1000, 1000},     {102400, 102407},
                                       {192779, 192780}, {200000, 200000}, {204799, 204799}};

// The 512-byte sectors of the bad ones' units of `unit` sectors.
std::vector<std::int64_t> Expanded(const std::vector<SectorRange>& bad, std::uint64_t unit) {
  std::vector<std::int64_t> out;
  for (const SectorRange& r : bad)
    for (std::uint64_t s = r.first / unit * unit; s <= r.last / unit * unit + unit - 1; ++s)
      if (out.empty() || out.back() < static_cast<std::int64_t>(s))
        out.push_back(static_cast<std::int64_t>(s));
  return out;
}

TEST(SurfaceCoverage, EveryBadSectorIsFoundUpToTheLastWith512And4096ByteSectors) {
  DT_SYSTEM_TEST_NEEDS(kNeedRoot | kNeedFuse | kNeedLoop);
  const std::string cli = Cli();
  DT_NEEDS_CLI(cli);
  FaultyFs::Options o;
  o.size = 100 * 1048576;
  o.badRead = kBad;
  FaultyFs fs(o);
  TempDir dir;
  const std::string list = dir.path() + "/bad.txt";
  {
    LoopDevice loop(fs.file());
    const auto r = RunCommand({cli, "surface", loop.path(), "--no-log", "--bad-blocks", list});
    EXPECT_EQ(r.exitCode, 1) << r.output;
    EXPECT_TRUE(Contains(r.output, "Disk size: 100.00 Mb")) << r.output;
    EXPECT_TRUE(Contains(r.output, "Bad blocks read: 14 (0.0068% of 204K)")) << r.output;
    EXPECT_EQ(ReadNumbers(list), Expanded(kBad, 1));
  }
  {
    // A failing 4 KiB sector fails its eight 512-byte blocks, no more.
    LoopDevice loop(fs.file(), {4096, false});
    auto r = RunCommand({cli, "surface", loop.path(), "--no-log", "--bad-blocks", list});
    EXPECT_EQ(r.exitCode, 1) << r.output;
    EXPECT_EQ(ReadNumbers(list), Expanded(kBad, 8));
    // Numbered in 4 KiB blocks, as badblocks -b 4096 lists them.
    r = RunCommand({cli, "surface", loop.path(), "--no-log", "--bad-blocks", list,
                    "--list-block-size", "4096"});
    EXPECT_EQ(ReadNumbers(list), (std::vector<std::int64_t>{0, 125, 12800, 24097, 25000, 25599}));
  }
}

TEST(SurfaceCoverage, AWritePassWritesEverySectorOfADeviceAndEveryByteOfAnImage) {
  DT_SYSTEM_TEST_NEEDS(kNeedRoot | kNeedLoop);
  const std::string cli = Cli();
  DT_NEEDS_CLI(cli);
  // 20 MiB: two whole cylinders and 8830 sectors past them.
  ImageFile image(20 * 1048576);
  {
    LoopDevice loop(image.path());
    const auto r = RunCommand({cli, "surface", loop.path(), "--mode", "write", "--yes"});
    EXPECT_EQ(r.exitCode, 0) << r.output;
  }
  const auto zeros = std::vector<std::uint8_t>(20 * 1048576, 0);
  EXPECT_TRUE(image.Read(0, zeros.size()) == zeros) << "a sector kept its old data";

  // An image whose length is no whole number of sectors, through a link:
  // its last 300 bytes are a shorter block, written without growing it.
  ImageFile odd(1048576 + 300);
  const std::string link = odd.path() + ".link";
  std::filesystem::create_symlink(odd.path(), link);
  auto r = RunCommand({cli, "surface", link, "--mode", "write", "--passes", "2", "--yes"});
  EXPECT_EQ(r.exitCode, 0) << r.output;
  EXPECT_TRUE(Contains(r.output, "Disk: " + odd.path())) << r.output;
  EXPECT_EQ(std::filesystem::file_size(odd.path()), 1048576u + 300u);
  EXPECT_TRUE(odd.Read(0, 1048576 + 300) == std::vector<std::uint8_t>(1048576 + 300, 1));
  std::filesystem::remove(link);
}

TEST(SurfaceCoverage, ADumpHoldsTheWholeDeviceAndAReadTestFollowsALinkToIt) {
  DT_SYSTEM_TEST_NEEDS(kNeedRoot | kNeedLoop);
  const std::string cli = Cli();
  DT_NEEDS_CLI(cli);
  ImageFile image(20 * 1048576 + 4096);
  LoopDevice loop(image.path());
  TempDir dir;
  const std::string link = dir.path() + "/by-id-disk";
  std::filesystem::create_symlink(loop.path(), link);
  const std::string dump = dir.path() + "/rd.dat";
  const auto r = RunCommand({cli, "surface", link, "--passes", "2", "--dump", dump});
  EXPECT_EQ(r.exitCode, 0) << r.output;
  EXPECT_TRUE(Contains(r.output, "Disk: " + loop.path())) << r.output;
  EXPECT_EQ(std::filesystem::file_size(dump), 2u * image.size());
  EXPECT_EQ(Sha256(image.path()), RunOrThrow({"sh", "-c", "head -c " +
                                                              std::to_string(image.size()) + " " +
                                                              dump + " | sha256sum"})
                                      .substr(0, 64));
}

TEST(SurfaceCoverage, OutputFilesAreCheckedBeforeAnyDiskWorkAndNeverADevice) {
  DT_SYSTEM_TEST_NEEDS(kNeedRoot | kNeedLoop | kNeedExt4);
  const std::string cli = Cli();
  DT_NEEDS_CLI(cli);
  ImageFile image(8 * 1048576);
  LoopDevice tested(image.path());
  ImageFile fsImage(16 * 1048576, ImageFile::Content::kZeros);
  LoopDevice mounted(fsImage.path());
  MakeExt4(mounted.path(), "KEEP");
  Mount mount(mounted.path(), "ro");  // read-only: nothing else changes it meanwhile
  const std::string before = Sha256(mounted.path()), imageBefore = Sha256(image.path());
  TempDir dir;

  struct Case {
    std::vector<std::string> args;
    std::string says;
  };
  const std::vector<Case> cases = {
      {{"--dump", mounted.path()}, "is a block device, not a regular file"},
      {{"--dump", "/dev/null"}, "is a character device, not a regular file"},
      {{"--dump", dir.path()}, "is a directory, not a regular file"},
      {{"--dump", tested.path()}, "is a block device"},
      {{"--bad-blocks", dir.path() + "/no/such/dir/list"}, "cannot create the file"},
      {{"--bad-blocks", mounted.path()}, "is a block device"},
      {{"--map-png", dir.path()}, "is a directory"},
      {{"--list-block-size", "1000"}, "a multiple of 512"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> argv = {cli, "surface", tested.path(), "--mode", "write", "--yes"};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    const auto r = RunCommand(argv);
    EXPECT_EQ(r.exitCode, 2) << c.args[0] << ": " << r.output;
    EXPECT_TRUE(Contains(r.output, c.says)) << r.output;
    EXPECT_FALSE(Contains(r.output, "Disk: ")) << "the test ran: " << r.output;
  }
  EXPECT_EQ(Sha256(mounted.path()), before);
  EXPECT_EQ(Sha256(image.path()), imageBefore);

  // An image under test is never its own dump; an empty name is no disk.
  auto r = RunCommand({cli, "surface", image.path(), "--dump", image.path()});
  EXPECT_EQ(r.exitCode, 2) << r.output;
  EXPECT_TRUE(Contains(r.output, "is the disk under test")) << r.output;
  EXPECT_EQ(Sha256(image.path()), imageBefore);
  r = RunCommand({cli, "surface", ""});
  EXPECT_EQ(r.exitCode, 2) << r.output;

  // A read test of the mounted device says once, plainly, that it runs
  // read-only.
  r = RunCommand({cli, "surface", mounted.path()});
  EXPECT_EQ(r.exitCode, 0) << r.output;
  EXPECT_TRUE(Contains(r.output, "is tested read-only")) << r.output;
  EXPECT_FALSE(Contains(r.output, "System error")) << r.output;

  // The image behind the mounted device is that disk in use: never written.
  const std::string fileBefore = Sha256(fsImage.path());
  r = RunCommand({cli, "surface", fsImage.path(), "--mode", "write", "--yes", "--yes-system-disk"});
  EXPECT_EQ(r.exitCode, 1) << r.output;
  EXPECT_TRUE(Contains(r.output, "the writing test is refused and nothing was written")) << r.output;
  EXPECT_EQ(Sha256(fsImage.path()), fileBefore);
}

TEST(SurfaceCoverage, ADumpCutShortByAFullFileSystemFailsTheCommand) {
  DT_SYSTEM_TEST_NEEDS(kNeedRoot | kNeedLoop);
  const std::string cli = Cli();
  DT_NEEDS_CLI(cli);
  ImageFile image(4 * 1048576);
  LoopDevice loop(image.path());
  TempDir dir;
  if (RunCommand({"mount", "-t", "tmpfs", "-o", "size=1m", "tmpfs", dir.path()}).exitCode != 0)
    GTEST_SKIP() << "cannot mount a tmpfs";
  const auto r = RunCommand({cli, "surface", loop.path(), "--dump", dir.path() + "/rd.dat"});
  RunCommand({"umount", dir.path()});
  EXPECT_EQ(r.exitCode, 1) << r.output;
  EXPECT_TRUE(Contains(r.output, "was cut short after")) << r.output;
  EXPECT_TRUE(Contains(r.output, "No space left on device")) << r.output;
  EXPECT_TRUE(Contains(r.output, "Bad blocks read: 0 (")) << r.output;
}

}  // namespace
}  // namespace dt::systest
