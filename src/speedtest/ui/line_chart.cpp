#include "speedtest/ui/line_chart.h"

#include <QtCharts/QLegend>
#include <algorithm>
#include <cmath>

namespace dt::ui {

namespace {

// Columns of the envelope: at least as many as any ordinary screen shows, so
// that the curve stays exact when the window is enlarged before the next
// refresh.
constexpr int kMinColumns = 2048;

// Sets a range rounded out to nice numbers, with labels of as many decimals
// as the tick spacing needs ("%.Nf": the one form that localised labels take).
void SetRange(QValueAxis* axis, double lo, double hi) {
  if (!(hi > lo)) {
    lo -= 1;
    hi += 1;
  }
  axis->setRange(lo, hi);
  axis->applyNiceNumbers();
  const double step = (axis->max() - axis->min()) / std::max(axis->tickCount() - 1, 1);
  const int decimals = step >= 1 || step <= 0
                           ? 0
                           : std::min(9, static_cast<int>(std::ceil(-std::log10(step) - 1e-9)));
  axis->setLabelFormat(QString("%.%1f").arg(decimals));
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
  axisX_->setRange(0, 100);
  axisY_->setRange(0, 100);
}

void DataChart::Reload(int columns) {
  Envelope e;
  if (source_) e = source_(std::max(columns, 1));
  shown_ = static_cast<int>(e.points.size());
  series_->replace(e.points);
  if (e.empty()) {
    axisX_->setRange(0, 100);
    axisY_->setRange(0, 100);
    return;
  }
  SetRange(axisX_, e.xMin, e.xMax);
  SetRange(axisY_, e.yMin, e.yMax);
}

// The chart is handed to the view at construction: a view made without one
// creates a default chart that setChart() would release without deleting.
LineChart::LineChart(const QString& title, QWidget* parent)
    : QChartView(new DataChart(title), parent), chart_(static_cast<DataChart*>(chart())) {
  setRenderHint(QPainter::Antialiasing, true);
  setFrameShape(QFrame::NoFrame);
}

void LineChart::Refresh() {
  chart_->Reload(std::max(width(), kMinColumns));
}

}  // namespace dt::ui
