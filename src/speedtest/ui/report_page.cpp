#include "speedtest/ui/report_page.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QGraphicsLayout>
#include <QLocale>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QtCharts/QLegend>

namespace dt::ui {

namespace {

// The chart is laid out at screen resolution and scaled onto the page, so
// that its fonts and lines keep the proportions they have on screen.
constexpr double kChartDotsPerMm = 96.0 / 25.4;
// Envelope columns per millimetre of chart width: finer than any printer
// line, so the printed curve is exact.
constexpr double kColumnsPerMm = 8.0;

QFont ReportFont(bool bold) {
  QFont f("Arial");
  f.setPointSizeF(10);
  f.setBold(bold);
  return f;
}

// Fonts of the chart in pixels of its layout, so that they scale with it.
void SetChartFonts(DataChart* c) {
  QFont title("Arial");
  title.setPixelSize(13);
  title.setBold(true);
  c->setTitleFont(title);
  QFont labels("Arial");
  labels.setPixelSize(11);
  c->AxisX()->setLabelsFont(labels);
  c->AxisY()->setLabelsFont(labels);
}

}  // namespace

TReportPage::TReportPage(const ReportLayout& layout, QObject* parent)
    : QObject(parent),
      layout_(layout),
      printer_(QPrinter::HighResolution),
      chart_(new DataChart(layout.chartTitle)) {
  const double left[8] = {layout.leftColumnMm,  layout.leftColumnMm,  layout.leftColumnMm,
                          layout.rightColumnMm, layout.rightColumnMm, layout.rightColumnMm,
                          layout.rightColumnMm, layout.leftColumnMm};
  const double top[8] = {kRowsMm[0], kRowsMm[1], kRowsMm[2], kRowsMm[0],
                         kRowsMm[1], kRowsMm[2], kRowsMm[3], kRowsMm[3]};
  ReportLabel* labels[8] = {&QRLabel1, &QRLabel2, &QRLabel3, &QRLabel4,
                            &QRLabel5, &QRLabel6, &QRLabel7, &QRLabel8};
  for (int i = 0; i < 8; ++i) {
    labels[i]->Caption = QString("QRLabel%1").arg(i + 1);
    labels[i]->LeftMm = left[i];
    labels[i]->TopMm = top[i];
  }
  QRLabel9.LeftMm = kMarginMm + layout.label9OffsetMm;
  QRLabel9.TopMm = kMarginMm;

  printer_.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape,
                                     QMarginsF(kMarginMm, kMarginMm, kMarginMm, kMarginMm),
                                     QPageLayout::Millimeter));
  printer_.setFullPage(true);
  printer_.setDocName(layout.reportTitle);

  QPen pen(Qt::black);
  pen.setWidthF(1.0);
  if (layout.dashDotDot) {
    pen.setStyle(Qt::DashDotDotLine);
    chart_->AxisX()->setLinePen(pen);
    chart_->AxisY()->setLinePen(pen);
    chart_->AxisX()->setGridLinePen(QPen(Qt::lightGray, 1, Qt::DashDotDotLine));
    chart_->AxisY()->setGridLinePen(QPen(Qt::lightGray, 1, Qt::DashDotDotLine));
  }
  chart_->Series()->setPen(pen);
  if (layout.hideLeftGrid) chart_->AxisY()->setGridLineVisible(false);
  chart_->setBackgroundVisible(false);
  chart_->setDropShadowEnabled(false);
  SetChartFonts(chart_);
  scene_.addItem(chart_);
  chart_->setGeometry(QRectF(QPointF(0, 0), layout.chartMm.size() * kChartDotsPerMm));
}

TReportPage::~TReportPage() = default;

bool TReportPage::PrinterSetup(QWidget* parent) {
  QPrintDialog dialog(&printer_, parent);
  return dialog.exec() == QDialog::Accepted;
}

void TReportPage::Preview(QWidget* parent) {
  QPrintPreviewDialog dialog(&printer_, parent);
  dialog.setWindowTitle(layout_.reportTitle.isEmpty() ? QString("Preview") : layout_.reportTitle);
  connect(&dialog, &QPrintPreviewDialog::paintRequested, this,
          [this](QPrinter* p) { PaintPage(p); });
  dialog.resize(1000, 760);
  dialog.exec();
}

bool TReportPage::Print(QWidget* parent) {
  const bool noPrinter = printer_.outputFormat() == QPrinter::PdfFormat
                             ? printer_.outputFileName().isEmpty()
                             : !printer_.isValid();
  if (noPrinter && !PrinterSetup(parent)) return false;
  QPainter painter;
  if (!painter.begin(&printer_)) return false;
  DrawPage(&painter, printer_.resolution() / 25.4);
  painter.end();
  return true;
}

void TReportPage::PaintPage(QPrinter* printer) {
  printer->setFullPage(true);
  QPainter painter;
  if (!painter.begin(printer)) return;
  DrawPage(&painter, printer->resolution() / 25.4);
  painter.end();
}

void TReportPage::DrawPage(QPainter* p, double dotsPerMm) {
  auto at = [&](double mm) { return mm * dotsPerMm; };
  p->setRenderHint(QPainter::Antialiasing, true);
  p->setRenderHint(QPainter::TextAntialiasing, true);
  p->setPen(Qt::black);

  // Title band: the date and time of printing at its left edge, QRLabel9 to
  // its right, bold.
  p->setFont(ReportFont(true));
  const double bandTop = kMarginMm;
  const QString now = QLocale().toString(QDateTime::currentDateTime(), QLocale::ShortFormat);
  p->drawText(QPointF(at(kMarginMm), at(bandTop)) + QPointF(0, p->fontMetrics().ascent()), now);
  p->drawText(
      QPointF(at(QRLabel9.LeftMm), at(QRLabel9.TopMm)) + QPointF(0, p->fontMetrics().ascent()),
      QRLabel9.Caption);

  p->setFont(ReportFont(false));
  for (const ReportLabel* l :
       {&QRLabel1, &QRLabel2, &QRLabel3, &QRLabel4, &QRLabel5, &QRLabel6, &QRLabel7, &QRLabel8}) {
    p->drawText(QPointF(at(l->LeftMm), at(l->TopMm)) + QPointF(0, p->fontMetrics().ascent()),
                l->Caption);
  }

  // The chart reads the table now, for the width it has on paper.
  const QRectF chartMm = layout_.chartMm;
  chart_->Reload(static_cast<int>(chartMm.width() * kColumnsPerMm));
  // The chart lays out its axes on the next pass of the event loop; the
  // page is drawn now, so lay it out at once.
  QCoreApplication::sendPostedEvents();
  if (chart_->layout()) chart_->layout()->activate();
  const QRectF target(at(chartMm.left()), at(chartMm.top()), at(chartMm.width()),
                      at(chartMm.height()));
  scene_.render(p, target, chart_->geometry(), Qt::IgnoreAspectRatio);
}

}  // namespace dt::ui
