// A printed report of the point table: one A4 landscape page with a title
// band (date and time of printing and QRLabel9), two columns of labels
// taken from the main window, and a line chart. Drawn with QPainter on a
// QPrinter; the preview, the print and the printer setup all use the
// report's own printer.
#pragma once

#include <QGraphicsScene>
#include <QObject>
#include <QPrinter>
#include <QRectF>
#include <QString>
#include <memory>

#include "speedtest/ui/line_chart.h"

class QWidget;
class QPainter;

namespace dt::ui {

// A text on the page, placed by its top-left corner in millimetres from the
// page's top-left edge.
struct ReportLabel {
  QString Caption;
  double LeftMm = 0;
  double TopMm = 0;
};

// Where things sit on a report page, in millimetres from the page's edges.
struct ReportLayout {
  QString reportTitle;  // the print job's name; empty for none
  QString chartTitle;
  double titleBandHeightMm = 0;
  double label9OffsetMm = 0;  // right of the title band's left edge
  double leftColumnMm = 0;
  double rightColumnMm = 0;
  QRectF chartMm;
  bool dashDotDot = false;    // line and axis ticks drawn dash-dot-dot
  bool hideLeftGrid = false;  // no grid lines along the left axis
};

class TReportPage : public QObject {
  Q_OBJECT
 public:
  static constexpr double kMarginMm = 10.0;
  static constexpr double kRowsMm[4] = {25.4, 31.75, 38.1, 44.45};

  explicit TReportPage(const ReportLayout& layout, QObject* parent = nullptr);
  ~TReportPage() override;

  ReportLabel QRLabel1, QRLabel2, QRLabel3, QRLabel4, QRLabel5, QRLabel6, QRLabel7, QRLabel8;
  // The title band's label (processor clock and drive identity).
  ReportLabel QRLabel9;

  // The chart of the page; it reads the table each time the page is drawn.
  DataChart* QRDBChart1() const { return chart_; }
  const ReportLayout& Layout() const { return layout_; }

  // The printer the report goes to: A4 landscape, 10 mm margins, unless the
  // printer setup changed it.
  QPrinter* Printer() { return &printer_; }

  // The print dialog (printer, page range). False when it was cancelled.
  bool PrinterSetup(QWidget* parent);
  // The print preview, modal.
  void Preview(QWidget* parent);
  // Prints to the current printer. Where there is none (no printer installed
  // and no file chosen), the print dialog comes first. False when nothing
  // was printed.
  bool Print(QWidget* parent);
  // Draws the page onto `printer`.
  void PaintPage(QPrinter* printer);

 private:
  void DrawPage(QPainter* p, double dotsPerMm);

  ReportLayout layout_;
  QPrinter printer_;
  QGraphicsScene scene_;
  DataChart* chart_;
};

}  // namespace dt::ui
