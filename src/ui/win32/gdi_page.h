// What the Windows program needs to draw the page descriptions
// (forms/page.h) with GDI and to print them: millimetres from the paper's
// edge in a device's units, the descriptions' fonts at a device's
// resolution, the printer that a report keeps set up (A4 in the page's
// orientation unless the printer setup changed it) and the print job.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "forms/page.h"
#include "ui/win32/wingui.h"

namespace dt::win {

// Where a page goes on a device: its units per millimetre and the device
// point of the paper's top-left edge.
struct PageDevice {
  double dotsPerMmX = 96 / 25.4;
  double dotsPerMmY = 96 / 25.4;
  double originX = 0;
  double originY = 0;

  int X(double mm) const;
  int Y(double mm) const;
  // Device units of a width or height in millimetres.
  int Width(double mm) const;
  int Height(double mm) const;
  RECT Rect(const page::RectMm& r) const;
};

// The device of `dc` at its own resolution (LOGPIXELSX/Y); on a printer the
// printable area starts PHYSICALOFFSETX/Y from the paper's edge, which the
// origin takes back, so that places count from the paper's edge.
PageDevice DeviceOf(HDC dc);
// A device that shows the paper `dotsPerMm` to the millimetre with its
// top-left edge at (x, y): the preview's bitmap.
PageDevice ScaledDevice(double dotsPerMm, int x, int y);

// A font of a page description for a device: its point size at the
// device's vertical resolution; `averageWidth` (device units) narrows it,
// 0 keeps its own width. Deleted with the object.
class PageFont {
 public:
  PageFont(const page::Font& font, const PageDevice& device, int averageWidth = 0);
  ~PageFont();
  PageFont(const PageFont&) = delete;
  PageFont& operator=(const PageFont&) = delete;
  HFONT get() const { return font_; }

 private:
  HFONT font_;
};

// Draws `text` with its top-left corner at (x, y) in the font selected.
void PageText(HDC dc, int x, int y, const std::string& text);

// Draws `text` like PageText in `font`, narrowed where it is wider than
// `room` device units so that it ends inside them.
void PageTextFitted(HDC dc, const PageDevice& device, const page::Font& font, int x, int y,
                    int room, const std::string& text);

// The date and time of printing in the user's short formats.
std::string PrintTime();

// Pages that a report draws: one or more, each drawn on any device.
class Printout {
 public:
  virtual ~Printout() = default;
  virtual const page::PageSpec& Spec() const = 0;
  // The pages the report has now (at least one).
  virtual int PageCount() = 0;
  // Draws the page `index` (from 0) on `dc` as `device` places it; `now`
  // is the print time, the same on every page of a job.
  virtual void DrawPage(HDC dc, const PageDevice& device, int index, const std::string& now) = 0;
};

// The printer a report goes to. It is chosen by the printer setup or, for
// a print without one, is the system's default printer; the report keeps
// its settings (DEVMODE) from one print to the next.
class ReportPrinter {
 public:
  explicit ReportPrinter(const page::PageSpec& spec);
  ~ReportPrinter();
  ReportPrinter(const ReportPrinter&) = delete;
  ReportPrinter& operator=(const ReportPrinter&) = delete;

  // The printer setup dialog on the report's settings. False when it was
  // cancelled, or when there is no printer (which a message box says).
  bool Setup(HWND owner);
  // Prints every page of `out` as one job named after the page. False when
  // nothing was printed: no printer (a message box says so), the job was
  // refused (one says that) or cancelled.
  bool Print(HWND owner, Printout& out);

  // Whether a printer is chosen, and its settings (null while none is).
  bool Chosen() const { return devNames_ != nullptr; }
  // The paper size (DMPAPER_*) and orientation (DMORIENT_*) set up; 0
  // while no printer is chosen.
  short PaperSize() const;
  short Orientation() const;

 private:
  // Takes the default printer's settings, on A4 in the page's orientation.
  // False, with the message, when there is none.
  bool ChooseDefault(HWND owner);
  void Release();

  const page::PageSpec& spec_;
  HGLOBAL devMode_ = nullptr;
  HGLOBAL devNames_ = nullptr;
};

}  // namespace dt::win
