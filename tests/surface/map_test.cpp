// The map raster: layout, grid, cells, the bad mark and the mouse-over text.
#include <gtest/gtest.h>

#include "surface/surface_map.h"
#include "surface_rig.h"

namespace dt::surface {

void PrintTo(const Rgb& c, std::ostream* os) {
  *os << "rgb(" << int(c.r) << "," << int(c.g) << "," << int(c.b) << ")";
}

namespace {

using test::Engine;
using test::Machine;
using test::OneDisk;

// A map of rows x columns cells over a disk of `blocks` blocks.
struct MapRig {
  SurfaceState s;
  SurfaceMap map{s};
  MapLayout layout;
  MapRig(std::int64_t blocks, std::int32_t rows, std::int32_t columns) {
    s.DiskBlocks.store(blocks);
    int w = 0, h = 0;
    ClientSizeForMap(columns, rows, &w, &h);
    layout = map.Layout(w, h);
  }
  Rgb At(const TMapCell& c, int dx, int dy) const {
    return map.Image().Pixel(c.Left + dx, c.Top + dy);
  }
  // The colours of the cell's 100 pixels in reading order.
  std::vector<Rgb> Pixels(const TMapCell& c) const {
    std::vector<Rgb> out;
    for (int y = 0; y < CellHeight; ++y)
      for (int x = 0; x < CellWidth; ++x) out.push_back(At(c, x, y));
    return out;
  }
};

// Whether pixel (x, y) of a cell lies on the ink of its B.
bool Ink(int x, int y) {
  return MarkInk(x - 2, y - 1);
}

TEST(MapLayout, SizesFollowTheClientAreaUpToTheLargestMap) {
  SurfaceState s;
  SurfaceMap map{s};
  const MapLayout l = map.Layout(622, 427);
  EXPECT_EQ(l.MapColumns, (622 - 1 - 3) / 11);
  EXPECT_EQ(l.MapRows, (427 - 1 - 8 - 85) / 11);
  EXPECT_EQ(l.ImageWidth, 11 * l.MapColumns + 1);
  EXPECT_EQ(l.ImageHeight, 11 * l.MapRows + 1);
  EXPECT_EQ(l.ClientWidth, l.ImageWidth);
  EXPECT_EQ(l.ClientHeight, l.ImageHeight + 85 + 3);
  EXPECT_EQ(map.Image().Width(), l.ImageWidth);

  const MapLayout big = map.Layout(10000, 8000);
  EXPECT_EQ(big.MapColumns, 400);
  EXPECT_EQ(big.MapRows, 300);
  EXPECT_EQ(big.ImageWidth, 4401);
  EXPECT_EQ(big.ClientHeight, 3301 + 88);
  EXPECT_EQ(s.MapColumns, 400);
}

TEST(MapGrid, EveryTenthLineIsMagentaAndVerticalLinesTakeTheCrossings) {
  MapRig m(100000, 25, 25);
  const MapImage& img = m.map.Image();
  EXPECT_EQ(img.Pixel(0, 5), kMagenta);
  EXPECT_EQ(img.Pixel(5, 0), kMagenta);
  EXPECT_EQ(img.Pixel(11, 5), kBlack);
  EXPECT_EQ(img.Pixel(5, 11), kBlack);
  EXPECT_EQ(img.Pixel(110, 5), kMagenta);
  EXPECT_EQ(img.Pixel(5, 220), kMagenta);
  EXPECT_EQ(img.Pixel(11, 110), kBlack);    // black vertical over a magenta row
  EXPECT_EQ(img.Pixel(110, 11), kMagenta);  // magenta vertical over a black row
  EXPECT_EQ(img.Pixel(12, 12), kWhite);     // an untested full cell
  EXPECT_EQ(img.Pixel(220, 220), kMagenta);
  EXPECT_EQ(img.Pixel(275, 274), kBlack);
}

TEST(MapCells, CleanBadPartialAndEmptyCells) {
  // 1001 blocks on 4 x 5 cells: 51 blocks a cell, 19 full cells and a last
  // one of 32 blocks (62 pixels, 38 blue).
  Machine machine(OneDisk(1001, "[[60, 62]]"));
  Engine e(4, 5);
  SurfaceMap map{e.s};
  int w = 0, h = 0;
  ClientSizeForMap(5, 4, &w, &h);
  map.Layout(w, h);
  e.Run(kModeRead, 1);
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 5; ++c) map.DrawCell(e.s.Cell(r, c));
  const MapImage& img = map.Image();
  auto pixels = [&](const TMapCell& c) {
    std::vector<Rgb> out;
    for (int y = 0; y < 10; ++y)
      for (int x = 0; x < 10; ++x) out.push_back(img.Pixel(c.Left + x, c.Top + y));
    return out;
  };

  // Clean: all yellow.
  EXPECT_EQ(pixels(e.s.Cell(0, 0)), std::vector<Rgb>(100, kYellow));

