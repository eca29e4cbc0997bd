#include "surface/surface_engine.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "base/text.h"

namespace dt::surface {

namespace {

// The one transfer buffer of the surface test. Aligned to 4096 bytes so that
// an uncached device handle takes it as it is, without a bounce copy.
alignas(4096) std::uint8_t g_transferBuffer[kTransferBytes];

}  // namespace

std::uint8_t* TDiskTest::TransferBuffer() {
  return g_transferBuffer;
}

// ---------------------------------------------------------------------------
// The shared state.

SurfaceState::SurfaceState() = default;

void AccessGrades::Clear(std::size_t bands) {
  Counts.assign(bands, 0);
  Slowest = {-1, -1, 0};
  SlowRanges.clear();
  SlowRangesCut = false;
}

std::vector<SlowRange> AccessGrades::MergedSlowRanges() const {
  std::vector<SlowRange> list = SlowRanges;
  std::sort(list.begin(), list.end(),
            [](const SlowRange& a, const SlowRange& b) { return a.First < b.First; });
  std::vector<SlowRange> out;
  for (const SlowRange& r : list) {
    if (!out.empty() && r.First <= out.back().Last + 1) {
      out.back().Last = std::max(out.back().Last, r.Last);
      out.back().Ms = std::max(out.back().Ms, r.Ms);
    } else {
      out.push_back(r);
    }
  }
  return out;
}

bool ValidBandLimits(const std::vector<double>& limits) {
  if (limits.empty() || limits.size() > kMaxBandLimits) return false;
  for (std::size_t i = 0; i < limits.size(); ++i) {
    if (!(limits[i] > 0) || limits[i] > 3600000) return false;
    if (i > 0 && !(limits[i] > limits[i - 1])) return false;
  }
  return true;
}

std::int32_t SurfaceState::BandOf(double ms) const {
  std::int32_t band = 0;
  while (static_cast<std::size_t>(band) < BandLimitsMs.size() &&
         ms >= BandLimitsMs[static_cast<std::size_t>(band)])
    ++band;
  return band;
}

void SurfaceState::DivideDisk(std::int32_t n) {
  const std::int64_t blocks = DiskBlocks.load();
  const std::int32_t area = CellArea.load();
  std::int64_t perCell = 1;
  std::int64_t full = 0;
  std::int64_t rest = 0;
  if (n > 0 && blocks > 0) {
    if (blocks % n == 0) {
      perCell = blocks / n;
      full = n;
    } else {
      perCell = n > blocks ? 1 : blocks / n + 1;
      full = blocks / perCell;
      rest = blocks - perCell * full;
    }
  }
  // An empty disk (no whole block) leaves every cell beyond its end.
  BlocksPerCell.store(perCell);
  std::int32_t lastRow = -1;
  std::int32_t lastColumn = -1;
  std::int64_t cursor = 0;
  std::int32_t index = 0;
  for (std::int32_t row = 0; row < MapRows; ++row) {
    for (std::int32_t column = 0; column < MapColumns && index < n; ++column, ++index) {
      TMapCell& c = Cell(row, column);
      c.Bad = false;
      c.BadBlocks.store(0);
      c.BadPixels = 0;
      c.DonePixels = 0;
      c.SlowestBand.store(-1);
      c.SlowestUs.store(-1);
      c.Left = (GapX + CellWidth) * column + GapX;
      c.Top = (GapY + CellHeight) * row + GapY;
      if (full > 0) {
        c.FirstBlock = cursor;
        c.LastBlock = cursor + perCell - 1;
        cursor += perCell;
        c.OutsidePixels = 0;
        --full;
        lastRow = row;
        lastColumn = column;
      } else if (rest > 0) {
        c.FirstBlock = cursor;
        c.LastBlock = cursor + rest - 1;
        std::int32_t outside = area - static_cast<std::int32_t>(rest * area / perCell);
        // The last disk cell is never all blue, however small its share.
        if (outside == area) outside = area - 1;
        c.OutsidePixels = outside;
        cursor += rest;
        rest = 0;
        lastRow = row;
        lastColumn = column;
      } else {
        c.FirstBlock = -1;
        c.LastBlock = -1;
        c.OutsidePixels = area;
      }
    }
  }
  LastDiskRow.store(lastRow);
  LastDiskColumn.store(lastColumn);
}

void SurfaceState::SetTargets() {
  const std::int64_t t = DiskBlocks.load() * RetryCount.load();
  ReadTarget.store(t);
  WriteTarget.store(t);
}

void SurfaceState::ClearCounters() {
  LoggedErrors.store(0);
  ReadErrors.store(0);
  WriteErrors.store(0);
  CompareErrors.store(0);
  ReadDone.store(0);
  WriteDone.store(0);
  CompareDone.store(0);
  CurrentCycle.store(0);
}

std::vector<std::int64_t> SurfaceState::BadBlockList() const {
  std::vector<std::int64_t> list = FailedBlocks;
  std::sort(list.begin(), list.end());
  list.erase(std::unique(list.begin(), list.end()), list.end());
  return list;
}

// ---------------------------------------------------------------------------
// Status texts.

std::string DumpRefusal(const std::string& dumpName, const std::string& diskPath) {
  std::string refusal = DumpTargetRefusal(dumpName);
  std::error_code ec;
  if (refusal.empty() && !diskPath.empty() && std::filesystem::equivalent(dumpName, diskPath, ec))
    refusal = dumpName + " is the disk under test";
  return refusal;
}

std::string BadCountText(std::int64_t errors, std::int64_t done) {
  if (done == 0) return "0 (00.0000%)";
  std::string scaled;
  if (done < 10000LL) {
    scaled = std::to_string(done);
  } else if (done < 10000000LL) {
    scaled = std::to_string(done / 1000LL) + "K";
  } else if (done < 10000000000LL) {
    scaled = std::to_string(done / 1000000LL) + "M";
  } else if (done < 10000000000000LL) {
    scaled = std::to_string(done / 1000000000LL) + "G";
  } else {
    scaled = std::to_string(done / 1000000000000LL) + "T";
  }
  const double share = static_cast<double>(errors) * 100.0 / static_cast<double>(done);
  return std::to_string(errors) + " (" + NumberText(share, 9, 4) + "% of " + scaled + ")";
}

StatusTexts ComputeStatus(const SurfaceState& s, std::uint32_t now) {
  StatusTexts t;
  t.BadBlocksRead = BadCountText(s.ReadErrors.load(), s.ReadDone.load());
  t.BadBlocksWrite = BadCountText(s.WriteErrors.load(), s.WriteDone.load());
  t.BadBlocksCompare = BadCountText(s.CompareErrors.load(), s.CompareDone.load());
  const std::int64_t elapsed = (now - s.StartTick.load()) / 1000u;
  std::int64_t done = 0;
  std::int64_t target = 0;
  if (s.TestMode.load() == kModeRead) {
    done = s.ReadDone.load();
    target = s.ReadTarget.load();
  } else {
    done = s.WriteDone.load();
    target = s.WriteTarget.load();
  }
  const std::int64_t remaining = done > 0 ? elapsed * (target - done) / done : 0;
  t.WorkTime = "Time " + DurationText(static_cast<std::int32_t>(elapsed)) + " (" +
               DurationText(static_cast<std::int32_t>(remaining)) + ")";
  t.CurTestCycle = "(" + std::to_string(s.CurrentCycle.load()) + ")";
  return t;
}

bool ShowStatus(SurfaceState& s, StatusTexts* out) {
  const std::uint32_t now = Sys().TickCount();
  if (now - s.LastStatusTick.load() <= 1000u) return false;
  *out = ComputeStatus(s, now);
  s.LastStatusTick.store(now);
  return true;
}

// ---------------------------------------------------------------------------
// Start.

void StartCounters(SurfaceState& s) {
  const std::uint32_t now = Sys().TickCount();
  s.StartTick.store(now);
  s.LastStatusTick.store(now);
  s.ReadDone.store(0);
  s.WriteDone.store(0);
  s.CompareDone.store(0);
  s.LoggedErrors.store(0);
  s.ReadErrors.store(0);
  s.WriteErrors.store(0);
  s.CompareErrors.store(0);
  s.FailedBlocks.clear();
  s.ReadGrades.Clear(s.BandLimitsMs.size() + 1);
  s.WriteGrades.Clear(s.BandLimitsMs.size() + 1);
}

void StartRunning(SurfaceState& s, TDiskTest& worker, bool dumpToFile) {
  s.CurrentCycle.store(1);
  s.SurfaceRunning.store(true);
  s.PatternByte.store(0);
  s.DumpToFile.store(dumpToFile);
  worker.RequestRun();
}

// ---------------------------------------------------------------------------
// The worker.

TDiskTest::TDiskTest(SurfaceState& state, MainThread& main, SurfaceSteps& steps)
    : s_(state), main_(main), steps_(steps) {}

TDiskTest::~TDiskTest() {
  s_.SurfaceRunning.store(false);
  Terminate();
}

void TDiskTest::RequestRun() {
  requested_.store(true);
  Wake();
}

void TDiskTest::Execute() {
  // Every Start makes one run, and so one TestFinished, even when Stop
  // comes before the worker has woken.
  while (!Terminated()) {
    if (!requested_.exchange(false)) {
      WaitForWake();
      continue;
    }
    PerformRun();
  }
}

void TDiskTest::PerformRun() {
  busy_.store(true);
  s_.DumpFailed.store(false);
  s_.DumpBytes.store(0);
  if (s_.DumpToFile.load()) {
    // The test runs without its dump when the dump cannot be made; an error
    // line says why. A device, a directory or the disk itself is never
    // opened as the dump file.
    const std::string refusal = DumpRefusal(s_.DumpName, s_.DiskPath);
    if (!refusal.empty()) {
      DumpError("Dump file not written: " + refusal);
    } else {
      const int fd = Sys().DumpCreate(s_.DumpName);
      if (fd == -1)
        DumpError("Cannot create dump file " + s_.DumpName +
                  SystemErrorText(Platform::LastError()));
      s_.DumpHandle.store(fd);
    }
  }
  PrepareGrading();
  {
    // The reads and writes complete on the processor that issues them.
    const ProcessorHold hold(Sys());
    RunCycles();
  }
  const int fd = s_.DumpHandle.exchange(-1);
  if (fd != -1 && !Sys().DumpClose(fd))
    DumpError("Dump file " + s_.DumpName + " was not written in full" +
              SystemErrorText(Platform::LastError()));
  busy_.store(false);
  main_.Synchronize([this] { steps_.TestFinished(); });
}

void TDiskTest::RunCycles() {
  while (s_.CurrentCycle.load() <= s_.RetryCount.load() && s_.SurfaceRunning.load()) {
    TestPass();
    s_.CurrentCycle.fetch_add(1);
    s_.PatternByte.store(static_cast<std::uint8_t>(s_.PatternByte.load() + 1));
  }
  s_.SurfaceRunning.store(false);
}

void TDiskTest::TestPass() {
  const std::int32_t area = s_.CellArea.load();
  for (std::int32_t row = 0; row < s_.MapRows; ++row) {
    for (std::int32_t column = 0; column < s_.MapColumns; ++column) {
      TMapCell& cell = s_.Cell(row, column);
      if (cell.OutsidePixels == area) continue;
      s_.CurrentRow.store(row);
      s_.CurrentColumn.store(column);
      cell.BadBlocks.store(0);
      cell.BadPixels = 0;
      cell.DonePixels = 0;
      main_.Synchronize([this] { steps_.ShowCell(); });
      switch (s_.TestMode.load()) {
        case kModeRead:
        case kModeReadWrite:
          ReadPass(cell);
          break;
        case kModeWrite:
          WritePass(cell);
          break;
        default:
          break;
      }
      main_.Synchronize([this] { steps_.ShowCell(); });
      main_.Synchronize([this] { steps_.ShowStatus(); });
      if (!s_.SurfaceRunning.load()) return;
    }
  }
}

std::int32_t TDiskTest::BlockBytes() const {
  return s_.SectorsPerBlock.load() * 512;
}

void TDiskTest::ReadPass(TMapCell& cell) {
  const std::int32_t bytes = BlockBytes();
  const std::int64_t chunk = static_cast<std::int64_t>(kTransferBytes) / bytes;
  const bool writeBack = s_.TestMode.load() == kModeReadWrite;
  std::uint8_t* buf = TransferBuffer();
  gradeCell_ = &cell;
  std::int64_t cursor = cell.FirstBlock;
  while (cursor <= cell.LastBlock) {
    if (!s_.SurfaceRunning.load()) return;
    const auto n = static_cast<std::int32_t>(std::min(chunk, cell.LastBlock - cursor + 1));
    if (ReadBlocks(n, cursor)) {
      s_.ReadDone.fetch_add(n);
      if (writeBack) {
        if (!WriteBlocks(n, cursor)) {
          if (n == 1) {
            cell.BadBlocks.fetch_add(1);
          } else {
            cell.Bad = true;
            for (std::int32_t j = 0; j < n; ++j) {
              if (!s_.SurfaceRunning.load()) return;
              if (j > 0) std::memmove(buf, buf + static_cast<std::size_t>(j) * bytes, bytes);
              if (!WriteBlocks(1, cursor + j)) cell.BadBlocks.fetch_add(1);
            }
          }
        }
        s_.WriteDone.fetch_add(n);
      }
      cursor += n;
      continue;
    }
    cell.Bad = true;
    if (n == 1) {
      if (writeBack) {
        // The block could not be read: zeros go back, never what the buffer
        // holds from another block. The write's result is not looked at.
        std::memset(buf, 0, static_cast<std::size_t>(bytes));
        WriteBlocks(1, cursor);
        s_.WriteDone.fetch_add(1);
      }
      s_.ReadDone.fetch_add(1);
      cell.BadBlocks.fetch_add(1);
      cursor += 1;
      continue;
    }
    for (std::int32_t j = 0; j < n; ++j) {
      if (!s_.SurfaceRunning.load()) return;
      if (ReadBlocks(1, cursor + j)) {
        if (writeBack && !WriteBlocks(1, cursor + j)) cell.BadBlocks.fetch_add(1);
      } else {
        cell.BadBlocks.fetch_add(1);
        if (writeBack) {
          std::memset(buf, 0, static_cast<std::size_t>(bytes));
          WriteBlocks(1, cursor + j);
        }
      }
      s_.ReadDone.fetch_add(1);
      if (writeBack) s_.WriteDone.fetch_add(1);
    }
    cursor += n;
  }
  if (cell.BadBlocks.load() > 0) cell.Bad = true;
  CellResult(cell);
}

void TDiskTest::WritePass(TMapCell& cell) {
  FillPattern();
  const std::int64_t chunk = static_cast<std::int64_t>(kTransferBytes) / BlockBytes();
  gradeCell_ = &cell;
  std::int64_t cursor = cell.FirstBlock;
  while (cursor <= cell.LastBlock) {
    if (!s_.SurfaceRunning.load()) return;
    const auto n = static_cast<std::int32_t>(std::min(chunk, cell.LastBlock - cursor + 1));
    if (WriteBlocks(n, cursor)) {
      s_.WriteDone.fetch_add(n);
    } else if (n == 1) {
      cell.BadBlocks.fetch_add(1);
      s_.WriteDone.fetch_add(1);
      cell.Bad = true;
    } else {
      cell.Bad = true;
      for (std::int32_t j = 0; j < n; ++j) {
        if (!s_.SurfaceRunning.load()) return;
        if (!WriteBlocks(1, cursor + j)) cell.BadBlocks.fetch_add(1);
        s_.WriteDone.fetch_add(1);
      }
    }
    cursor += n;
  }
  CellResult(cell);
}

void TDiskTest::CellResult(TMapCell& cell) {
  const std::int32_t area = s_.CellArea.load();
  if (cell.Bad) {
    const std::int64_t perCell = std::max<std::int64_t>(1, s_.BlocksPerCell.load());
    std::int64_t bad = static_cast<std::int64_t>(area) * cell.BadBlocks.load() / perCell;
    if (bad == 0) bad = 1;
    cell.BadPixels = static_cast<std::int32_t>(std::min<std::int64_t>(bad, area));
  }
  cell.DonePixels = std::max(0, area - cell.BadPixels - cell.OutsidePixels);
}

void TDiskTest::PrepareGrading() {
  perfFrequency_ = Sys().PerfFrequency();
  const auto ticks = [this](double ms) {
    return static_cast<std::int64_t>(ms * static_cast<double>(perfFrequency_) / 1000.0 + 0.5);
  };
  limitTicks_.clear();
  for (double ms : s_.BandLimitsMs) limitTicks_.push_back(ticks(ms));
  slowTicks_ = ticks(s_.SlowLimitMs);
  for (AccessGrades* g : {&s_.ReadGrades, &s_.WriteGrades})
    if (g->Counts.size() != limitTicks_.size() + 1) g->Clear(limitTicks_.size() + 1);
}

void TDiskTest::Grade(AccessGrades& g, std::int32_t n, std::int64_t first, std::int64_t ticks) {
  // Without a performance counter there is no time to grade.
  if (perfFrequency_ <= 0) return;
  std::size_t band = 0;
  while (band < limitTicks_.size() && ticks >= limitTicks_[band]) ++band;
  ++g.Counts[band];
  const double ms = static_cast<double>(ticks) * 1000.0 / static_cast<double>(perfFrequency_);
  const std::int64_t last = first + n - 1;
  if (g.Slowest.First < 0 || ms > g.Slowest.Ms) g.Slowest = {first, last, ms};
  if (ticks >= slowTicks_) {
    if (!g.SlowRanges.empty() && g.SlowRanges.back().Last + 1 == first) {
      g.SlowRanges.back().Last = last;
      g.SlowRanges.back().Ms = std::max(g.SlowRanges.back().Ms, ms);
    } else if (g.SlowRanges.size() < kMaxSlowRanges) {
      g.SlowRanges.push_back({first, last, ms});
    } else {
      g.SlowRangesCut = true;
    }
  }
  if (gradeCell_) {
    const auto b = static_cast<std::int32_t>(band);
    if (b > gradeCell_->SlowestBand.load()) gradeCell_->SlowestBand.store(b);
    const auto us = static_cast<std::int64_t>(ms * 1000.0);
    if (us > gradeCell_->SlowestUs.load()) gradeCell_->SlowestUs.store(us);
  }
}

void TDiskTest::FillPattern() {
  std::memset(TransferBuffer(), s_.PatternByte.load(), kTransferBytes);
}

void TDiskTest::LogError(const char* what, std::int64_t block, std::uint32_t code) {
  if (!s_.LogErrorsOn.load()) return;
  if (s_.FirstNOnly.load() && s_.LoggedErrors.load() >= s_.ErrorsLimit.load()) return;
  const std::int32_t number = s_.LoggedErrors.fetch_add(1) + 1;
  ErrorLine = std::to_string(number) + what + GroupedNumber(block) + SystemErrorText(code);
  main_.Synchronize([this] { steps_.AddErrorLine(ErrorLine); });
}

std::uint32_t TDiskTest::RequestBytes(std::int32_t n, std::int64_t first) const {
  const std::int64_t bytes = BlockBytes();
  std::int64_t size = n * bytes;
  const std::int64_t length = s_.DiskBytes.load();
  if (length >= 0) size = std::max<std::int64_t>(0, std::min(size, length - first * bytes));
  return static_cast<std::uint32_t>(size);
}

void TDiskTest::DumpError(const std::string& line) {
  s_.DumpFailed.store(true);
  ErrorLine = line;
  main_.Synchronize([this] { steps_.AddErrorLine(ErrorLine); });
}

void TDiskTest::Dump(std::uint32_t size) {
  const int fd = s_.DumpHandle.load();
  if (fd == -1) return;
  if (Sys().DumpWrite(fd, TransferBuffer(), size)) {
    s_.DumpBytes.fetch_add(size);
    return;
  }
  // No space left, or an I/O error: the dump ends here, the test goes on.
  const std::uint32_t code = Platform::LastError();
  s_.DumpHandle.store(-1);
  Sys().DumpClose(fd);
  DumpError("Dump file " + s_.DumpName + " was cut short after " +
            GroupedNumber(s_.DumpBytes.load()) + " bytes" + SystemErrorText(code));
}

bool TDiskTest::ReadBlocks(std::int32_t n, std::int64_t first) {
  const std::int64_t offset = first * BlockBytes();
  const std::uint32_t size = RequestBytes(n, first);
  std::uint32_t moved = 0;
  Platform& sys = Sys();
  const std::int64_t start = sys.PerfCounter();
  const bool ok = sys.ReadAt(s_.DiskIo.load(), offset, TransferBuffer(), size, &moved);
  const std::int64_t end = sys.PerfCounter();
  if (ok) {
    Grade(s_.ReadGrades, n, first, end - start);
    Dump(size);
    return true;
  }
  // A failing request of several blocks is retried block by block by the
  // pass; only a single block counts.
  if (n != 1) return false;
  const std::uint32_t code = Platform::LastError();
  s_.ReadErrors.fetch_add(1);
  s_.FailedBlocks.push_back(first);
  LogError(" read error at ", first, code);
  if (s_.DumpHandle.load() != -1) {
    std::memset(TransferBuffer(), 0, size);
    Dump(size);
  }
  return false;
}

bool TDiskTest::WriteBlocks(std::int32_t n, std::int64_t first) {
  const std::int64_t offset = first * BlockBytes();
  const std::uint32_t size = RequestBytes(n, first);
  std::uint32_t moved = 0;
  Platform& sys = Sys();
  const std::int64_t start = sys.PerfCounter();
  const bool ok = sys.WriteAt(s_.DiskIo.load(), offset, TransferBuffer(), size, &moved);
  const std::int64_t end = sys.PerfCounter();
  if (ok) {
    Grade(s_.WriteGrades, n, first, end - start);
    return true;
  }
  if (n != 1) return false;
  const std::uint32_t code = Platform::LastError();
  s_.WriteErrors.fetch_add(1);
  s_.FailedBlocks.push_back(first);
  LogError(" write error at ", first, code);
  return false;
}

}  // namespace dt::surface
