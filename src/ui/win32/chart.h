// Line charts of the point table drawn with GDI: the speed chart of the
// main window, the time chart window and the charts of the printed reports.
// A chart shows the envelope of the table for its width (the core's
// chart_envelope.h) on the nice-number scales of chart_axis.h: a red line
// on screen, black on paper, the title in bold above the plot, the axes'
// labels below and left of it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "forms/page.h"
#include "speedtest/chart_axis.h"
#include "speedtest/chart_envelope.h"
#include "ui/win32/wingui.h"

namespace dt::win {

// How a chart is drawn.
struct ChartLook {
  std::string fontFamily = "Arial";
  int titlePixels = 13;  // bold
  int labelPixels = 11;
  COLORREF line = RGB(255, 0, 0);
  COLORREF axis = RGB(0, 0, 0);
  COLORREF grid = RGB(0xc0, 0xc0, 0xc0);
  bool dashDotDot = false;  // the line, the axes and the grid
  bool leftGrid = true;     // grid lines along the left axis
  bool background = true;   // white plot on a filled chart
  // The width of the line, the axes and the grid in device pixels; a wider
  // one keeps its dashes.
  int penWidth = 1;
};

// The look of a chart on a printed page.
ChartLook PageLook(const page::ChartSpec& spec);

// The scales a chart shows its envelope on; an axis keeps its tick count
// from one range to the next.
struct ChartScales {
  AxisScale x = kEmptyScale;
  AxisScale y = kEmptyScale;
  // The scales for `e`, starting from the tick counts of these.
  ChartScales For(const Envelope& e) const;
};

// Draws `e` on `scales` into `r` of `dc`, in the device's pixels; the fonts'
// sizes are in those pixels too.
void DrawChart(HDC dc, const RECT& r, const std::string& title, const Envelope& e,
               const ChartScales& scales, const ChartLook& look);

// The text of an axis label: the value with the scale's decimals, in the
// user's number format (its decimal point, digits grouped).
std::string AxisLabel(double value, int decimals);

// A chart control of a window.
class LineChart : public Custom {
 public:
  using Source = std::function<Envelope(int columns)>;
  using Custom::Custom;

  void SetSource(Source source) { source_ = std::move(source); }
  // Re-reads the table for the chart's width and repaints.
  void Refresh();
  // The points the last Refresh drew, and its scales.
  int ShownPoints() const { return static_cast<int>(shown_.points.size()); }
  const Envelope& Shown() const { return shown_; }
  const ChartScales& Scales() const { return scales_; }
  // Shows a picture (RGB rows from the top) in place of the chart, or the
  // chart again.
  void SetImage(int width, int height, const std::vector<std::uint8_t>& rgb);
  void ClearImage();
  bool ShowsImage() const { return imageWidth_ > 0; }

 protected:
  void Paint(HDC dc, const RECT& client) override;

 private:
  Source source_;
  Envelope shown_;
  ChartScales scales_;
  ChartLook look_;
  int imageWidth_ = 0, imageHeight_ = 0;
  std::vector<std::uint8_t> imageBgrx_;  // 32-bit pixels for StretchDIBits
};

}  // namespace dt::win
