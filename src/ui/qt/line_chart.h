// Line charts of the point table: the speed chart of the main window, the
// time chart window and the charts of the printed reports.
//
// A chart does not follow its table: it is re-read when its owner says so
// (Reload / Refresh), and then shows the envelope of the table for the
// chart's width, so millions of records cost a few thousand drawn points.
#pragma once

#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>
#include <QLabel>
#include <cstdint>
#include <functional>
#include <vector>

#include "speedtest/chart_envelope.h"

#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
QT_CHARTS_USE_NAMESPACE
#endif

namespace dt::ui {

// A line chart with one series, its own axes and no legend, filled from a
// source that turns the table into an envelope of a given width; the axes
// take the scales of chart_axis.h.
class DataChart : public QChart {
 public:
  using Source = std::function<Envelope(int columns)>;

  explicit DataChart(const QString& title);

  void SetSource(Source source) { source_ = std::move(source); }
  // Re-reads the table for a chart of `columns` pixel columns.
  void Reload(int columns);

  QLineSeries* Series() const { return series_; }
  QValueAxis* AxisX() const { return axisX_; }
  QValueAxis* AxisY() const { return axisY_; }
  // The points the last Reload drew.
  int ShownPoints() const { return shown_; }

 private:
  Source source_;
  QLineSeries* series_;
  QValueAxis* axisX_;
  QValueAxis* axisY_;
  int shown_ = 0;
};

// A DataChart on screen.
class LineChart : public QChartView {
 public:
  explicit LineChart(const QString& title, QWidget* parent = nullptr);

  DataChart* Chart() const { return chart_; }
  // Re-reads the table for the current width.
  void Refresh();
  // Shows a picture (RGB rows from the top) in place of the chart, or the
  // chart again.
  void SetImage(int width, int height, const std::vector<std::uint8_t>& rgb);
  void ClearImage();

 protected:
  void resizeEvent(QResizeEvent* e) override;

 private:
  DataChart* chart_;
  QLabel* image_ = nullptr;
};

}  // namespace dt::ui
