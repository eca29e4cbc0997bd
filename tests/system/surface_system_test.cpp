// The surface test on real kernel paths: faultyfs files with bad sectors,
// loop devices over them and over image files, a mounted device; badblocks
// of e2fsprogs reads the same devices side by side.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "base/text.h"
#include "device/device.h"
#include "device/drive_ref.h"
#include "fixtures.h"
#include "platform/platform.h"
#include "surface/surface_logic.h"

namespace dt::surface {
namespace {

using systest::FaultyFs;
using systest::ImageFile;
using systest::LoopDevice;
using systest::RecordingNotifier;
using systest::RunCommand;

// 8 cylinders of the geometry a disk reports (255 heads, 63 sectors): the
// size of a physical disk is whole cylinders, so the test covers it all.
constexpr std::uint64_t kCylinder = 255ull * 63ull * 512ull;
constexpr std::uint64_t kDiskBytes = 8 * kCylinder;  // 128520 sectors

class NullLog : public ErrorLog {
 public:
  void Clear() override { lines.clear(); }
  void Append(const std::string& line) override { lines.push_back(line); }
  std::vector<std::string> lines;
};

// A window on the host machine that tests one device, opened by path.
struct HostRun {
  QueuedMainThread main;
  NullLog log;
  SurfaceTestLogic w{main, log};

