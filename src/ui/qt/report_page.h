// A printed report of the point table, drawn with QPainter on a QPrinter as
// its page description says (speedtest/report_forms.h): the title band, the
// labels taken from the main window and the line chart. The preview, the
// print and the printer setup all use the report's own printer.
#pragma once

#include <QGraphicsScene>
#include <QObject>
#include <QPrinter>
#include <QRectF>
#include <QString>
#include <memory>
#include <string>

#include "forms/page.h"
#include "ui/qt/line_chart.h"

class QWidget;
class QPainter;

namespace dt::ui {

// A text on the page, placed by its top-left corner in millimetres from the
// page's top-left edge, as the description places it.
struct ReportLabel {
  QString Caption;
  double LeftMm = 0;
  double TopMm = 0;
};

class TReportPage : public QObject {
  Q_OBJECT
 public:
  explicit TReportPage(const page::PageSpec& spec, QObject* parent = nullptr);
  ~TReportPage() override;

  ReportLabel QRLabel1, QRLabel2, QRLabel3, QRLabel4, QRLabel5, QRLabel6, QRLabel7, QRLabel8;
  // The title band's label (processor clock and drive identity).
  ReportLabel QRLabel9;

  // The chart of the page; it reads the table each time the page is drawn.
  DataChart* QRDBChart1() const { return chart_; }
  const page::PageSpec& Spec() const { return spec_; }

  // The printer the report goes to: the paper and margins of the
  // description, unless the printer setup changed them.
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
  // The label member of that name (QRLabel1 to QRLabel9), or null.
  ReportLabel* Label(const std::string& name);

  const page::PageSpec& spec_;
  QPrinter printer_;
  QGraphicsScene scene_;
  DataChart* chart_;
};

}  // namespace dt::ui
