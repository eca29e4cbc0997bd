#include "surface_rig.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "base/text.h"

namespace dt::surface::test {

namespace {
// The expected texts are written with English separators, whatever the
// locale of the machine that runs the tests.
class EnglishNumbers : public ::testing::Environment {
 public:
  void SetUp() override { SetNumberFormat({",", "."}); }
};
[[maybe_unused]] ::testing::Environment* const g_englishNumbers =
    ::testing::AddGlobalTestEnvironment(new EnglishNumbers);
}  // namespace

std::string OneDisk(std::uint64_t sectors, const std::string& unreadable,
                    const std::string& unwritable, const std::string& volumes) {
  return R"({"disks": [{"size": )" + std::to_string(sectors * 512) +
         R"(, "speed": {"start_mbps": 100, "end_mbps": 100, "latency_ms": 0.1}, "unreadable": )" +
         unreadable + R"(, "unwritable": )" + unwritable + R"(}], "volumes": )" + volumes + "}";
}

Machine::Machine(const std::string& json) {
  std::string error;
  auto sim = ParseSimMachine(json, "", "surface test machine", &error);
  if (!sim) throw std::runtime_error(error);
  auto wrap = std::make_unique<WrapPlatform>(std::move(sim));
  wrap_ = wrap.get();
  scope_ = std::make_unique<ScopedPlatform>(std::move(wrap));
}

Engine::Engine(std::int32_t rows, std::int32_t columns, bool writable, std::int32_t sectorsPerBlock,
               const std::string& path) {
  const std::uint32_t access = writable ? kGenericRead | kGenericWrite : kGenericRead;
  handle.store(
      Sys().OpenDevice(path, access, kShareRead | kShareWrite, kOpenExisting, kAttributeNormal));
  if (handle.load() == kInvalidHandle) throw std::runtime_error("cannot open " + path);
  std::uint64_t bytes = 0;
  PARTITION_INFORMATION pi{};
  std::uint32_t returned = 0;
  DISK_GEOMETRY g{};
  if (Sys().Control(handle.load(), IOCTL_DISK_GET_PARTITION_INFO, nullptr, 0, &pi, 28, &returned) &&
      pi.PartitionLength > 0) {
    bytes = static_cast<std::uint64_t>(pi.PartitionLength);
  } else if (Sys().Control(handle.load(), IOCTL_DISK_GET_DRIVE_GEOMETRY, nullptr, 0, &g, sizeof g,
                           &returned)) {
    bytes = static_cast<std::uint64_t>(g.Cylinders) * g.TracksPerCylinder * g.SectorsPerTrack *
            g.BytesPerSector;
  }
  s.DiskIo.store(handle.load());
  s.SectorsPerBlock.store(sectorsPerBlock);
  s.DiskBlocks.store(static_cast<std::int64_t>(bytes / 512 / sectorsPerBlock));
  s.ReadOnlyDisk.store(!writable);
  s.MapRows = rows;
  s.MapColumns = columns;
  s.DivideDisk(rows * columns);
}

Engine::~Engine() {
  if (handle.load() != kInvalidHandle) Sys().Close(handle.load());
}

void Engine::Run(std::uint8_t mode, std::int32_t passes, bool dump) {
  s.TestMode.store(mode);
  s.RetryCount.store(passes);
  s.SetTargets();
  StartCounters(s);
  StartRunning(s, worker, dump);
  worker.PerformRun();
}

std::vector<std::uint8_t> ReadDisk(std::int64_t offset, std::uint32_t len) {
  const Handle h = Sys().OpenDevice("\\\\.\\PHYSICALDRIVE0", kGenericRead, kShareRead | kShareWrite,
                                    kOpenExisting, kAttributeNormal);
  std::vector<std::uint8_t> out(len);
  std::uint32_t done = 0;
  if (!Sys().ReadAt(h, offset, out.data(), len, &done)) out.clear();
  Sys().Close(h);
  return out;
}

QuestionRecorder::QuestionRecorder(bool answer) : answer_(answer) {
  SetNotifier(this);
}
QuestionRecorder::~QuestionRecorder() {
  SetNotifier(nullptr);
}

void QuestionRecorder::ShowMessage(const std::string& caption, const std::string& text) {
  messages.push_back(caption + "|" + text);
}

bool QuestionRecorder::Confirm(const std::string& caption, const std::string& text) {
  const std::size_t i = questions.size();
  questions.push_back(caption + "|" + text);
  return i < answers.size() ? answers[i] : answer_;
}

std::string TempPath(const std::string& name) {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / "dt_surface_tests" / info->name();
  std::filesystem::create_directories(dir);
  return (dir / name).string();
}

std::uint64_t FileSize(const std::string& path) {
  std::error_code ec;
  const auto n = std::filesystem::file_size(path, ec);
  return ec ? ~0ull : n;
}

std::vector<std::uint8_t> FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

}  // namespace dt::surface::test