  HostRun(const std::string& path, std::int64_t blocks, bool write) {
    TestedDisk disk;
    disk.path = path;
    disk.readOnly = !write;
    disk.writeHandle = write;
    disk.blocks = blocks;
    disk.handle.Reset(Sys().OpenDevice(path, write ? kGenericRead | kGenericWrite : kGenericRead,
                                       kShareRead | kShareWrite, kOpenExisting, kAttributeNormal));
    if (!disk.handle)
      throw std::runtime_error("cannot open " + path + SystemErrorText(Platform::LastError()));
    w.SetTestedDisk(std::move(disk));
    int cw = 0, ch = 0;
    ClientSizeForMap(20, 10, &cw, &ch);
    w.FormShow(cw, ch);
  }
  ~HostRun() {
    w.FormHide();
    w.WaitIdle([&] { main.Pump(5); });
    while (w.Running()) main.Pump(5);
  }
  void Run(std::uint8_t mode) {
    if (mode == kModeReadWrite) w.ReadAndWriteButtonClick();
    if (mode == kModeWrite) w.WriteTestButtonClick();
    w.StartButtonClick();
    while (w.Running()) main.Pump(10);
  }
};

std::vector<std::int64_t> Sectors(const std::vector<systest::SectorRange>& ranges) {
  std::vector<std::int64_t> out;
  for (const auto& r : ranges)
    for (std::uint64_t s = r.first; s <= r.last; ++s) out.push_back(static_cast<std::int64_t>(s));
  return out;
}

std::string PhysicalItemOf(const std::string& path) {
  for (const DriveItem& i : FillPhysicalList())
    if (i.path == path) return i.text;
  return {};
}

TEST(SurfaceSystem, AReadRunOverAFaultyFileFindsExactlyItsBadSectors) {
  DT_SYSTEM_TEST_NEEDS(systest::kNeedRoot | systest::kNeedFuse);
  FaultyFs::Options o;
  o.size = 4 * 1048576;
  o.badRead = {{0, 0}, {1000, 1000}, {4095, 4102}, {8191, 8191}};
  FaultyFs fs(o);
  SetNumberFormat({",", "."});
  HostRun run(fs.file(), static_cast<std::int64_t>(o.size / 512), false);
  run.Run(kModeRead);
  SurfaceState& s = run.w.State();
  EXPECT_EQ(s.BadBlockList(), Sectors(o.badRead));
  EXPECT_EQ(s.ReadErrors.load(), 11);
  EXPECT_EQ(s.ReadDone.load(), 8192);
  ASSERT_EQ(run.log.lines.size(), 11u);
  EXPECT_EQ(run.log.lines[1], "2 read error at 1,000" + SystemErrorText(kErrIo));
}

TEST(SurfaceSystem, ALoopDeviceOverAFaultyFileGivesTheBadBlockListOfBadblocks) {
  DT_SYSTEM_TEST_NEEDS(systest::kNeedRoot | systest::kNeedFuse | systest::kNeedLoop);
  if (systest::FindProgram("badblocks").empty()) GTEST_SKIP() << "no badblocks in PATH";
  const std::string cli = systest::CliBinary();
  if (cli.empty()) GTEST_SKIP() << "disktest-cli is not built";
  FaultyFs::Options o;
  o.size = kDiskBytes;
  // badblocks retries a failing request block by block with buffered
  // reads, which fail a whole page-cache unit of the device, while this
  // tool's uncached retries find the single sector. On bad extents of whole
  // aligned 64 KiB both lists are the same.
  o.badRead = {{1920, 2047}, {50048, 50175}, {128384, 128511}};
  FaultyFs fs(o);
  LoopDevice loop(fs.file());
  ASSERT_FALSE(PhysicalItemOf(loop.path()).empty()) << loop.path() << " is not in the list";

  systest::TempDir dir;
  const std::string ours = dir.path() + "/ours.txt", theirs = dir.path() + "/theirs.txt";
  const auto r = RunCommand({cli, "surface", loop.path(), "--bad-blocks", ours, "--no-log"});
  EXPECT_EQ(r.exitCode, 1) << r.output;  // bad blocks found
  EXPECT_NE(r.output.find("Bad blocks read: "), std::string::npos) << r.output;
  const auto b = RunCommand({"badblocks", "-b", "512", "-c", "256", "-o", theirs, loop.path()});
  ASSERT_EQ(b.exitCode, 0) << b.output;

  EXPECT_EQ(systest::ReadNumbers(ours), Sectors(o.badRead));
  EXPECT_EQ(systest::ReadNumbers(ours), systest::ReadNumbers(theirs));
}

TEST(SurfaceSystem, ReadAndWriteBackLeavesALoopDeviceUnchanged) {
  DT_SYSTEM_TEST_NEEDS(systest::kNeedRoot | systest::kNeedLoop);
  ImageFile image(kDiskBytes);
  LoopDevice loop(image.path());
  const std::string before = systest::Sha256(loop.path());
  RecordingNotifier yes(true);
  {
    HostRun run(loop.path(), static_cast<std::int64_t>(kDiskBytes / 512), true);
    run.Run(kModeReadWrite);
    EXPECT_EQ(run.w.State().ReadDone.load(), 128520);
    EXPECT_EQ(run.w.State().WriteDone.load(), 128520);
    EXPECT_EQ(run.w.State().ReadErrors.load() + run.w.State().WriteErrors.load(), 0);
  }
  // Two questions, not the system-disk one: the device is not in use.
  EXPECT_EQ(yes.Questions().size(), 2u);
  EXPECT_EQ(systest::Sha256(loop.path()), before);
  loop.Detach();
  EXPECT_EQ(systest::Sha256(image.path()), before);
}

TEST(SurfaceSystem, ReadAndWriteBackOverAFaultyFileZeroesOnlyWhatItCannotRead) {
  DT_SYSTEM_TEST_NEEDS(systest::kNeedRoot | systest::kNeedFuse);
  ImageFile image(1048576);
  FaultyFs::Options o;
  o.image = image.path();
  o.badRead = {{10, 10}, {300, 303}, {700, 700}};
  o.badWrite = {{700, 700}};  // unreadable, and refuses the zeros too
  FaultyFs fs(o);
  RecordingNotifier yes(true);
  {
    HostRun run(fs.file(), 2048, true);
    run.Run(kModeReadWrite);
    EXPECT_EQ(run.w.State().ReadErrors.load(), 6);
    EXPECT_EQ(run.w.State().WriteErrors.load(), 1);
  }
  const auto now = image.Read(0, 1048576);
  const auto pattern = systest::PatternBytes(0, 1048576);
  const auto zeroed = Sectors({{10, 10}, {300, 303}});
  for (std::int64_t s = 0; s < 2048; ++s) {
    const auto at = static_cast<std::size_t>(s) * 512;
    const bool zero = std::binary_search(zeroed.begin(), zeroed.end(), s);
    const std::vector<std::uint8_t> got(now.begin() + at, now.begin() + at + 512);
    const std::vector<std::uint8_t> want =
        zero ? std::vector<std::uint8_t>(512, 0)
             : std::vector<std::uint8_t>(pattern.begin() + at, pattern.begin() + at + 512);
    EXPECT_EQ(got, want) << "sector " << s;
  }
}

TEST(SurfaceSystem, AWritingTestOfAMountedDeviceIsRefusedAndWritesNothing) {
  DT_SYSTEM_TEST_NEEDS(systest::kNeedRoot | systest::kNeedLoop | systest::kNeedExt4);
  ImageFile image(kDiskBytes, ImageFile::Content::kZeros);
  LoopDevice loop(image.path());
  systest::MakeExt4(loop.path(), "SURFACE");
  EXPECT_FALSE(Sys().DeviceInUse(loop.path()));
  systest::Mount mount(loop.path(), "ro");
  EXPECT_TRUE(Sys().DeviceInUse(loop.path()));
  const std::string before = systest::Sha256(loop.path());

  // The hand-over opens it for reading, offering no writing mode; a writing
  // mode chosen earlier asks its questions, is refused the open for writing
  // and writes nothing.
  RecordingNotifier yes(true);
  TestedDisk disk;
  const DriveRef item = ResolveDrive(loop.path());
  ASSERT_TRUE(item.Physical() && item.Listed());
  ASSERT_TRUE(OpenTestedDisk(item, &disk));
  EXPECT_TRUE(disk.readOnly);
  EXPECT_FALSE(disk.writeHandle);
  EXPECT_EQ(disk.blocks, 128520);
  EXPECT_TRUE(yes.Messages().empty());
  {
    QueuedMainThread main;
    NullLog log;
    SurfaceTestLogic w(main, log);
    w.SetTestedDisk(std::move(disk));
    int cw = 0, ch = 0;
    ClientSizeForMap(10, 10, &cw, &ch);
    w.FormShow(cw, ch);
    w.WriteTestButtonClick();
    w.StartButtonClick();
    EXPECT_FALSE(w.Running());
    EXPECT_EQ(w.State().WriteErrors.load(), 0);
    // The device is in use: the system-disk question came too.
    ASSERT_EQ(yes.Questions().size(), 3u);
    EXPECT_EQ(yes.Questions()[2].text, kSystemDiskQuestion);
    ASSERT_EQ(yes.Messages().size(), 1u);
    EXPECT_NE(yes.Messages()[0].caption.find("Cannot open " + loop.path() + " for write"),
              std::string::npos);
  }

  const std::string cli = systest::CliBinary();
  if (!cli.empty()) {
    const auto r =
        RunCommand({cli, "surface", loop.path(), "--mode", "write", "--yes", "--yes-system-disk"});
    EXPECT_EQ(r.exitCode, 1) << r.output;
    EXPECT_NE(r.output.find("the writing test is refused and nothing was written"), std::string::npos)
        << r.output;
  }
  EXPECT_EQ(systest::Sha256(loop.path()), before);
}

// What the kernel sees: a reading test opens the device for reading only
// (no write-close for udev to answer with a new probe), a writing test opens
// it for reading and writing, exclusively.
TEST(SurfaceSystem, OnlyAWritingTestOpensTheDeviceForWriting) {
  DT_SYSTEM_TEST_NEEDS(systest::kNeedRoot | systest::kNeedLoop);
  const std::string cli = systest::CliBinary();
  const std::string strace = systest::FindProgram("strace");
  if (cli.empty() || strace.empty()) GTEST_SKIP() << "needs disktest-cli and strace";
  ImageFile image(kDiskBytes / 8, ImageFile::Content::kZeros);
  LoopDevice loop(image.path());
  systest::TempDir dir;
  struct Case {
    std::vector<std::string> args;
    bool readOnly;
  };
  for (const Case& c : {Case{{"--mode", "read"}, true},
                        Case{{"--mode", "write", "--yes", "--yes-system-disk"}, false}}) {
    const std::string trace = dir.path() + "/trace";
    // LeakSanitizer cannot run under ptrace: a sanitizer build's program
    // runs without it here.
    std::vector<std::string> argv = {strace, "-f", "-e", "trace=openat", "-o", trace,
                                     "-E", "ASAN_OPTIONS=detect_leaks=0", cli, "surface",
                                     loop.path(), "--json", "-"};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    const auto r = RunCommand(argv);
    ASSERT_EQ(r.exitCode, 0) << r.output;
    EXPECT_NE(r.output.find(std::string("\"read_only\": ") + (c.readOnly ? "true" : "false")),
              std::string::npos)
        << r.output;
    std::ifstream in(trace);
    std::string line;
    int reads = 0, writes = 0;
    while (std::getline(in, line)) {
      if (line.find("\"" + loop.path() + "\"") == std::string::npos) continue;
      if (line.find("O_RDWR") != std::string::npos || line.find("O_WRONLY") != std::string::npos) {
        ++writes;
        EXPECT_NE(line.find("O_EXCL"), std::string::npos) << line;
      } else if (line.find("O_RDONLY") != std::string::npos) {
        ++reads;
      }
    }
    EXPECT_EQ(writes, c.readOnly ? 0 : 1) << c.args[1];
    EXPECT_GE(reads, c.readOnly ? 1 : 0) << c.args[1];
  }
}

TEST(SurfaceSystem, AMountedPartitionPutsItsWholeDiskInUse) {
  DT_SYSTEM_TEST_NEEDS(systest::kNeedRoot | systest::kNeedLoop | systest::kNeedPartitions |
                       systest::kNeedExt4);
  ImageFile image(kDiskBytes, ImageFile::Content::kZeros);
  LoopDevice loop(image.path());
  const auto parts = loop.Partition(
      "label: dos\nstart=2048, size=40960, type=83\n"
      "start=43008, size=40960, type=83\n");
  ASSERT_EQ(parts.size(), 2u);
  systest::MakeExt4(parts[0]);
  EXPECT_FALSE(Sys().DeviceInUse(loop.path()));
  systest::Mount mount(parts[0]);
  EXPECT_TRUE(Sys().DeviceInUse(loop.path()));
  EXPECT_TRUE(Sys().DeviceInUse(parts[1]));
  EXPECT_TRUE(MaybeSystemDisk(parts[1]));
  mount.Unmount();
  EXPECT_FALSE(Sys().DeviceInUse(parts[1]));
  EXPECT_FALSE(Sys().DeviceInUse(image.path()));  // not a device
}

TEST(SurfaceSystem, WithoutATerminalOrAnAnswerNothingIsWritten) {
  DT_SYSTEM_TEST_NEEDS(systest::kNeedRoot | systest::kNeedLoop);
  const std::string cli = systest::CliBinary();
  if (cli.empty()) GTEST_SKIP() << "disktest-cli is not built";
  ImageFile image(kDiskBytes);
  LoopDevice loop(image.path());
  const std::string before = systest::Sha256(loop.path());
  auto r = RunCommand({cli, "surface", loop.path(), "--mode", "write"});
  EXPECT_EQ(r.exitCode, 1) << r.output;
  EXPECT_NE(r.output.find("the test was not started"), std::string::npos) << r.output;
  // Answers on standard input that is not a terminal are not taken either.
  r = RunCommand({cli, "surface", loop.path(), "--mode", "read-write"}, "y\ny\ny\n");
  EXPECT_EQ(r.exitCode, 1) << r.output;
  EXPECT_EQ(systest::Sha256(loop.path()), before);
  // --yes answers both questions; the device is not in use, so no third.
  systest::TempDir dir;
  r = RunCommand({cli, "surface", loop.path(), "--mode", "read-write", "--yes", "--map-png",
                  dir.path() + "/map.png", "--map-size", "30x20"});
  EXPECT_EQ(r.exitCode, 0) << r.output;
  EXPECT_NE(r.output.find("Bad blocks read: 0 ("), std::string::npos) << r.output;
  EXPECT_EQ(systest::Sha256(loop.path()), before);
  std::ifstream png(dir.path() + "/map.png", std::ios::binary);
  char magic[4] = {};
  png.read(magic, 4);
  EXPECT_EQ(std::string(magic + 1, 3), "PNG");
}

}  // namespace
}  // namespace dt::surface
