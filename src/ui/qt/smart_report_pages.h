// The printed SMART report: the lines of the last report (the data module's
// RxMemoryData2) under a page header, drawn with QPainter as the page
// descriptions of ata/smart_report_form.h say, portrait with small print
// (TSmartRep) or landscape (TSMARTrepLandscape), on the report's own
// QPrinter, which the preview, the print and the printer setup share.
#pragma once

#include <QFont>
#include <QObject>
#include <QPrinter>
#include <QString>
#include <string>
#include <vector>

#include "forms/page.h"
#include "ui/qt/report_page.h"

class QPainter;
class QWidget;

namespace dt::ui {

class TSmartReportPage : public QObject {
  Q_OBJECT
 public:
  // `lines` are the records printed, one detail band each; the page keeps
  // the pointer.
  TSmartReportPage(const page::PageSpec& spec, const std::vector<std::string>* lines,
                   QObject* parent = nullptr);
  ~TSmartReportPage() override;

  // The form's caption, which the preview window shows.
  QString Caption;
  // The page header's drive title, at the band's left edge.
  ReportLabel QRLabel1;

  const page::PageSpec& Spec() const { return spec_; }
  // The font of the lines.
  QFont DetailFont() const;

  // The printer the report goes to: the paper and margins of the
  // description, unless the printer setup changed them.
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
  // Draws the page header of page `number` (from 1); returns its height in
  // device pixels.
  double DrawHeader(QPainter* p, double dotsPerMm, const QString& now, int number);

  const page::PageSpec& spec_;
  const std::vector<std::string>* lines_;
  QPrinter printer_;
};

class TSmartRep : public TSmartReportPage {
  Q_OBJECT
 public:
  explicit TSmartRep(const std::vector<std::string>* lines, QObject* parent = nullptr);
};

class TSMARTrepLandscape : public TSmartReportPage {
  Q_OBJECT
 public:
  explicit TSMARTrepLandscape(const std::vector<std::string>* lines, QObject* parent = nullptr);
};

}  // namespace dt::ui
