// The printed SMART report: the lines of the last report (the data module's
// RxMemoryData2), one detail band per line in a fixed-pitch font with word
// wrap, under a page header with the drive title, the date and time of
// printing and the page number. Two layouts: portrait with small print
// (TSmartRep) and landscape (TSMARTrepLandscape). Drawn with QPainter on the
// report's own QPrinter, which the preview, the print and the printer setup
// share.
#pragma once

#include <QFont>
#include <QObject>
#include <QPageLayout>
#include <QPrinter>
#include <QString>
#include <string>
#include <vector>

#include "speedtest/ui/report_page.h"

class QPainter;
class QWidget;

namespace dt::ui {

// Where the parts of a SMART report page sit. Header positions are pixels of
// the page header band at 96 dots per inch, the band spanning the width
// inside the margins.
struct SmartPageLayout {
  QPageLayout::Orientation orientation = QPageLayout::Portrait;
  double detailPoints = 6;  // "Courier New" size of the lines
  int bandPixels = 718;
  int dateLeftPixels = 456;
  int pageLeftPixels = 632;
};

class TSmartReportPage : public QObject {
  Q_OBJECT
 public:
  static constexpr double kMarginMm = 10.0;

  // `lines` are the records printed, one detail band each; the page keeps
  // the pointer.
  TSmartReportPage(const SmartPageLayout& layout, const std::vector<std::string>* lines,
                   QObject* parent = nullptr);
  ~TSmartReportPage() override;

  // The form's caption, which the preview window shows.
  QString Caption = "SMART report";
  // The page header's drive title, at the band's left edge.
  ReportLabel QRLabel1;

  const SmartPageLayout& Layout() const { return layout_; }
  // The font of the lines and the bold header font.
  QFont DetailFont() const;
  static QFont HeaderFont();

  // The printer the report goes to: A4 in the layout's orientation with
  // 10 mm margins, unless the printer setup changed it.
  QPrinter* Printer() { return &printer_; }

  // The printer setup dialog; false when it was cancelled.
  bool PrinterSetup(QWidget* parent);
  // The print preview, modal.
  void Preview(QWidget* parent);
  // Prints on the report's printer; false when it cannot be opened.
  // Prints to the current printer; without one, the print dialog asks first.
  bool Print(QWidget* parent = nullptr);
  // Draws every page onto `printer`; returns the number of pages.
  int PaintPages(QPrinter* printer);

 private:
  // Draws the page header of page `page` (from 1); returns its height in
  // device pixels.
  double DrawHeader(QPainter* p, double dotsPerMm, const QString& now, int page);

  SmartPageLayout layout_;
  const std::vector<std::string>* lines_;
  QPrinter printer_;
};

// A4 portrait, lines in 6 point.
class TSmartRep : public TSmartReportPage {
  Q_OBJECT
 public:
  explicit TSmartRep(const std::vector<std::string>* lines, QObject* parent = nullptr);
};

// A4 landscape, lines in 8 point.
class TSMARTrepLandscape : public TSmartReportPage {
  Q_OBJECT
 public:
  explicit TSMARTrepLandscape(const std::vector<std::string>* lines, QObject* parent = nullptr);
};

}  // namespace dt::ui