  // Bad: 3 of 51 blocks = 5 red pixels from the corner, yellow after, and
  // the B at half brightness over both.
  const TMapCell& bad = e.s.Cell(0, 1);
  ASSERT_EQ(bad.BadPixels, 5);
  const auto p = pixels(bad);
  for (int i = 0; i < 100; ++i) {
    const int x = i % 10, y = i / 10;
    const Rgb base = i < 5 ? kRed : kYellow;
    EXPECT_EQ(p[i], Ink(x, y) ? ShadeColor(base, 50) : base) << "pixel " << x << "," << y;
  }
  EXPECT_EQ(p[2], kRed);                 // (2, 0): above the mark
  EXPECT_EQ(p[12], (Rgb{127, 127, 0}));  // (2, 1): ink on yellow, olive
  EXPECT_EQ(p[10 + 7], kYellow);         // (7, 1): right of the mark's top row
  EXPECT_EQ(p[10 * 2 + 7], (Rgb{127, 127, 0}));

  // The last disk cell: its blue share first, the rest yellow.
  const TMapCell& last = e.s.Cell(3, 4);
  ASSERT_EQ(last.OutsidePixels, 38);
  const auto lp = pixels(last);
  for (int i = 0; i < 100; ++i) EXPECT_EQ(lp[i], i < last.OutsidePixels ? kBlue : kYellow);
}

TEST(MapCells, EmptyCellsAreBlueFromTheLayoutOn) {
  MapRig m(5, 2, 4);
  EXPECT_EQ(m.Pixels(m.s.Cell(1, 3)), std::vector<Rgb>(100, kBlue));
  EXPECT_EQ(m.Pixels(m.s.Cell(1, 0)), std::vector<Rgb>(100, kWhite));
}

TEST(MapCells, ClearForANewRunShowsEarlierMarksWithAGreyB) {
  MapRig m(20, 1, 2);
  TMapCell& c = m.s.Cell(0, 0);
  c.Bad = true;
  c.BadPixels = 30;
  c.DonePixels = 70;
  c.BadBlocks.store(3);
  m.map.DrawCell(c);
  EXPECT_EQ(m.At(c, 0, 0), kRed);
  m.map.ClearForNewRun();
  EXPECT_EQ(c.BadPixels, 0);
  EXPECT_EQ(c.BadBlocks.load(), 0);
  EXPECT_TRUE(c.Bad);
  const Rgb grey{127, 127, 127};
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 10; ++x) EXPECT_EQ(m.At(c, x, y), Ink(x, y) ? grey : kWhite);
  EXPECT_EQ(m.At(m.s.Cell(0, 1), 2, 1), kWhite);  // an unmarked cell stays plain
}

TEST(MapCells, BlueShareWithAMarkIsDarkBlue) {
  MapRig m(10, 1, 1);
  TMapCell c;
  c.Left = 1;
  c.Top = 1;
  c.OutsidePixels = 100;
  c.Bad = true;
  m.map.DrawCell(c);
  EXPECT_EQ(m.map.Image().Pixel(1 + 2, 1 + 1), (Rgb{0, 0, 127}));
  EXPECT_EQ(m.map.Image().Pixel(1 + 0, 1 + 0), kBlue);
}

// ---------------------------------------------------------------------------
// Mouse-over text

TEST(MouseOver, PositionInPerCentAndBadBlocks) {
  // 10 x 10 cells, disk on the first 51 cells (index 50 is the last).
  MapRig m(51, 10, 10);
  ASSERT_EQ(m.s.LastDiskRow.load(), 5);
  ASSERT_EQ(m.s.LastDiskColumn.load(), 0);
  ASSERT_TRUE(m.map.MouseMove(0, 0));  // the first pixel row and column: cell 0
  EXPECT_EQ(m.map.CurrenElementInfo(), "0.00% ");
  EXPECT_FALSE(m.map.MouseMove(10, 10));                         // still cell 0: not rewritten
  ASSERT_TRUE(m.map.MouseMove(1 + 5 * 11 + 3, 1 + 2 * 11 + 3));  // cell 25
  EXPECT_EQ(m.map.CurrenElementInfo(), "50.00% ");
  m.s.Cell(2, 5).BadBlocks.store(12);
  m.map.MouseMove(1, 1);
  m.map.MouseMove(1 + 5 * 11, 1 + 2 * 11);
  EXPECT_EQ(m.map.CurrenElementInfo(), "50.00% 12 bad blocks");
  m.map.MouseMove(1, 1 + 5 * 11);  // cell 50, the last disk cell
  EXPECT_EQ(m.map.CurrenElementInfo(), "100.00% ");
  m.map.MouseMove(1 + 11, 1 + 5 * 11);  // cell 51: beyond the disk
  EXPECT_EQ(m.map.CurrenElementInfo(), "");
  m.map.MouseMove(1 + 9 * 11, 1 + 9 * 11);
  EXPECT_EQ(m.map.CurrenElementInfo(), "");
}

TEST(MouseOver, ASingleDiskCellReadsZero) {
  MapRig m(1, 3, 3);
  m.map.MouseMove(5, 5);
  EXPECT_EQ(m.map.CurrenElementInfo(), "0.00% ");
  m.map.MouseMove(16, 5);
  EXPECT_EQ(m.map.CurrenElementInfo(), "");
}

TEST(MouseOver, ANewLayoutForgetsTheCell) {
  MapRig m(100, 2, 2);
  m.map.MouseMove(5, 5);
  int w = 0, h = 0;
  ClientSizeForMap(2, 2, &w, &h);
  m.map.Layout(w, h);
  EXPECT_EQ(m.map.CurrenElementInfo(), "");
  EXPECT_TRUE(m.map.MouseMove(5, 5));
  EXPECT_EQ(m.map.CurrenElementInfo(), "0.00% ");
}

}  // namespace
}  // namespace dt::surface
