#include "ata/ui/smart_report_pages.h"

#include <QDateTime>
#include <QFontMetricsF>
#include <QLocale>
#include <QPageSize>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QTextLayout>
#include <QTextOption>
#include <algorithm>

namespace dt::ui {

namespace {

// Header positions are given in pixels of a 96 dpi band.
constexpr double kMmPerPixel = 25.4 / 96.0;

}  // namespace

TSmartReportPage::TSmartReportPage(const SmartPageLayout& layout,
                                   const std::vector<std::string>* lines, QObject* parent)
    : QObject(parent), layout_(layout), lines_(lines), printer_(QPrinter::HighResolution) {
  QRLabel1.Caption = "QRLabel1";
  QRLabel1.LeftMm = kMarginMm;
  QRLabel1.TopMm = kMarginMm;
  printer_.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), layout.orientation,
                                     QMarginsF(kMarginMm, kMarginMm, kMarginMm, kMarginMm),
                                     QPageLayout::Millimeter));
  printer_.setFullPage(true);
  printer_.setDocName(Caption);
}

TSmartReportPage::~TSmartReportPage() = default;

QFont TSmartReportPage::DetailFont() const {
  QFont f("Courier New");
  f.setStyleHint(QFont::TypeWriter);
  f.setFixedPitch(true);
  f.setPointSizeF(layout_.detailPoints);
  return f;
}

QFont TSmartReportPage::HeaderFont() {
  QFont f("Arial");
  f.setPointSizeF(10);
  f.setBold(true);
  return f;
}

bool TSmartReportPage::PrinterSetup(QWidget* parent) {
  QPrintDialog dialog(&printer_, parent);
  return dialog.exec() == QDialog::Accepted;
}

void TSmartReportPage::Preview(QWidget* parent) {
  QPrintPreviewDialog dialog(&printer_, parent);
  dialog.setWindowTitle(Caption);
  connect(&dialog, &QPrintPreviewDialog::paintRequested, this,
          [this](QPrinter* p) { PaintPages(p); });
  dialog.resize(1000, 760);
  dialog.exec();
}

bool TSmartReportPage::Print(QWidget* parent) {
  const bool noPrinter = printer_.outputFormat() == QPrinter::PdfFormat
                             ? printer_.outputFileName().isEmpty()
                             : !printer_.isValid();
  if (noPrinter && !PrinterSetup(parent)) return false;
  return PaintPages(&printer_) > 0;
}

double TSmartReportPage::DrawHeader(QPainter* p, double dotsPerMm, const QString& now, int page) {
  const QFont font = HeaderFont();
  p->setFont(font);
  const QFontMetricsF m(font, p->device());
  const double top = kMarginMm * dotsPerMm + m.ascent();
  const double band = kMarginMm * dotsPerMm;
  p->drawText(QPointF(QRLabel1.LeftMm * dotsPerMm, top), QRLabel1.Caption);
  p->drawText(QPointF(band + layout_.dateLeftPixels * kMmPerPixel * dotsPerMm, top), now);
  p->drawText(QPointF(band + layout_.pageLeftPixels * kMmPerPixel * dotsPerMm, top),
              "Page " + QString::number(page));
  // The band is one header line with half a line below it.
  return m.lineSpacing() * 1.5;
}

int TSmartReportPage::PaintPages(QPrinter* printer) {
  printer->setFullPage(true);
  QPainter p;
  if (!p.begin(printer)) return 0;
  p.setRenderHint(QPainter::TextAntialiasing, true);
  p.setPen(Qt::black);

  const double dotsPerMm = printer->resolution() / 25.4;
  const QRectF paper = printer->pageLayout().fullRectPixels(printer->resolution());
  const double margin = kMarginMm * dotsPerMm;
  const double width = paper.width() - 2 * margin;
  const double bottom = paper.height() - margin;
  // One time for every page of the job.
  const QString now = QLocale().toString(QDateTime::currentDateTime(), QLocale::ShortFormat);

  int page = 1;
  const double top = margin + DrawHeader(&p, dotsPerMm, now, page);
  double y = top;

  const QFont font = DetailFont();
  const double minHeight = QFontMetricsF(font, printer).lineSpacing();
  QTextOption option(Qt::AlignLeft);
  option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  for (const std::string& record : *lines_) {
    QTextLayout text(QString::fromStdString(record), font, printer);
    text.setTextOption(option);
    double height = 0;
    text.beginLayout();
    for (QTextLine line = text.createLine(); line.isValid(); line = text.createLine()) {
      line.setLineWidth(width);
      line.setPosition(QPointF(0, height));
      height += line.height();
    }
    text.endLayout();
    height = std::max(height, minHeight);
    if (y + height > bottom && y > top) {
      printer->newPage();
      ++page;
      DrawHeader(&p, dotsPerMm, now, page);
      y = top;
    }
    text.draw(&p, QPointF(margin, y));
    y += height;
  }
  p.end();
  return page;
}

namespace {

SmartPageLayout PortraitLayout() {
  SmartPageLayout l;
  l.orientation = QPageLayout::Portrait;
  l.detailPoints = 6;
  l.bandPixels = 718;
  l.dateLeftPixels = 456;
  l.pageLeftPixels = 632;
  return l;
}

SmartPageLayout LandscapeLayout() {
  SmartPageLayout l;
  l.orientation = QPageLayout::Landscape;
  l.detailPoints = 8;
  l.bandPixels = 1047;
  l.dateLeftPixels = 718;
  l.pageLeftPixels = 886;
  return l;
}

}  // namespace

TSmartRep::TSmartRep(const std::vector<std::string>* lines, QObject* parent)
    : TSmartReportPage(PortraitLayout(), lines, parent) {
  setObjectName("SmartRep");
}

TSMARTrepLandscape::TSMARTrepLandscape(const std::vector<std::string>* lines, QObject* parent)
    : TSmartReportPage(LandscapeLayout(), lines, parent) {
  setObjectName("SMARTrepLandscape");
}

}  // namespace dt::ui
