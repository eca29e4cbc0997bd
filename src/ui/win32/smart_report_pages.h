// The printed SMART report: the lines of the last report (the data module's
// RxMemoryData2) under a page header, drawn with GDI as the page
// descriptions of ata/smart_report_form.h say, portrait with small print
// (TSmartRep) or landscape (TSMARTrepLandscape). The preview, the print and
// the printer setup share the report's printer settings.
#pragma once

#include <string>
#include <vector>

#include "forms/page.h"
#include "ui/win32/gdi_page.h"
#include "ui/win32/report_page.h"

namespace dt::win {

class TSmartReportPage : public Printout {
 public:
  // `lines` are the records printed, one detail band each; the page keeps
  // the pointer.
  TSmartReportPage(const page::PageSpec& spec, const std::vector<std::string>* lines);
  ~TSmartReportPage() override;

  // The form's caption, which the preview window shows.
  std::string Caption;
  // The page header's drive title, at the band's left edge.
  ReportLabel QRLabel1;

  const page::PageSpec& Spec() const override { return spec_; }
  // The font of the lines, which the SMART window's font does not change.
  const page::Font& DetailFont() const { return spec_.detail; }
  ReportPrinter& Printer() { return printer_; }

  // The printer setup dialog; false when it was cancelled.
  bool PrinterSetup(HWND owner);
  // The print preview, modal.
  void Preview(HWND owner);
  // Prints every page on the report's printer; where none was set up, on
  // the default one. False when nothing was printed.
  bool Print(HWND owner);

  // The pages of the records now: each record word-wrapped to the width
  // inside the margins in the detail font, placed below the page header.
  int PageCount() override;
  // Draws the page `index` (from 0) of the last PageCount's layout on `dc`
  // as `device` places it.
  void RenderPage(HDC dc, const PageDevice& device, int index, const std::string& now);
  // Draws the page `index` on `dc` at the device's resolution, from the
  // paper's edge, with the time now.
  void Render(HDC dc, int index);

  void DrawPage(HDC dc, const PageDevice& device, int index, const std::string& now) override;

 private:
  struct Line;
  // Lays the records out in millimetres, measured once at a fine
  // resolution, so that every device breaks them alike.
  void LayOut();
  void DrawHeader(HDC dc, const PageDevice& device, int index, const std::string& now);
  // The millimetres that the header label `label` has from `left` to the
  // next label of its line (or the right margin).
  double RoomMm(const page::LabelSpec& label, double left) const;

  const page::PageSpec& spec_;
  const std::vector<std::string>* lines_;
  ReportPrinter printer_;
  std::vector<Line> laid_;
  int pages_ = 1;
};

class TSmartRep : public TSmartReportPage {
 public:
  explicit TSmartRep(const std::vector<std::string>* lines);
};

class TSMARTrepLandscape : public TSmartReportPage {
 public:
  explicit TSMARTrepLandscape(const std::vector<std::string>* lines);
};

}  // namespace dt::win
