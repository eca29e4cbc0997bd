#include "surface/surface_map.h"

#include <algorithm>

#include "base/text.h"

namespace dt::surface {

namespace {

// The letter B, 6 x 8.
constexpr const char* kMark[8] = {
    "XXXXX.",  //
    ".X...X",  //
    ".X...X",  //
    ".XXXX.",  //
    ".X...X",  //
    ".X...X",  //
    ".X...X",  //
    "XXXXX.",  //
};

}  // namespace

Rgb ShadeColor(Rgb c, int percent) {
  auto ch = [percent](std::uint8_t v) { return static_cast<std::uint8_t>(v * percent / 100); };
  return {ch(c.r), ch(c.g), ch(c.b)};
}

Rgb GradeColor(std::int32_t band, std::int32_t bands) {
  constexpr Rgb kLight{218, 218, 235};
  constexpr Rgb kDark{63, 0, 125};
  if (bands <= 1) return kLight;
  band = std::clamp(band, 0, bands - 1);
  auto mix = [&](std::uint8_t a, std::uint8_t b) {
    return static_cast<std::uint8_t>(a + (b - a) * band / (bands - 1));
  };
  return {mix(kLight.r, kDark.r), mix(kLight.g, kDark.g), mix(kLight.b, kDark.b)};
}

std::string MsText(double ms) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.1f", ms);
  return buf;
}

std::string BandText(const std::vector<double>& limits, std::size_t band) {
  if (limits.empty()) return "";
  std::string t = MsText(band < limits.size() ? limits[band] : limits.back());
  if (t.size() > 2 && t.compare(t.size() - 2, 2, ".0") == 0) t.resize(t.size() - 2);
  return (band < limits.size() ? "< " : ">= ") + t;
}

std::vector<LegendEntry> GradeLegend(const SurfaceState& s) {
  std::vector<LegendEntry> out;
  const std::vector<double>& limits = s.BandLimitsMs;
  const auto bands = static_cast<std::int32_t>(limits.size() + 1);
  for (std::int32_t b = 0; b < bands; ++b) {
    std::int64_t n = 0;
    for (const AccessGrades* g : {&s.ReadGrades, &s.WriteGrades})
      if (static_cast<std::size_t>(b) < g->Counts.size()) n += g->Counts[static_cast<std::size_t>(b)];
    out.push_back({GradeColor(b, bands),
                   BandText(limits, static_cast<std::size_t>(b)) + " ms: " + std::to_string(n)});
  }
  out.push_back({kRed, "Error: " + std::to_string(s.ReadErrors.load() + s.WriteErrors.load())});
  return out;
}

bool MarkInk(int column, int row) {
  if (column < 0 || column >= 6 || row < 0 || row >= 8) return false;
  return kMark[row][column] == 'X';
}

// ---------------------------------------------------------------------------

void MapImage::Resize(int width, int height) {
  width_ = std::max(0, width);
  height_ = std::max(0, height);
  bits_.assign(static_cast<std::size_t>(width_) * height_ * 3, 255);
}

Rgb MapImage::Pixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return {};
  const std::size_t i = (static_cast<std::size_t>(y) * width_ + x) * 3;
  return {bits_[i], bits_[i + 1], bits_[i + 2]};
}

void MapImage::SetPixel(int x, int y, Rgb c) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
  const std::size_t i = (static_cast<std::size_t>(y) * width_ + x) * 3;
  bits_[i] = c.r;
  bits_[i + 1] = c.g;
  bits_[i + 2] = c.b;
}

void MapImage::Fill(Rgb c) {
  for (std::size_t i = 0; i + 2 < bits_.size(); i += 3) {
    bits_[i] = c.r;
    bits_[i + 1] = c.g;
    bits_[i + 2] = c.b;
  }
}

void MapImage::HorizontalLine(int y, Rgb c) {
  for (int x = 0; x < width_; ++x) SetPixel(x, y, c);
}

void MapImage::VerticalLine(int x, Rgb c) {
  for (int y = 0; y < height_; ++y) SetPixel(x, y, c);
}

// ---------------------------------------------------------------------------

void ClientSizeForMap(std::int32_t columns, std::int32_t rows, int* clientWidth,
                      int* clientHeight) {
  *clientWidth = (GapX + CellWidth) * columns + GapX + 3 + kImageLeft;
  *clientHeight = (GapY + CellHeight) * rows + GapY + 8 + kImageTop;
}

MapLayout SurfaceMap::Layout(int clientWidth, int clientHeight) {
  MapLayout l;
  l.MapColumns =
      std::clamp((clientWidth - GapX - 3 - kImageLeft) / (GapX + CellWidth), 0, kMaxMapColumns);
  l.MapRows =
      std::clamp((clientHeight - GapY - 8 - kImageTop) / (GapY + CellHeight), 0, kMaxMapRows);
  l.ImageWidth = (GapX + CellWidth) * l.MapColumns + GapX;
  l.ImageHeight = (GapY + CellHeight) * l.MapRows + GapY;
  l.ClientHeight = l.ImageHeight + kImageTop + 3;
  l.ClientWidth = l.ImageWidth + 2 * kImageLeft;

  s_.MapColumns = l.MapColumns;
  s_.MapRows = l.MapRows;
  s_.CellArea.store(CellWidth * CellHeight);
  image_.Resize(l.ImageWidth, l.ImageHeight);
  image_.Fill(kWhite);
  DrawGrid();
  s_.DivideDisk(l.MapColumns * l.MapRows);
  // Full cells stay white; the partial last cell and the empty ones show
  // their blue share.
  for (std::int32_t row = 0; row < s_.MapRows; ++row)
    for (std::int32_t column = 0; column < s_.MapColumns; ++column) {
      const TMapCell& c = s_.Cell(row, column);
      if (c.OutsidePixels > 0) DrawCell(c);
    }
  mouseRow_ = -1;
  mouseColumn_ = -1;
  info_.clear();
  return l;
}

