#include "ui/qt/line_chart.h"

#include <QtCharts/QLegend>
#include <algorithm>

#include "speedtest/chart_axis.h"

namespace dt::ui {

namespace {

void SetScale(QValueAxis* axis, const AxisScale& scale) {
  axis->setRange(scale.min, scale.max);
  axis->setTickCount(scale.ticks);
  axis->setLabelFormat(QString("%.%1f").arg(scale.decimals));
}

}  // namespace

DataChart::DataChart(const QString& title)
    : series_(new QLineSeries), axisX_(new QValueAxis), axisY_(new QValueAxis) {
  setTitle(title);
  QFont f = titleFont();
  f.setBold(true);
  setTitleFont(f);
  legend()->hide();
  setBackgroundRoundness(0);
  setLocalizeNumbers(true);
  setMargins(QMargins(4, 4, 8, 4));

  QPen pen(Qt::red);
  pen.setWidthF(1.0);
  series_->setPen(pen);
  series_->setPointsVisible(false);
  series_->setPointLabelsVisible(false);
  addSeries(series_);

  axisX_->setLabelFormat("%.0f");
  axisY_->setLabelFormat("%.0f");
  addAxis(axisX_, Qt::AlignBottom);
  addAxis(axisY_, Qt::AlignLeft);
  series_->attachAxis(axisX_);
  series_->attachAxis(axisY_);
  axisX_->setRange(kEmptyScale.min, kEmptyScale.max);
  axisY_->setRange(kEmptyScale.min, kEmptyScale.max);
}

void DataChart::Reload(int columns) {
  Envelope e;
  if (source_) e = source_(std::max(columns, 1));
  shown_ = static_cast<int>(e.points.size());
  QVector<QPointF> points;
  points.reserve(static_cast<int>(e.points.size()));
  for (const ChartPoint& p : e.points) points.append(QPointF(p.x, p.y));
  series_->replace(points);
  if (e.empty()) {
    axisX_->setRange(kEmptyScale.min, kEmptyScale.max);
    axisY_->setRange(kEmptyScale.min, kEmptyScale.max);
    return;
  }
  SetScale(axisX_, NiceScale(e.xMin, e.xMax, axisX_->tickCount()));
  SetScale(axisY_, NiceScale(e.yMin, e.yMax, axisY_->tickCount()));
}

// The chart is handed to the view at construction: a view made without one
// creates a default chart that setChart() would release without deleting.
LineChart::LineChart(const QString& title, QWidget* parent)
    : QChartView(new DataChart(title), parent), chart_(static_cast<DataChart*>(chart())) {
  setRenderHint(QPainter::Antialiasing, true);
  setFrameShape(QFrame::NoFrame);
}

void LineChart::Refresh() {
  chart_->Reload(std::max(width(), kMinScreenColumns));
}

void LineChart::SetImage(int width, int height, const std::vector<std::uint8_t>& rgb) {
  if (!image_) {
    image_ = new QLabel(this);
    image_->setScaledContents(true);
  }
  const QImage picture(rgb.data(), width, height, width * 3, QImage::Format_RGB888);
  image_->setPixmap(QPixmap::fromImage(picture.copy()));
  image_->setGeometry(rect());
  image_->show();
}

void LineChart::ClearImage() {
  if (image_) image_->hide();
}

void LineChart::resizeEvent(QResizeEvent* e) {
  QChartView::resizeEvent(e);
  if (image_) image_->setGeometry(rect());
}

}  // namespace dt::ui
