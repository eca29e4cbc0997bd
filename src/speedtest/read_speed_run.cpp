#include "speedtest/read_speed_run.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <filesystem>
#include <iterator>
#include <system_error>

#include "ata/tide_smart.h"
#include "base/notify.h"
#include "base/text.h"
#include "health/smart_flow.h"

namespace dt {

const char* SpeedLabelName(SpeedLabel which) {
  static constexpr const char* kNames[] = {"Label2", "Label3", "Label4",  "Label5",
                                           "Label6", "Label7", "Label10", "Label11",
                                           "DiskSz", "ElTime", "QRLabel9"};
  static_assert(std::size(kNames) == static_cast<std::size_t>(SpeedLabel::kCount));
  const auto i = static_cast<std::size_t>(which);
  return i < std::size(kNames) ? kNames[i] : "";
}

namespace {

constexpr std::uint32_t kMaxRead = 1048576;      // bytes per read request
constexpr std::uint32_t kMaxSectors = 0x200000;  // 1 GiB blocks
constexpr const char* kCaption = "Read speed test";

// The one transfer buffer of the test; its contents are never looked at.
// Page-aligned, so uncached reads need no bounce copy.
alignas(4096) std::uint8_t ReadBuffer[kMaxRead];

// Counter difference in microseconds, without overflow for long blocks.
std::int64_t CountsToMicroseconds(std::int64_t counts, std::int64_t frequency) {
  return counts / frequency * 1000000 + counts % frequency * 1000000 / frequency;
}

std::int32_t ClampSeconds(std::int64_t s) {
  return static_cast<std::int32_t>(std::min<std::int64_t>(s, INT32_MAX));
}

std::string ErrorsText(std::int32_t n) {
  return "Errors: " + std::to_string(n);
}

std::string DiskNameOf(const SpeedRequest& s) {
  if (!s.devicePath.empty()) return s.devicePath;
  if (s.drive.Physical()) return "HDD" + std::to_string(s.drive.number);
  return s.drive.name;
}

}  // namespace

std::uint32_t BlockSizeDivisor(std::int64_t e) {
  return (static_cast<std::uint32_t>(e) + 511u) & 0x0FFFFFE0u;
}

std::uint32_t BlockSectors(std::int64_t span, std::int64_t count, bool pow2) {
  if (count <= 0 || span < 0) return 0;
  std::uint64_t sectors =
      (static_cast<std::uint64_t>(span) >> 9) / static_cast<std::uint64_t>(count);
  if (pow2) {
    std::uint64_t p = std::uint64_t{1} << 30;
    while (p > 1 && p > sectors) p >>= 1;
    sectors = p;
  }
  return static_cast<std::uint32_t>(std::min<std::uint64_t>(sectors, kMaxSectors));
}

std::int64_t PathDiskSize(const std::string& path) {
  const Handle h = Sys().OpenDevice(path, kGenericRead, kShareRead | kShareWrite, kOpenExisting,
                                    kAttributeNormal | kFlagDeviceControl);
  if (h == kInvalidHandle) return kSizeOpenFailed;
  std::int64_t result = PartitionLength(h);
  if (result == 0) result = kSizeRequestFailed;
  std::uint32_t err = Platform::LastError();
  Sys().Close(h);
  if (result < 0) {
    // A regular file answers no disk request: its size is the file's.
    std::error_code ec;
    if (std::filesystem::is_regular_file(path, ec)) {
      const auto size = std::filesystem::file_size(path, ec);
      if (!ec) result = static_cast<std::int64_t>(size);
    }
  }
  Platform::SetLastError(err);
  return result;
}

// ---------------------------------------------------------------------------

SpeedTest::SpeedTest(SpeedView& view, ErrorLines& errors, RangeDialog& range, MainThread& main,
                     PointTable& points)
    : view_(view), errors_(errors), rangeDialog_(range), main_(main), points_(points) {
  auto set = [&](SpeedLabel l, const char* t) { labels_[static_cast<std::size_t>(l)] = t; };
  set(SpeedLabel::Label2, "0%");
  set(SpeedLabel::Label3, "Errors: 0");
  set(SpeedLabel::Label4, "BlokSize");
  set(SpeedLabel::Label5, "From");
  set(SpeedLabel::Label6, "to");
  set(SpeedLabel::Label7, "Blocks");
  set(SpeedLabel::Label10, "Address");
  set(SpeedLabel::Label11, "Err1");
  set(SpeedLabel::DiskSz, "Unknow ");
  set(SpeedLabel::ElTime, "Time 00:00:00 (00:00:00)");
  set(SpeedLabel::QRLabel9, "");
  worker_ = std::make_unique<TDiskTest>(*this);
  worker_->Start();
}

SpeedTest::~SpeedTest() {
  // A run under way stops before its next read; the worker ends without
  // handing over another step, and a step handed over but not yet run does
  // nothing (see TDiskTest::Synchronize).
  Stop();
  worker_.reset();
  // A run cut short by the end of the program still closes its disk and
  // gives up the lease (the members do).
}

const char* SpeedTest::BusyText() { return kBusyText; }

void SpeedTest::SetLabel(SpeedLabel which, const std::string& text) {
  labels_[static_cast<std::size_t>(which)] = text;
  view_.SetLabel(which, text);
}

StartResult SpeedTest::Refuse(StartResult r, const std::string& text) {
  Notify().ShowMessage(kCaption, text);
  return r;
}

StartResult SpeedTest::Button1Click(const SpeedSettings& s) {
  if (busy_.load()) {
    Stop();
    return StartResult::Stopped;
  }
  return Start(s);
}

void SpeedTest::Stop() {
  speedRunning_.store(false);
}

StartResult SpeedTest::Start(const SpeedSettings& s) {
  return Begin(s, &s);
}

StartResult SpeedTest::Start(const SpeedRequest& r) {
  return Begin(r, nullptr);
}

StartResult SpeedTest::Begin(const SpeedRequest& s, const SpeedSettings* texts) {
  // One run at a time: a second Start must not touch the running one, and
  // the disk handle of another test is not taken over.
  if (busy_.load()) return Refuse(StartResult::Busy, BusyText());
  // The disk and the lease are held here until the run starts: every early
  // return closes the one and gives up the other.
  DiskLease lease = DiskLease::Take();
  if (!lease) return Refuse(StartResult::Busy, DiskLease::InUseText());

  alternateOrder_ = s.CheckBox3;
  percentMode_ = s.PercentFlg;
  realTime_.store(s.CheckBox1);
  errMsgOn_.store(s.ErrMsgEn);

  errors_.Clear();
  SetLabel(SpeedLabel::Label11, ErrorsText(0));
  SetLabel(SpeedLabel::Label3, ErrorsText(0));

  perfFrequency_ = Sys().PerfFrequency();
  // The title names the processor clock only where the counter runs at it.
  std::string title;
  if (perfFrequency_ > 0 && Sys().PerfCounterIsCpuClock())
    title = "CPU " + NumberText(static_cast<double>(perfFrequency_) / 1000000.0, 13, 2) + " MHz  ";
  SetLabel(SpeedLabel::QRLabel9, title);

  points_.Clear();
  if (s.CheckBox4) points_.Append(SpeedPoint{0, 0.0, 0.0});

  std::int32_t minimalTime = s.minimalTime;
  std::int32_t edit1 = s.blocks;
  if (texts && !TextToInt32(texts->Edit2, &minimalTime)) {
    ShowConversionError(InvalidIntegerText(texts->Edit2));
    return StartResult::BadNumber;
  }
  if (texts && !TextToInt32(texts->Edit1, &edit1)) {
    ShowConversionError(InvalidIntegerText(texts->Edit1));
    return StartResult::BadNumber;
  }
  // The number as given, for the messages.
  const std::string edit1Text = texts ? texts->Edit1 : std::to_string(edit1);
  std::int64_t count = edit1;

  const std::string path = s.devicePath.empty() ? DeviceName(s.drive) : s.devicePath;
  Disk disk = OpenDiskAt(path, false);
  if (!disk.IsOpen()) return StartResult::OpenFailed;
  if (Sys().GetType(disk.handle.Get()) != FileType::Disk) return StartResult::NotDisk;

  std::int64_t size = kSizeRequestFailed;
  if (!s.devicePath.empty()) {
    size = PathDiskSize(path);
  } else if (s.drive.Physical()) {
    const int n = s.drive.number;
    {
      // The drive's identity (ATA IDENTIFY, or an NVMe drive's Identify
      // Controller) goes into the report titles.
      const DriveIdentity id = ReadDriveIdentity(n).padded;
      title += id.model + "  Firmware: " + id.firmware + "  Serial: " + id.serial;
      SetLabel(SpeedLabel::QRLabel9, title);
    }
    size = PhysicalDiskSize(n);
  } else {
    size = SelectedDiskSize(s.drive);
  }

  if (s.BlockSizeFlg) {
    // Edit1 is a block size: the count follows from the whole disk.
    const std::uint32_t divisor = BlockSizeDivisor(edit1);
    if (edit1 > 0 && divisor == 0) {
      // The divisor keeps 28 bits: sizes from 511 to 480 bytes under a
      // multiple of 256 MiB come to nothing, whatever the disk.
      return Refuse(StartResult::NoBlockSize,
                    "No block size can be formed: a block size of " + edit1Text +
                        " bytes is reduced to 0 sectors (block sizes are taken modulo 256 MiB). "
                        "Give a block size below 268434945 bytes.");
    }
    count = (edit1 > 0 && size >= 0) ? size / divisor : 0;
  }
  if (size < 0) {
    const std::uint32_t code = Platform::LastError();
    ErrorMessage("(recive disk size on " + path + ")", code);
    return StartResult::SizeFailed;
  }
  if (count <= 0) {
    if (s.BlockSizeFlg)
      return Refuse(StartResult::NoBlockSize,
                    "No block size can be formed: a block size of " + edit1Text +
                        " bytes does not fit the disk of " + std::to_string(size) +
                        " bytes. Give a block size from 1 byte to the size of the disk.");
    return Refuse(StartResult::NoBlockSize, "No block size can be formed: the block count is " +
                                                edit1Text + ". Give a block count of at least 1.");
  }

  plan_ = SpeedRunPlan{};
  plan_.path = path;
  plan_.diskSize = size;
  plan_.startPos = 0;
  plan_.endPos = size - 1;
  plan_.minimalTime = minimalTime;

  range_.Prepare(size);
  rangeDialog_.ShowModal(range_);
  if (!range_.RangeAccepted) return StartResult::RangeCancelled;
  plan_.startPos = range_.RangeStart;
  plan_.endPos = range_.RangeEnd;

  SetLabel(SpeedLabel::Label5, "From  " + NumberText(static_cast<double>(plan_.startPos), 13, 0));
  SetLabel(SpeedLabel::Label6, "To    " + NumberText(static_cast<double>(plan_.endPos), 13, 0));
  SetLabel(SpeedLabel::DiskSz, NumberText(static_cast<double>(size) / 1048576.0, 13, 3) + " Mb");

  nearErrors_.store(0);
  farErrors_.store(0);

  const std::int64_t span = plan_.endPos - plan_.startPos;
  const std::uint32_t sectors = BlockSectors(span, count, s.CheckBox2);
  if (sectors == 0) {
    const std::string whole = std::to_string(static_cast<std::uint64_t>(span) >> 9);
    if (s.BlockSizeFlg)
      return Refuse(StartResult::NoBlockSize,
                    "No block size can be formed: a block size of " + edit1Text + " bytes gives " +
                        std::to_string(count) + " blocks on the whole disk, more than the " +
                        whole +
                        " whole sectors of the range. Choose a larger block size or a longer "
                        "range, or check \"Bloksize 2**x\".");
    return Refuse(StartResult::NoBlockSize,
                  "No block size can be formed: " + std::to_string(count) +
                      " blocks are more than the " + whole +
                      " whole sectors of the range. Choose fewer blocks or a longer range, or "
                      "check \"Bloksize 2**x\".");
  }
  plan_.count = count;
  plan_.blockBytes = sectors * 512u;
  SetLabel(SpeedLabel::Label4,
           "BlokSize 512*" + std::to_string(sectors) + "=" + GroupedNumber(plan_.blockBytes));
  SetLabel(SpeedLabel::Label7, "Bloks " + std::to_string(span / plan_.blockBytes));

  reportDisk_ = DiskNameOf(s);
  disk.length = size;
  disk_ = std::move(disk);
  lease_ = std::move(lease);
  busy_.store(true);
  view_.SetRunning(true);
  speedRunning_.store(true);
  runRequested_.store(true);
  worker_->Wake();
  return StartResult::Started;
}

void SpeedTest::Timer1Timer() {
  if (ChartDirty.exchange(false)) view_.RefreshChart();
  if (ShowErrorsList.exchange(false)) view_.ShowErrorsList();
  if (ErrorsChanged.exchange(false)) {
    SetLabel(SpeedLabel::Label11, ErrorsText(farErrors_.load()));
    SetLabel(SpeedLabel::Label3, ErrorsText(nearErrors_.load()));
  }
  if (RepaintForm.exchange(false)) view_.RepaintForm();
  if (LabelsDirty.exchange(false)) view_.RepaintLabels();
}

std::array<std::string, 10> SpeedTest::ReportLabels(const SpeedSettings& current) const {
  std::array<std::string, 10> q;
  q[1] = Label(SpeedLabel::Label4);
  q[2] = Label(SpeedLabel::Label7);
  q[3] = Label(SpeedLabel::Label3);
  q[4] = "Disk Size " + Label(SpeedLabel::DiskSz);
  q[5] = "Minimal time " + current.Edit2 + " ms";
  q[6] = Label(SpeedLabel::Label5);
  q[7] = Label(SpeedLabel::Label6);
  q[8] = "Disk " + (reportDisk_.empty() ? DiskNameOf(current) : reportDisk_) + ": ";
  q[9] = Label(SpeedLabel::QRLabel9);
  return q;
}

// ---------------------------------------------------------------------------
// The worker.

void TDiskTest::Synchronize(const std::function<void()>& step) {
  // At the end of the program the main thread no longer serves steps.
  if (Terminated()) return;
  owner_.main_.Synchronize([&] {
    if (!Terminated()) step();
  });
}

void TDiskTest::Execute() {
  while (!Terminated()) {
    if (owner_.runRequested_.exchange(false)) {
      SpeedRun();
      owner_.disk_.handle.Reset();
      Synchronize([this] { RunFinished(); });
    } else {
      WaitForWake();
    }
  }
}

void TDiskTest::RunFinished() {
  owner_.lastStats_ = stats_;
  owner_.lease_.Release();
  owner_.busy_.store(false);
  owner_.view_.SetRunning(false);
}

void TDiskTest::ReadError(std::int64_t pos, std::uint32_t chunk, bool far, std::uint32_t code) {
  SpeedTest& o = owner_;
  (far ? o.farErrors_ : o.nearErrors_).fetch_add(1);
  const double size = static_cast<double>(o.plan_.diskSize);
  const std::string line = std::to_string(o.nearErrors_.load() + o.farErrors_.load()) + " at " +
                           NumberText(static_cast<double>(pos) * 100.0 / size, 5, 1) + " % " +
                           NumberText(static_cast<double>(pos), 14, 0) + " (" +
                           NumberText(static_cast<double>(pos) / 512.0, 14, 0) + ") " + " size " +
                           GroupedNumber(chunk) + " (" + GroupedNumber(chunk / 512) + ") " +
                           SystemErrorText(code);
  Synchronize([&] { o.errors_.AppendLine(line); });
  o.ErrorsChanged.store(true);
  if (o.errMsgOn_.load()) ErrorMessage("(read error)", code);
}

void TDiskTest::SpeedRun() {
  SpeedTest& o = owner_;
  const SpeedRunPlan& plan = o.plan_;
  Platform& sys = Sys();
  const Handle h = o.disk_.handle.Get();
  const std::int64_t frequency = o.perfFrequency_;
  const bool alternate = o.alternateOrder_;
  const std::int64_t startPos = plan.startPos;
  const std::int64_t endPos = plan.endPos;
  const std::int64_t blockBytes = plan.blockBytes;

  // The timed reads complete on the processor that issues them.
  const ProcessorHold hold(sys);

  stats_ = SpeedRunStats{};
  o.nearErrors_.store(0);
  o.farErrors_.store(0);
  double lastPct = 0;
  if (!o.speedRunning_.load()) {
    stats_.stopped = true;
    return;
  }
  const std::uint32_t runTick = sys.TickCount();
  const std::int64_t runCount = sys.PerfCounter();
  auto finishStats = [&] {
    const std::int64_t runEnd = sys.PerfCounter();
    stats_.runTimeUs = frequency ? CountsToMicroseconds(runEnd - runCount, frequency)
                                 : static_cast<std::int64_t>(sys.TickCount() - runTick) * 1000;
    stats_.nearErrors = o.nearErrors_.load();
    stats_.farErrors = o.farErrors_.load();
  };

  std::int64_t curPos = startPos;
  // The length of the block at a near position: a whole block, or what is
  // left of the range.
  auto lengthAt = [&](std::int64_t pos) {
    return std::max<std::int64_t>(0, std::min<std::int64_t>(blockBytes, endPos - pos + 1));
  };
  // In alternating order cycle k reads the block at StartPos + k*B and the
  // block that ends k*B before the end of the range, so the far reads walk
  // the range backwards and end exactly at StartPos.
  auto farStartAt = [&](std::int64_t pos) { return endPos + 1 - (pos - startPos) - lengthAt(pos); };

  while (curPos < endPos) {
    const std::int64_t len = lengthAt(curPos);
    std::int64_t farPos = farStartAt(curPos);
    const std::uint32_t cycleTick = sys.TickCount();
    const std::int64_t startCount = sys.PerfCounter();
    std::int64_t remaining = len;
    while (remaining > 0) {
      if (!o.speedRunning_.load()) {
        o.LabelsDirty.store(true);
        o.RepaintForm.store(true);
        o.ChartDirty.store(true);
        stats_.stopped = true;
        finishStats();
        return;
      }
      const auto chunk = static_cast<std::uint32_t>(std::min<std::int64_t>(remaining, kMaxRead));
      const std::int64_t nearAt = curPos;
      curPos += chunk;
      const std::int64_t farAt = farPos;
      farPos += chunk;
      remaining -= chunk;
      std::uint32_t done = 0;
      if (alternate && !sys.ReadAt(h, farAt, ReadBuffer, chunk, &done))
        ReadError(farAt, chunk, true, Platform::LastError());
      if (!sys.ReadAt(h, nearAt, ReadBuffer, chunk, &done))
        ReadError(nearAt, chunk, false, Platform::LastError());
    }
    // The counter is read first: the block's time ends with its last read.
    const std::int64_t endCount = sys.PerfCounter();
    const std::uint32_t endTick = sys.TickCount();
    const std::int64_t us = frequency ? CountsToMicroseconds(endCount - startCount, frequency) : 0;
    const std::uint32_t ticks = endTick - cycleTick;
    // Without a usable counter, blocks at or under the minimal time are too
    // short to time with the tick count.
    if ((frequency == 0 || us <= 0) && static_cast<std::int64_t>(ticks) <= plan.minimalTime)
      continue;
    const std::int32_t time =
        frequency ? static_cast<std::int32_t>(us) : static_cast<std::int32_t>(ticks * 1000u);
    // A block without a measurable time has no speed.
    if (time <= 0) continue;

    const double size = static_cast<double>(plan.diskSize);
    const double pct = std::trunc(static_cast<double>(curPos) / size * 10000.0) / 100.0;
    const double ps = o.percentMode_ ? pct : static_cast<double>(curPos) / 1048576.0;
    double speed = std::trunc(static_cast<double>(len) * 1000000.0 / time);
    if (alternate) speed *= 2;

    stats_.blocks += 1;
    stats_.bytes += alternate ? 2 * len : len;
    stats_.blockTimeUs += time;
    if (stats_.blocks == 1 || speed < stats_.minSpeed) stats_.minSpeed = speed;
    if (speed > stats_.maxSpeed) stats_.maxSpeed = speed;

    // The positions of the next cycle.
    std::string address;
    if (alternate) {
      address = "Addr. " + NumberText(static_cast<double>(curPos), 13, 0) + "<->" +
                NumberText(static_cast<double>(std::max(farStartAt(curPos), startPos)), 13, 0);
    } else {
      address = "Cur.addr. " + NumberText(static_cast<double>(curPos), 13, 0);
    }
    const std::string progress =
        o.percentMode_ ? NumberText(ps, 4, 1) + "%" : NumberText(ps, 8, 1) + "Mb";
    const SpeedPoint point{time, ps, speed};
    const bool realTime = o.realTime_.load();
    std::string timeText;
    if (realTime) {
      const std::int64_t elapsed = (sys.TickCount() - runTick) / 1000;
      // After the last block nothing is left, not a negative time.
      const std::int64_t left =
          std::max<std::int64_t>(0, elapsed * (endPos - curPos) / (curPos - startPos));
      timeText = "Time " + DurationText(ClampSeconds(elapsed)) + " (" +
                 DurationText(ClampSeconds(left)) + ")";
    }
    // The block's window updates in one hand-over, in their fixed order.
    Synchronize([&] {
      o.SetLabel(SpeedLabel::Label10, address);
      o.SetLabel(SpeedLabel::Label2, progress);
      o.points_.Append(point, curPos);
      if (realTime) o.SetLabel(SpeedLabel::ElTime, timeText);
    });
    if (realTime) {
      o.LabelsDirty.store(true);
      if (static_cast<std::int64_t>(pct) != static_cast<std::int64_t>(lastPct)) {
        o.ChartDirty.store(true);
        o.RepaintForm.store(true);
        lastPct = pct;
      }
    }
  }
  o.ChartDirty.store(true);
  if (o.nearErrors_.load() + o.farErrors_.load() > 0) o.ShowErrorsList.store(true);
  o.speedRunning_.store(false);
  finishStats();
}

}  // namespace dt
