// The surface test engine on the simulated machine: division of the disk,
// read, write and read-and-write-back passes, counting, logging, the dump.
#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "base/text.h"
#include "surface/surface_engine.h"
#include "surface_rig.h"

namespace dt::surface {
namespace {

using test::Engine;
using test::Machine;
using test::OneDisk;

// ---------------------------------------------------------------------------
// DivideDisk

struct Division {
  SurfaceState s;
  Division(std::int64_t blocks, std::int32_t rows, std::int32_t columns) {
    s.DiskBlocks.store(blocks);
    s.MapRows = rows;
    s.MapColumns = columns;
    s.DivideDisk(rows * columns);
  }
  std::int64_t CountCells(const std::function<bool(const TMapCell&)>& pred) {
    std::int64_t n = 0;
    for (int r = 0; r < s.MapRows; ++r)
      for (int c = 0; c < s.MapColumns; ++c) n += pred(s.Cell(r, c)) ? 1 : 0;
    return n;
  }
};

TEST(DivideDisk, MultipleOfTheCellCountFillsEveryCellWithoutBlue) {
  Division d(6000, 3, 4);
  EXPECT_EQ(d.s.BlocksPerCell.load(), 500);
  EXPECT_EQ(d.CountCells([](const TMapCell& c) { return c.OutsidePixels != 0; }), 0);
  EXPECT_EQ(d.s.Cell(2, 3).FirstBlock, 5500);
  EXPECT_EQ(d.s.Cell(2, 3).LastBlock, 5999);
  EXPECT_EQ(d.s.LastDiskRow.load(), 2);
  EXPECT_EQ(d.s.LastDiskColumn.load(), 3);
  // Cells lie one after another on the disk and in the image.
  EXPECT_EQ(d.s.Cell(1, 0).FirstBlock, d.s.Cell(0, 3).LastBlock + 1);
  EXPECT_EQ(d.s.Cell(1, 2).Left, 23);
  EXPECT_EQ(d.s.Cell(1, 2).Top, 12);
}

TEST(DivideDisk, FewerBlocksThanCellsGiveOneBlockEachAndBlueTheRest) {
  Division d(5, 2, 4);
  EXPECT_EQ(d.s.BlocksPerCell.load(), 1);
  for (int c = 0; c < 4; ++c) EXPECT_EQ(d.s.Cell(0, c).FirstBlock, c);
  EXPECT_EQ(d.s.Cell(1, 0).FirstBlock, 4);
  EXPECT_EQ(d.s.Cell(1, 0).LastBlock, 4);
  EXPECT_EQ(d.s.Cell(1, 0).OutsidePixels, 0);
  for (int c = 1; c < 4; ++c) {
    EXPECT_EQ(d.s.Cell(1, c).FirstBlock, -1);
    EXPECT_EQ(d.s.Cell(1, c).OutsidePixels, 100);
  }
  EXPECT_EQ(d.s.LastDiskRow.load(), 1);
  EXPECT_EQ(d.s.LastDiskColumn.load(), 0);
}

TEST(DivideDisk, AMillionBlocksOnTheLargestMap) {
  Division d(1000000, 300, 400);
  EXPECT_EQ(d.s.BlocksPerCell.load(), 9);
  EXPECT_EQ(d.CountCells([](const TMapCell& c) { return c.OutsidePixels == 0; }), 111111);
  EXPECT_EQ(d.CountCells([](const TMapCell& c) { return c.OutsidePixels == 100; }), 8888);
  // Cell 111111 (row 277, column 311) holds the last block alone.
  const TMapCell& partial = d.s.Cell(277, 311);
  EXPECT_EQ(partial.FirstBlock, 999999);
  EXPECT_EQ(partial.LastBlock, 999999);
  EXPECT_EQ(partial.OutsidePixels, 89);
  EXPECT_EQ(d.s.LastDiskRow.load(), 277);
  EXPECT_EQ(d.s.LastDiskColumn.load(), 311);
}

TEST(DivideDisk, ThePartialCellIsNeverAllBlue) {
  // 101 blocks per cell on 199 cells, 1 block left over for the last cell:
  // its share rounds to no pixel.
  Division d(20100, 10, 20);
  EXPECT_EQ(d.s.BlocksPerCell.load(), 101);
  EXPECT_EQ(d.s.Cell(9, 19).FirstBlock, 20099);
  EXPECT_EQ(d.s.Cell(9, 19).LastBlock, 20099);
  EXPECT_EQ(d.s.Cell(9, 19).OutsidePixels, 99);
}

TEST(DivideDisk, ADiskWithoutBlocksHasNoDiskCell) {
  Division d(0, 2, 2);
  EXPECT_EQ(d.CountCells([](const TMapCell& c) { return c.OutsidePixels == 100; }), 4);
  EXPECT_EQ(d.s.LastDiskRow.load(), -1);
}

// ---------------------------------------------------------------------------
// Texts

TEST(BadCountText, ScalesTheDoneCount) {
  EXPECT_EQ(BadCountText(0, 0), "0 (00.0000%)");
  EXPECT_EQ(BadCountText(3, 123456), "3 (0.0024% of 123K)");
  EXPECT_EQ(BadCountText(0, 9999), "0 (0.0000% of 9999)");
  EXPECT_EQ(BadCountText(1, 10000), "1 (0.0100% of 10K)");
  EXPECT_EQ(BadCountText(1, 9999999), "1 (0.0000% of 9999K)");
  EXPECT_EQ(BadCountText(5, 10000000), "5 (0.0001% of 10M)");
  EXPECT_EQ(BadCountText(0, 10000000000LL), "0 (0.0000% of 10G)");
  EXPECT_EQ(BadCountText(0, 10000000000000LL), "0 (0.0000% of 10T)");
  EXPECT_EQ(BadCountText(2, 2), "2 (100.0000% of 2)");
}

TEST(ShowStatus, RefreshesAtMostOnceASecondWithElapsedAndRemainingTime) {
  Machine m(OneDisk(1024));
  SurfaceState s;
  s.TestMode.store(kModeRead);
  s.StartTick.store(m.sim().TickCount());
  s.LastStatusTick.store(s.StartTick.load());
  s.ReadTarget.store(4000);
  s.ReadDone.store(1000);
  s.ReadErrors.store(3);
  s.CurrentCycle.store(2);
  StatusTexts t;
  m.sim().AdvanceClock(1000 * 1000000LL);  // exactly one second: not yet
  EXPECT_FALSE(ShowStatus(s, &t));
  m.sim().AdvanceClock(3601 * 1000000000LL);
  ASSERT_TRUE(ShowStatus(s, &t));
  EXPECT_EQ(t.WorkTime, "Time 01:00:02 (03:00:06)");
  EXPECT_EQ(t.CurTestCycle, "(2)");
  EXPECT_EQ(t.BadBlocksRead, "3 (0.3000% of 1000)");
  EXPECT_EQ(t.BadBlocksWrite, "0 (00.0000%)");
  EXPECT_FALSE(ShowStatus(s, &t));
  // The writing modes measure by the blocks written.
  s.TestMode.store(kModeReadWrite);
  s.WriteTarget.store(4000);
  s.WriteDone.store(2000);
  t = ComputeStatus(s, s.StartTick.load() + 90061u * 1000u);
  EXPECT_EQ(t.WorkTime, "Time 1 dey 01:01:01 (1 dey 01:01:01)");
}

// ---------------------------------------------------------------------------
// Read passes

std::int64_t Count(const std::vector<test::Request>& rs, bool write, std::uint32_t len) {
  return std::count_if(rs.begin(), rs.end(),
                       [&](const test::Request& r) { return r.write == write && r.len == len; });
}

TEST(ReadPass, AFailingRequestCountsLogsAndDumpsOnlyThroughItsSingleBlockRetries) {
  Machine m(OneDisk(1024, "[[300, 302]]"));
  Engine e(1, 4);
  e.s.DumpName = test::TempPath("rd.dat");
  e.Run(kModeRead, 1, true);

  // Four 256-block requests, the second retried block by block.
  const auto rs = m.sys().Requests();
  EXPECT_EQ(Count(rs, false, 131072), 4);
  EXPECT_EQ(Count(rs, false, 512), 256);
  EXPECT_EQ(rs.size(), 260u);

  EXPECT_EQ(e.s.ReadErrors.load(), 3);
  EXPECT_EQ(e.s.ReadDone.load(), 1024);
  EXPECT_EQ(e.s.WriteDone.load(), 0);
  EXPECT_EQ(e.s.BadBlockList(), (std::vector<std::int64_t>{300, 301, 302}));
  ASSERT_EQ(e.steps.lines.size(), 3u);
  EXPECT_EQ(e.steps.lines[0], "1 read error at 300" + SystemErrorText(kErrCrc));
  EXPECT_EQ(e.steps.lines[2], "3 read error at 302" + SystemErrorText(kErrCrc));

  // The cell with the bad blocks: marked, one red pixel (3 x 100 / 256).
  const TMapCell& bad = e.s.Cell(0, 1);
  EXPECT_TRUE(bad.Bad);
  EXPECT_EQ(bad.BadBlocks.load(), 3);
  EXPECT_EQ(bad.BadPixels, 1);
  EXPECT_EQ(bad.DonePixels, 99);
  EXPECT_FALSE(e.s.Cell(0, 0).Bad);
  EXPECT_EQ(e.s.Cell(0, 0).DonePixels, 100);

  // The dump: the disk as read, zeros in place of the unreadable blocks.
  const auto dump = test::FileBytes(e.s.DumpName);
  ASSERT_EQ(dump.size(), 1024u * 512u);
  const auto before = test::ReadDisk(0, 300 * 512);
  const auto after = test::ReadDisk(303 * 512, (1024 - 303) * 512);
  EXPECT_TRUE(std::equal(before.begin(), before.end(), dump.begin()));
  EXPECT_TRUE(std::all_of(dump.begin() + 300 * 512, dump.begin() + 303 * 512,
                          [](std::uint8_t b) { return b == 0; }));
  EXPECT_TRUE(std::equal(after.begin(), after.end(), dump.begin() + 303 * 512));
  // Steps: every cell drawn before and after, the status after each, the end.
  EXPECT_EQ(e.steps.cells, 8);
  EXPECT_EQ(e.steps.statuses, 4);
  EXPECT_EQ(e.steps.finished, 1);
  EXPECT_FALSE(e.s.SurfaceRunning.load());
}

TEST(ReadPass, ErrorsCountOnceEveryPassAndTheListOnce) {
  Machine m(OneDisk(2000, "[[7, 7], [1500, 1503]]"));
  Engine e(2, 3);
  e.Run(kModeRead, 2);
  EXPECT_EQ(e.s.ReadErrors.load(), 10);
  EXPECT_EQ(e.s.ReadDone.load(), 4000);
  EXPECT_EQ(e.s.BadBlockList(), (std::vector<std::int64_t>{7, 1500, 1501, 1502, 1503}));
  EXPECT_EQ(e.s.CurrentCycle.load(), 3);
  EXPECT_EQ(e.s.PatternByte.load(), 2);
}

TEST(ReadPass, LoggingLimits) {
  Machine m(OneDisk(6000, "[[0, 5002]]"));
  {
    Engine e(1, 1);  // default: the first 5000 errors
    e.Run(kModeRead, 1);
    EXPECT_EQ(e.s.ReadErrors.load(), 5003);
    ASSERT_EQ(e.steps.lines.size(), 5000u);
    EXPECT_EQ(e.steps.lines.back(), "5000 read error at 4,999" + SystemErrorText(kErrCrc));
    EXPECT_EQ(e.s.LoggedErrors.load(), 5000);
  }
  {
    Engine e(1, 1);
    e.s.ErrorsLimit.store(0);
    e.Run(kModeRead, 1);
    EXPECT_EQ(e.s.ReadErrors.load(), 5003);
    EXPECT_TRUE(e.steps.lines.empty());
  }
  {
    Engine e(1, 1);
    e.s.LogErrorsOn.store(false);
    e.Run(kModeRead, 1);
    EXPECT_TRUE(e.steps.lines.empty());
  }
  {
    Engine e(1, 1);
    e.s.ErrorsLimit.store(2);
    e.s.FirstNOnly.store(false);  // the limit applies only with "Log first "
    e.Run(kModeRead, 1);
    EXPECT_EQ(e.steps.lines.size(), 5003u);
  }
}

TEST(ReadPass, DumpHoldsOneImageAPassAndAWriteRunLeavesItEmpty) {
  Machine m(OneDisk(700));
  Engine e(2, 2);
  e.s.DumpName = test::TempPath("rd.dat");
  e.Run(kModeRead, 3, true);
  EXPECT_EQ(test::FileSize(e.s.DumpName), 3u * 700u * 512u);
  const auto dump = test::FileBytes(e.s.DumpName);
  EXPECT_TRUE(std::equal(dump.begin(), dump.begin() + 700 * 512, dump.begin() + 1400 * 512));
  e.Run(kModeWrite, 1, true);
  EXPECT_EQ(test::FileSize(e.s.DumpName), 0u);
  // Without "Write data" the file is not touched.
  e.Run(kModeRead, 1, false);
  EXPECT_EQ(test::FileSize(e.s.DumpName), 0u);
}

TEST(ReadPass, ADumpThatCannotBeMadeIsOneErrorLineAndTheTestGoesOn) {
  Machine m(OneDisk(64));
  Engine e(1, 1);
  e.s.DumpName = test::TempPath("no-such-dir") + "/sub/rd.dat";
  e.Run(kModeRead, 1, true);
  EXPECT_EQ(e.s.ReadDone.load(), 64);
  EXPECT_EQ(e.s.DumpHandle.load(), -1);
  EXPECT_TRUE(e.s.DumpFailed.load());
  ASSERT_EQ(e.steps.lines.size(), 1u);
  EXPECT_EQ(e.steps.lines[0].rfind("Cannot create dump file " + e.s.DumpName + " Error Code = ", 0),
            0u)
      << e.steps.lines[0];
  // A directory is refused before anything is opened.
  e.s.DumpName = test::TempPath("");
  e.Run(kModeRead, 1, true);
  ASSERT_EQ(e.steps.lines.size(), 2u);
  EXPECT_NE(e.steps.lines[1].find("is a directory, not a regular file"), std::string::npos);
}

TEST(ReadPass, ALastBlockCutShortByTheDiskLengthIsReadAsAShorterRequest) {
  Machine m(OneDisk(700));
  Engine e(2, 2);
  e.s.DiskBytes.store(700 * 512 - 300);
  e.s.DumpName = test::TempPath("rd.dat");
  e.Run(kModeRead, 2, true);
  EXPECT_EQ(e.s.ReadDone.load(), 1400);
  EXPECT_EQ(test::FileSize(e.s.DumpName), 2u * (700u * 512u - 300u));
  EXPECT_EQ(m.sys().Requests().back().len, 212u);
}

TEST(ReadPass, CdBlocksAreFourSectors) {
  Machine m(
      OneDisk(8, "[]", "[]", R"([{"name": "E", "label": "CD", "fs": "CDFS", "size": 1048576}])"));
  Engine e(1, 2, false, 4, "\\\\.\\E:");
  EXPECT_EQ(e.s.DiskBlocks.load(), 512);
  bool failed = false;
  m.sys().failRead = [&](std::int64_t off, std::uint32_t len) {
    // Block 100 (bytes 204800..206847) fails once.
    if (!failed && off <= 204800 && off + len > 204800) {
      if (len == 2048) failed = true;
      return true;
    }
    return false;
  };
  e.Run(kModeRead, 1);
  const auto rs = m.sys().Requests();
  EXPECT_EQ(Count(rs, false, 131072), 8);
  EXPECT_EQ(Count(rs, false, 2048), 64);
  EXPECT_EQ(e.s.BadBlockList(), (std::vector<std::int64_t>{100}));
  EXPECT_EQ(e.steps.lines.at(0), "1 read error at 100" + SystemErrorText(kErrCrc));
}

TEST(ReadPass, AMarkSurvivesIntoTheNextPassAndTheNextRun) {
  Machine m(OneDisk(512));
  Engine e(1, 2);
  int failures = 0;
  m.sys().failRead = [&](std::int64_t off, std::uint32_t len) {
    // Block 260 fails in the first pass only (its request and its retry).
    if (off <= 260 * 512 && off + len > 260 * 512 && failures < 2) {
      ++failures;
      return true;
    }
    return false;
  };
  e.Run(kModeRead, 2);
  const TMapCell& c = e.s.Cell(0, 1);
  EXPECT_EQ(e.s.ReadErrors.load(), 1);  // counted in the pass that failed
  EXPECT_TRUE(c.Bad);
  EXPECT_EQ(c.BadBlocks.load(), 0);  // none in the last pass
  EXPECT_EQ(c.BadPixels, 1);
  EXPECT_EQ(c.DonePixels, 99);
  e.Run(kModeRead, 1);
  EXPECT_TRUE(c.Bad);
  EXPECT_EQ(c.BadPixels, 1);
  EXPECT_EQ(e.s.ReadErrors.load(), 0);
  EXPECT_FALSE(e.s.Cell(0, 0).Bad);
}

TEST(RunCycles, NoPassesMeansNoRequests) {
  Machine m(OneDisk(512));
  Engine e(1, 2);
  e.s.DumpName = test::TempPath("rd.dat");
  e.s.ReadDone.store(77);
  e.Run(kModeRead, 0, true);
  EXPECT_TRUE(m.sys().Requests().empty());
  EXPECT_EQ(e.s.ReadDone.load(), 0);
  EXPECT_EQ(e.steps.finished, 1);
  EXPECT_EQ(e.steps.cells, 0);
  EXPECT_FALSE(e.s.SurfaceRunning.load());
  EXPECT_EQ(test::FileSize(e.s.DumpName), 0u);
}

TEST(RunCycles, StopInsideACellLeavesItWithoutResult) {
  Machine m(OneDisk(2048));
  Engine e(1, 2);  // 1024 blocks a cell: four requests each
  int reads = 0;
  m.sys().onRequest = [&](const test::Request&) {
    if (++reads == 6) e.s.SurfaceRunning.store(false);  // the second request of cell 1
  };
  e.Run(kModeRead, 3);
  EXPECT_EQ(m.sys().Requests().size(), 6u);
  EXPECT_EQ(e.s.ReadDone.load(), 6 * 256);
  EXPECT_EQ(e.s.Cell(0, 0).DonePixels, 100);
  EXPECT_EQ(e.s.Cell(0, 1).DonePixels, 0);
  EXPECT_EQ(e.s.Cell(0, 1).BadPixels, 0);
  EXPECT_EQ(e.s.CurrentCycle.load(), 2);  // the pass under way ended the run
  EXPECT_EQ(e.steps.finished, 1);
}

TEST(RunCycles, StopDuringSingleBlockRetriesEndsAtTheNextBlock) {
  Machine m(OneDisk(512, "[[10, 10]]"));
  Engine e(1, 1);
  int reads = 0;
  m.sys().onRequest = [&](const test::Request&) {
    if (++reads == 5) e.s.SurfaceRunning.store(false);
  };
  e.Run(kModeRead, 1);
  // The failing request, four retries, and no more.
  EXPECT_EQ(m.sys().Requests().size(), 5u);
  EXPECT_EQ(e.s.ReadDone.load(), 4);
  EXPECT_EQ(e.s.Cell(0, 0).BadPixels, 0);
}

// ---------------------------------------------------------------------------
// Write passes

std::vector<std::uint8_t> PatternBytesWritten(const std::vector<test::Request>& rs) {
  std::vector<std::uint8_t> out;
  for (const auto& r : rs) {
    if (!r.write) continue;
    EXPECT_TRUE(
        std::all_of(r.data.begin(), r.data.end(), [&](std::uint8_t b) { return b == r.data[0]; }));
    if (out.empty() || out.back() != r.data[0]) out.push_back(r.data[0]);
  }
  return out;
}

TEST(WritePass, ThePatternStartsAtZeroAndChangesEveryPass) {
  Machine m(OneDisk(600));
  Engine e(1, 3);
  e.Run(kModeWrite, 2);
  EXPECT_EQ(PatternBytesWritten(m.sys().Requests()), (std::vector<std::uint8_t>{0x00, 0x01}));
  EXPECT_EQ(e.s.WriteDone.load(), 1200);
  EXPECT_EQ(e.s.ReadDone.load(), 0);
  const auto back = test::ReadDisk(0, 600 * 512);
  EXPECT_TRUE(std::all_of(back.begin(), back.end(), [](std::uint8_t b) { return b == 1; }));
}

TEST(WritePass, A257PassRunEndsOnZeroAgain) {
  Machine m(OneDisk(2));
  Engine e(1, 1);
  e.Run(kModeWrite, 257);
  const auto rs = m.sys().Requests();
  ASSERT_EQ(rs.size(), 257u);
  EXPECT_EQ(rs[0].data[0], 0x00);
  EXPECT_EQ(rs[255].data[0], 0xFF);
  EXPECT_EQ(rs[256].data[0], 0x00);
  EXPECT_EQ(test::ReadDisk(0, 1024), std::vector<std::uint8_t>(1024, 0));
}

TEST(WritePass, FailingWritesAreRetriedBlockByBlock) {
  Machine m(OneDisk(300, "[]", "[[5, 6], [299, 299]]"));
  Engine e(1, 1);
  e.Run(kModeWrite, 1);
  EXPECT_EQ(e.s.WriteErrors.load(), 3);
  EXPECT_EQ(e.s.WriteDone.load(), 300);
  EXPECT_EQ(e.s.BadBlockList(), (std::vector<std::int64_t>{5, 6, 299}));
  EXPECT_EQ(e.steps.lines.at(0), "1 write error at 5" + SystemErrorText(kErrWriteFault));
  EXPECT_EQ(e.s.Cell(0, 0).BadBlocks.load(), 3);
  EXPECT_EQ(e.s.Cell(0, 0).BadPixels, 1);
}

TEST(WritePass, AReadOnlyDiskCountsEveryBlockAsAWriteError) {
  Machine m(OneDisk(300));
  Engine e(1, 1, false);
  e.s.ErrorsLimit.store(1);
  e.Run(kModeWrite, 1);
  EXPECT_EQ(e.s.WriteErrors.load(), 300);
  EXPECT_EQ(e.s.WriteDone.load(), 300);
  EXPECT_EQ(e.steps.lines.size(), 1u);
  EXPECT_EQ(e.s.Cell(0, 0).BadPixels, 100);
  EXPECT_EQ(e.s.Cell(0, 0).DonePixels, 0);
}

// ---------------------------------------------------------------------------
// Read and write back

TEST(ReadWritePass, WritesBackWhatItReadAndLeavesTheDiskAsItWas) {
  Machine m(OneDisk(1000));
  const auto before = test::ReadDisk(0, 1000 * 512);
  Engine e(1, 3);
  e.s.DumpName = test::TempPath("rd.dat");
  m.sys().ClearRequests();
  e.Run(kModeReadWrite, 1, true);
  const auto rs = m.sys().Requests();
  EXPECT_EQ(e.s.ReadDone.load(), 1000);
  EXPECT_EQ(e.s.WriteDone.load(), 1000);
  EXPECT_EQ(test::ReadDisk(0, 1000 * 512), before);
  EXPECT_EQ(test::FileBytes(e.s.DumpName), before);
  // Every request read first and wrote the same range back.
  ASSERT_EQ(rs.size() % 2, 0u);
  for (std::size_t i = 0; i + 1 < rs.size(); i += 2) {
    EXPECT_FALSE(rs[i].write);
    EXPECT_TRUE(rs[i + 1].write);
    EXPECT_EQ(rs[i].offset, rs[i + 1].offset);
    EXPECT_EQ(rs[i].len, rs[i + 1].len);
  }
}

// An unreadable block gets zeros written back, in the single-block request
// of a cell's last block as in the retries of a failing request.
TEST(ReadWritePass, AnUnreadableBlockGetsZerosNotAnotherBlocksData) {
  Machine m(OneDisk(514));
  Engine e(1, 2);  // 257 blocks a cell: requests of 256 and 1
  m.sys().failRead = [](std::int64_t off, std::uint32_t len) {
    auto hits = [&](std::int64_t b) { return off <= b * 512 && off + len > b * 512; };
    return hits(256) || hits(300);
  };
  const auto before = test::ReadDisk(0, 514 * 512);
  m.sys().ClearRequests();
  e.Run(kModeReadWrite, 1);
  EXPECT_EQ(e.s.ReadErrors.load(), 2);
  EXPECT_EQ(e.s.BadBlockList(), (std::vector<std::int64_t>{256, 300}));
  const std::vector<std::uint8_t> zeros(512, 0);
  int zeroWrites = 0;
  for (const auto& r : m.sys().Requests()) {
    if (!r.write) continue;
    if (r.offset == 256 * 512 || r.offset == 300 * 512) {
      EXPECT_EQ(r.len, 512u);
      EXPECT_EQ(r.data, zeros);
      ++zeroWrites;
    } else {
      // Every other block goes back as it was.
      EXPECT_TRUE(std::equal(r.data.begin(), r.data.end(), before.begin() + r.offset))
          << "write at " << r.offset;
    }
  }
  EXPECT_EQ(zeroWrites, 2);
  EXPECT_EQ(e.s.WriteDone.load(), 514);
  EXPECT_EQ(e.s.ReadDone.load(), 514);
}

TEST(ReadWritePass, AFailingWriteBackIsRetriedFromEachBlocksPlaceInTheBuffer) {
  Machine m(OneDisk(256, "[]", "[[3, 3]]"));
  const auto before = test::ReadDisk(0, 256 * 512);
  Engine e(1, 1);
  m.sys().ClearRequests();
  e.Run(kModeReadWrite, 1);
  const auto rs = m.sys().Requests();
  EXPECT_EQ(e.s.WriteErrors.load(), 1);
  EXPECT_EQ(e.s.ReadErrors.load(), 0);
  EXPECT_EQ(e.s.Cell(0, 0).BadBlocks.load(), 1);
  EXPECT_TRUE(e.s.Cell(0, 0).Bad);
  EXPECT_EQ(test::ReadDisk(0, 256 * 512), before);
  EXPECT_EQ(Count(rs, true, 512), 256);
}

// ---------------------------------------------------------------------------
// The worker thread

class QueueSteps : public SurfaceSteps {
 public:
  void ShowCell() override {}
  void ShowStatus() override {}
  void AddErrorLine(const std::string&) override {}
  void TestFinished() override { finished.fetch_add(1); }
  std::atomic<int> finished{0};
};

TEST(Worker, RunsOnItsThreadAndSleepsBetweenRuns) {
  Machine m(OneDisk(4096));
  SurfaceState s;
  QueueSteps steps;
  QueuedMainThread main;
  std::atomic<Handle> h{Sys().OpenDevice("\\\\.\\PHYSICALDRIVE0", kGenericRead, kShareRead,
                                         kOpenExisting, kAttributeNormal)};
  s.DiskIo.store(h.load());
  s.DiskBlocks.store(4096);
  s.MapRows = 4;
  s.MapColumns = 4;
  s.DivideDisk(16);
  {
    TDiskTest worker(s, main, steps);
    worker.Start();
    for (int run = 1; run <= 2; ++run) {
      StartCounters(s);
      StartRunning(s, worker, false);
      while (steps.finished.load() < run) main.Pump(10);
      EXPECT_FALSE(worker.Busy());
      EXPECT_EQ(s.ReadDone.load(), 4096);
    }
  }
  Sys().Close(h.load());
}

}  // namespace
}  // namespace dt::surface