void SurfaceMap::ClearForNewRun() {
  image_.Fill(kWhite);
  DrawGrid();
  for (std::int32_t row = 0; row < s_.MapRows; ++row)
    for (std::int32_t column = 0; column < s_.MapColumns; ++column) {
      TMapCell& c = s_.Cell(row, column);
      c.BadBlocks.store(0);
      c.BadPixels = 0;
      c.DonePixels = 0;
      c.SlowestBand.store(-1);
      c.SlowestUs.store(-1);
      if (c.OutsidePixels > 0 || c.Bad) DrawCell(c);
    }
}

void SurfaceMap::Band(int y, int height, Rgb colour) {
  const int h = height / 2;
  int e = 100;
  if (height % 2 != 0) {
    image_.HorizontalLine(y + h, colour);
    e = 100 - 25 / (h + 1);
  }
  for (int i = 0; i < h; ++i) {
    const int p = e - ((e - 75) / h) * (i + 1);
    const Rgb shade = colour == kBlack ? ShadeColor(kWhite, 100 - p) : ShadeColor(colour, p);
    image_.HorizontalLine(y + i, shade);
    image_.HorizontalLine(y + height - 1 - i, shade);
  }
}

void SurfaceMap::DrawGrid() {
  const int pitchY = GapY + CellHeight;
  const int pitchX = GapX + CellWidth;
  for (int y = 0; y < image_.Height(); ++y)
    if (y % pitchY == 0) Band(y, GapY, y % (10 * pitchY) == 0 ? kMagenta : kBlack);
  for (int x = 0; x < image_.Width(); ++x)
    if (x % pitchX == 0) image_.VerticalLine(x, x % (10 * pitchX) == 0 ? kMagenta : kBlack);
}

void SurfaceMap::DrawCell(const TMapCell& cell) {
  int blue = cell.OutsidePixels;
  int red = cell.BadPixels;
  int done = cell.DonePixels;
  const std::int32_t band = cell.SlowestBand.load();
  const Rgb tested =
      grading_ && band >= 0
          ? GradeColor(band, static_cast<std::int32_t>(s_.BandLimitsMs.size() + 1))
          : kYellow;
  const int mx = cell.Left + (CellWidth - 6) / 2;
  const int my = cell.Top + (CellHeight - 8) / 2;
  for (int y = cell.Top; y < cell.Top + CellHeight; ++y) {
    for (int x = cell.Left; x < cell.Left + CellWidth; ++x) {
      Rgb c = kWhite;
      if (blue > 0) {
        c = kBlue;
        --blue;
      } else if (red > 0) {
        c = kRed;
        --red;
      } else if (done > 0) {
        c = tested;
        --done;
      }
      if (cell.Bad && MarkInk(x - mx, y - my)) c = ShadeColor(c, 50);
      image_.SetPixel(x, y, c);
    }
  }
}

bool SurfaceMap::MouseMove(int x, int y) {
  const int row = (y - GapY) / (GapY + CellHeight);
  const int column = (x - GapX) / (GapX + CellWidth);
  if (row == mouseRow_ && column == mouseColumn_) return false;
  mouseRow_ = row;
  mouseColumn_ = column;
  const std::int64_t i = static_cast<std::int64_t>(s_.MapColumns) * row + column;
  const std::int64_t last =
      static_cast<std::int64_t>(s_.MapColumns) * s_.LastDiskRow.load() + s_.LastDiskColumn.load();
  if (i > last || row < 0 || column < 0 || row >= s_.MapRows || column >= s_.MapColumns) {
    info_.clear();
    return true;
  }
  const double position =
      last == 0 ? 0.0 : static_cast<double>(i) * 100.0 / static_cast<double>(last);
  info_ = NumberText(position, 5, 2) + "% ";
  const std::int64_t bad = s_.Cell(row, column).BadBlocks.load();
  if (bad > 0) info_ += std::to_string(bad) + " bad blocks";
  const std::int64_t us = s_.Cell(row, column).SlowestUs.load();
  if (grading_ && us >= 0)
    info_ += (bad > 0 ? ", slowest " : "slowest ") + MsText(static_cast<double>(us) / 1000.0) + " ms";
  return true;
}

void SurfaceMap::SetGrading(bool on) {
  if (grading_ == on) return;
  grading_ = on;
  for (std::int32_t row = 0; row < s_.MapRows; ++row)
    for (std::int32_t column = 0; column < s_.MapColumns; ++column) DrawCell(s_.Cell(row, column));
  // The mouse-over text is made again at the next move.
  mouseRow_ = -1;
  mouseColumn_ = -1;
}

}  // namespace dt::surface
