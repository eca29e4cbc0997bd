// Printed pages described once for every front end, as the report forms of
// classic desktop tools describe them: the paper and its orientation, the
// margins, the bands, the labels with their places in millimetres and their
// fonts, the page header with the page number, and the place of a chart. A
// toolkit draws what the description says; the rule that breaks the records
// of a long report into pages is here as well.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace dt::page {

enum class Orientation : std::uint8_t { Portrait, Landscape };

// Millimetres from the paper's top-left edge.
struct RectMm {
  double left = 0;
  double top = 0;
  double width = 0;
  double height = 0;
  bool operator==(const RectMm&) const = default;
};

// Every report is printed on A4 paper: its width and height in the given
// orientation.
RectMm A4(Orientation orientation);

struct Font {
  const char* family;
  double points;
  bool bold = false;
  bool fixedPitch = false;  // every character as wide as the next
};

// Where a label is printed.
enum class Band : std::uint8_t {
  Title,       // the title band, once at the top of the report
  PageHeader,  // the top of every page
  Summary,     // below the title band, once
};

// What a label prints.
enum class Shows : std::uint8_t {
  Caption,     // its caption, which the program changes before it prints
  PrintTime,   // the date and time of printing, the same on every page
  PageNumber,  // its caption followed by the number of the page, from 1
};

// A text placed by its top-left corner.
struct LabelSpec {
  const char* name;
  Band band;
  Shows shows;
  const char* caption;
  double leftMm;
  double topMm;
  Font font;
};

// A label of a printed page as the program sets it: its caption, and its
// top-left corner in millimetres from the page's top-left edge, as the
// description places it.
struct ReportLabel {
  std::string Caption;
  double LeftMm = 0;
  double TopMm = 0;
};

// A line chart of the point table on the page. It is laid out as on a
// screen of `layoutDpi` dots per inch and scaled onto its place, so that its
// fonts and lines keep their proportions.
struct ChartSpec {
  const char* title;
  RectMm place;
  const char* fontFamily;
  int titlePixels;  // bold
  int labelPixels;  // the axes' labels
  double layoutDpi;
  // Envelope columns per millimetre of width: finer than any printer line,
  // so that the printed curve is exact.
  double columnsPerMm;
  std::uint32_t lineRgb;
  std::uint32_t gridRgb;
  bool dashDotDot;  // the line, the axes and the grid drawn dash-dot-dot
  bool leftGrid;    // grid lines along the left axis
};

struct PageSpec {
  const char* name;     // "Form2"
  const char* jobName;  // the print job's name; "" for none
  const char* caption;  // the preview window's caption
  Orientation orientation;
  double marginMm;     // on every side
  double titleBandMm;  // the title band's height; 0 for none
  // The page header band's height in lines of its font (one line and half a
  // line of padding below it); 0 for none.
  double headerLines;
  std::span<const LabelSpec> labels;
  const ChartSpec* chart;  // null for none
  // The detail band: one per record, word-wrapped to the width inside the
  // margins, below the page header. No family for none.
  Font detail;

  // The label of that name, or null.
  const LabelSpec* Find(const std::string& name) const;
};

// The labels QRLabel1 to QRLabel9 of a printed report, which the program
// fills before it prints; they start as the description has them.
struct ReportLabels {
  explicit ReportLabels(const PageSpec& spec);

  ReportLabel QRLabel1, QRLabel2, QRLabel3, QRLabel4, QRLabel5, QRLabel6, QRLabel7, QRLabel8;
  // The title band's label (processor clock and drive identity).
  ReportLabel QRLabel9;

  // The label of that name, or null.
  ReportLabel* Label(const std::string& name);
};

// The print preview window's size in pixels.
inline constexpr int kPreviewWidth = 1000;
inline constexpr int kPreviewHeight = 760;

// Pixels of a 96 dpi layout in millimetres.
constexpr double PixelsMm(double pixels) {
  return pixels * 25.4 / 96.0;
}

// What is wrong with a description: labels that share a name or lie outside
// the paper, a chart outside the margins. Empty when it is sound.
std::vector<std::string> CheckPage(const PageSpec& page);

// Where a record of the detail band goes: its page (from 0) and its top.
struct Placed {
  int page = 0;
  double top = 0;
  bool operator==(const Placed&) const = default;
};

// Places records of the given heights one below the other, each page from
// `top` (below the page header) down to `bottom` (the bottom margin). A
// record takes at least one line (`lineHeight`), an empty one too; one that
// does not fit starts the next page unless it is the first of its page,
// which it then overruns.
std::vector<Placed> PlaceRecords(std::span<const double> heights, double lineHeight, double top,
                                 double bottom);

// The pages of a report whose records were placed so: at least one.
int PageCount(const std::vector<Placed>& placed);

}  // namespace dt::page
