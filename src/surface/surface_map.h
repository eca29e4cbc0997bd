// The disk map of the surface test, drawn pixel by pixel into an RGB image:
// a grid of 10 x 10 cells with every tenth line magenta, and in every cell,
// in reading order, its blue share (beyond the end of the disk), its red
// share (bad blocks) and its yellow share (tested), the rest white; a cell
// that has had a failing block carries a half-bright letter B. The window
// only shows the image.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "surface/surface_engine.h"

namespace dt::surface {

struct Rgb {
  std::uint8_t r = 0;
  std::uint8_t g = 0;
  std::uint8_t b = 0;
  bool operator==(const Rgb&) const = default;
};

inline constexpr Rgb kWhite{255, 255, 255};
inline constexpr Rgb kBlack{0, 0, 0};
inline constexpr Rgb kMagenta{255, 0, 255};
inline constexpr Rgb kRed{255, 0, 0};
inline constexpr Rgb kYellow{255, 255, 0};
inline constexpr Rgb kBlue{0, 0, 255};

// Each channel x percent / 100.
Rgb ShadeColor(Rgb colour, int percent);

// The bad mark: 6 columns x 8 rows; true where the glyph has ink.
bool MarkInk(int column, int row);

// The colour of access-time band `band` of `bands`: a sequential ramp from
// light to dark lavender, read by its lightness alone (so also without
// telling hues apart), apart from the red of the bad blocks and the blue
// beyond the end of the disk.
Rgb GradeColor(std::int32_t band, std::int32_t bands);

// One line of the access-time legend: its colour and text ("< 5 ms: 12",
// ">= 600 ms: 1", "Error: 3").
struct LegendEntry {
  Rgb colour;
  std::string text;
  bool operator==(const LegendEntry&) const = default;
};
// The legend of the state's band limits with the counts of its reads and
// writes together, and the bad blocks.
std::vector<LegendEntry> GradeLegend(const SurfaceState& s);
// A time in milliseconds as the legend and the lists show it: one decimal.
std::string MsText(double ms);
// The range of band `band` of `limits`, without its unit: "< 5", ">= 600".
std::string BandText(const std::vector<double>& limits, std::size_t band);

// Where the map image stands in the window's client area.
inline constexpr int kImageLeft = 0;
inline constexpr int kImageTop = 85;

// An RGB image, 3 bytes a pixel (red, green, blue), rows one after another.
class MapImage {
 public:
  void Resize(int width, int height);
  int Width() const { return width_; }
  int Height() const { return height_; }
  int BytesPerLine() const { return width_ * 3; }
  const std::uint8_t* Bits() const { return bits_.data(); }
  Rgb Pixel(int x, int y) const;
  void SetPixel(int x, int y, Rgb c);
  void Fill(Rgb c);
  void HorizontalLine(int y, Rgb c);
  void VerticalLine(int x, Rgb c);

 private:
  int width_ = 0;
  int height_ = 0;
  std::vector<std::uint8_t> bits_;
};

// The result of a layout: the map and the sizes the window takes.
struct MapLayout {
  std::int32_t MapColumns = 0;
  std::int32_t MapRows = 0;
  int ImageWidth = 0;
  int ImageHeight = 0;
  int ClientWidth = 0;
  int ClientHeight = 0;
};

// The client area whose layout gives a map of `columns` x `rows` cells.
void ClientSizeForMap(std::int32_t columns, std::int32_t rows, int* clientWidth, int* clientHeight);

class SurfaceMap {
 public:
  explicit SurfaceMap(SurfaceState& state) : s_(state) {}

  // Lays the map out for a window client area: the cell counts (at most 400
  // columns and 300 rows), the image, the division of the disk, the grid and
  // the blue cells; forgets the mouse-over cell.
  MapLayout Layout(int clientWidth, int clientHeight);
  // Before a new run: background, grid, every cell's counters reset, and the
  // cells with a blue share or a bad mark drawn again.
  void ClearForNewRun();
  void DrawGrid();
  void DrawCell(const TMapCell& cell);

  // Image1MouseMove: updates the cell information text for the image point
  // (x, y). Returns false, leaving the text alone, while the point stays in
  // the cell last shown.
  bool MouseMove(int x, int y);
  const std::string& CurrenElementInfo() const { return info_; }

  // Grade access time: the tested share of every cell takes the colour of
  // the cell's slowest band instead of yellow, and the mouse-over text names
  // the cell's slowest time. Off by default; switching redraws every cell.
  void SetGrading(bool on);
  bool Grading() const { return grading_; }

  const MapImage& Image() const { return image_; }

 private:
  void Band(int y, int height, Rgb colour);

  SurfaceState& s_;
  MapImage image_;
  int mouseRow_ = -1;
  int mouseColumn_ = -1;
  std::string info_;
  bool grading_ = false;
};

}  // namespace dt::surface
