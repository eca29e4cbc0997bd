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

using page::ReportLabel;

class TReportPage : public QObject, public page::ReportLabels {
  Q_OBJECT
 public:
  explicit TReportPage(const page::PageSpec& spec, QObject* parent = nullptr);
  ~TReportPage() override;

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

  const page::PageSpec& spec_;
  QPrinter printer_;
  QGraphicsScene scene_;
  DataChart* chart_;
};

}  // namespace dt::ui
