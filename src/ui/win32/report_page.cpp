#include "ui/win32/report_page.h"

#include <algorithm>
#include <cmath>

#include "speedtest/report_forms.h"
#include "ui/win32/print_preview.h"

namespace dt::win {

TReportPage::TReportPage(const page::PageSpec& spec)
    : ReportLabels(spec), spec_(spec), printer_(spec) {}

TReportPage::~TReportPage() = default;

bool TReportPage::PrinterSetup(HWND owner) {
  return printer_.Setup(owner);
}

void TReportPage::Preview(HWND owner) {
  PreviewReport(
      owner, *this, spec_.caption, [this](HWND h) { return Print(h); },
      [this](HWND h) { return PrinterSetup(h); });
}

bool TReportPage::Print(HWND owner) {
  return printer_.Print(owner, *this);
}

void TReportPage::Render(HDC dc) {
  RenderPage(dc, DeviceOf(dc), PrintTime());
}

void TReportPage::DrawPage(HDC dc, const PageDevice& device, int, const std::string& now) {
  RenderPage(dc, device, now);
}

void TReportPage::RenderPage(HDC dc, const PageDevice& device, const std::string& now) {
  const int saved = SaveDC(dc);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(0, 0, 0));

  // The title band's and the page's labels, each at its top-left corner.
  for (const page::LabelSpec& l : spec_.labels) {
    const ReportLabel* label = Label(l.name);
    if (!label && l.shows != page::Shows::PrintTime) continue;
    const PageFont font(l.font, device);
    const HGDIOBJ old = SelectObject(dc, font.get());
    PageText(dc, device.X(label ? label->LeftMm : l.leftMm),
             device.Y(label ? label->TopMm : l.topMm), label ? label->Caption : now);
    SelectObject(dc, old);
  }

  // The chart reads the table now, for the width it has on paper. It is
  // laid out as on a screen of the description's resolution and drawn at
  // the device's: its fonts and lines grow with the resolution.
  const page::ChartSpec& c = *spec_.chart;
  shown_ = source_ ? source_(static_cast<int>(c.place.width * c.columnsPerMm)) : Envelope{};
  scales_ = scales_.For(shown_);
  ChartLook look = PageLook(c);
  const double scale = device.dotsPerMmY * 25.4 / c.layoutDpi;
  look.titlePixels = std::max(1, static_cast<int>(std::lround(c.titlePixels * scale)));
  look.labelPixels = std::max(1, static_cast<int>(std::lround(c.labelPixels * scale)));
  look.penWidth = std::max(1, static_cast<int>(std::lround(scale)));
  DrawChart(dc, device.Rect(c.place), c.title, shown_, scales_, look);
  RestoreDC(dc, saved);
}

TForm2::TForm2() : TReportPage(SpeedReportPage()) {}

TForm3::TForm3() : TReportPage(TimeReportPage()) {}

}  // namespace dt::win
