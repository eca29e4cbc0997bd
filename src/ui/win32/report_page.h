// A printed report of the point table, drawn with GDI as its page
// description says (speedtest/report_forms.h): the title band, the labels
// that the main window fills and the line chart. The preview, the print and
// the printer setup all use the report's own printer settings.
#pragma once

#include <string>

#include "forms/page.h"
#include "ui/win32/chart.h"
#include "ui/win32/gdi_page.h"

namespace dt::win {

using page::ReportLabel;

class TReportPage : public Printout, public page::ReportLabels {
 public:
  explicit TReportPage(const page::PageSpec& spec);
  ~TReportPage() override;

  // The chart's table: the page reads it each time it is drawn, for the
  // width the chart has on paper.
  void SetSource(LineChart::Source source) { source_ = std::move(source); }
  const page::PageSpec& Spec() const override { return spec_; }
  ReportPrinter& Printer() { return printer_; }

  // The printer setup dialog; false when it was cancelled.
  bool PrinterSetup(HWND owner);
  // The print preview, modal.
  void Preview(HWND owner);
  // Prints on the report's printer; where none was set up, on the default
  // one. False when nothing was printed.
  bool Print(HWND owner);

  // Draws the page on `dc` as `device` places it, `now` in the title band.
  void RenderPage(HDC dc, const PageDevice& device, const std::string& now);
  // Draws the page on `dc` at the device's resolution, from the paper's
  // edge, with the time now.
  void Render(HDC dc);

  // What the chart showed when the page was last drawn.
  const Envelope& ChartShown() const { return shown_; }
  const ChartScales& ChartScalesShown() const { return scales_; }

  int PageCount() override { return 1; }
  void DrawPage(HDC dc, const PageDevice& device, int index, const std::string& now) override;

 private:
  const page::PageSpec& spec_;
  ReportPrinter printer_;
  LineChart::Source source_;
  Envelope shown_;
  ChartScales scales_;
};

// The speed report: speed against position, with the run's settings.
class TForm2 : public TReportPage {
 public:
  TForm2();
};

// The time report: the time of every block against its position.
class TForm3 : public TReportPage {
 public:
  TForm3();
};

}  // namespace dt::win
