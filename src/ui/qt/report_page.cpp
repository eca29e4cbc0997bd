#include "ui/qt/report_page.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QGraphicsLayout>
#include <QLocale>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QtCharts/QLegend>
#include <string>

#include "ui/qt/page_painter.h"

namespace dt::ui {

namespace {

// Fonts of the chart in pixels of its layout, so that they scale with it.
void SetChartFonts(DataChart* c, const page::ChartSpec& spec) {
  QFont title(spec.fontFamily);
  title.setPixelSize(spec.titlePixels);
  title.setBold(true);
  c->setTitleFont(title);
  QFont labels(spec.fontFamily);
  labels.setPixelSize(spec.labelPixels);
  c->AxisX()->setLabelsFont(labels);
  c->AxisY()->setLabelsFont(labels);
}

QRectF Rect(const page::RectMm& r) {
  return QRectF(r.left, r.top, r.width, r.height);
}

}  // namespace

TReportPage::TReportPage(const page::PageSpec& spec, QObject* parent)
    : QObject(parent),
      ReportLabels(spec),
      spec_(spec),
      printer_(QPrinter::HighResolution),
      chart_(new DataChart(QString::fromUtf8(spec.chart->title))) {
  setObjectName(spec.name);
  SetUpPrinter(&printer_, spec);

  const page::ChartSpec& c = *spec.chart;
  QPen pen(Rgb(c.lineRgb));
  pen.setWidthF(1.0);
  if (c.dashDotDot) {
    pen.setStyle(Qt::DashDotDotLine);
    chart_->AxisX()->setLinePen(pen);
    chart_->AxisY()->setLinePen(pen);
    chart_->AxisX()->setGridLinePen(QPen(Rgb(c.gridRgb), 1, Qt::DashDotDotLine));
    chart_->AxisY()->setGridLinePen(QPen(Rgb(c.gridRgb), 1, Qt::DashDotDotLine));
  }
  chart_->Series()->setPen(pen);
  if (!c.leftGrid) chart_->AxisY()->setGridLineVisible(false);
  chart_->setBackgroundVisible(false);
  chart_->setDropShadowEnabled(false);
  SetChartFonts(chart_, c);
  scene_.addItem(chart_);
  chart_->setGeometry(QRectF(QPointF(0, 0), Rect(c.place).size() * (c.layoutDpi / 25.4)));
}

TReportPage::~TReportPage() = default;

bool TReportPage::PrinterSetup(QWidget* parent) {
  QPrintDialog dialog(&printer_, parent);
  return dialog.exec() == QDialog::Accepted;
}

void TReportPage::Preview(QWidget* parent) {
  QPrintPreviewDialog dialog(&printer_, parent);
  dialog.setWindowTitle(QString::fromUtf8(spec_.caption));
  connect(&dialog, &QPrintPreviewDialog::paintRequested, this,
          [this](QPrinter* p) { PaintPage(p); });
  dialog.resize(page::kPreviewWidth, page::kPreviewHeight);
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

  // The title band's and the page's labels, each at its top-left corner.
  const QString now = QLocale().toString(QDateTime::currentDateTime(), QLocale::ShortFormat);
  for (const page::LabelSpec& l : spec_.labels) {
    const ReportLabel* label = Label(l.name);
    if (!label && l.shows != page::Shows::PrintTime) continue;
    p->setFont(PageFont(l.font));
    p->drawText(QPointF(at(l.leftMm), at(l.topMm)) + QPointF(0, p->fontMetrics().ascent()),
                label ? QString::fromStdString(label->Caption) : now);
  }

  // The chart reads the table now, for the width it has on paper.
  const QRectF chartMm = Rect(spec_.chart->place);
  chart_->Reload(static_cast<int>(chartMm.width() * spec_.chart->columnsPerMm));
  // The chart lays out its axes on the next pass of the event loop; the
  // page is drawn now, so lay it out at once.
  QCoreApplication::sendPostedEvents();
  if (chart_->layout()) chart_->layout()->activate();
  const QRectF target(at(chartMm.left()), at(chartMm.top()), at(chartMm.width()),
                      at(chartMm.height()));
  scene_.render(p, target, chart_->geometry(), Qt::IgnoreAspectRatio);
}

}  // namespace dt::ui
