#include "ui/qt/main_window.h"

#include <QCloseEvent>

#include "app/main_window_form.h"
#include "ui/qt/clock_label.h"
#include "ui/qt/data_module.h"
#include "ui/qt/errors_window.h"
#include "ui/qt/line_chart.h"
#include "ui/qt/range_dialog.h"
#include "ui/qt/smart_window.h"
#include "ui/qt/speed_report.h"
#include "ui/qt/surface_window.h"
#include "ui/qt/time_report.h"
#include "ui/qt/time_view.h"
#include "ui/qt/widgets.h"

namespace dt::ui {

TForm1::TForm1(MainThread& mainThread, QWidget* parent) : QWidget(parent), mainThread_(mainThread) {
  built_ = std::make_unique<BuiltForm>(this, MainWindowForm(),
                                       [](const form::ControlSpec& c, QWidget* p) -> QWidget* {
                                         if (c.kind == form::Kind::Clock) return new ClockLabel(p);
                                         if (c.kind == form::Kind::Chart)
                                           return new LineChart(QString::fromUtf8(c.caption), p);
                                         return nullptr;
                                       });
  view_ = std::make_unique<QtView>(this, *built_);
  owner_ = this;
}

TForm1::~TForm1() {
  logic_.reset();
}

void TForm1::FormCreate(const Forms& forms) {
  forms_ = forms;
  PointTable& table = forms_.DataModule1->RxMemoryData1;
  Get<LineChart>("DBChart1")->Chart()->SetSource(PointSource(&table, PointField::Speed));
  forms_.Form4->DBChart1->Chart()->SetSource(PointSource(&table, PointField::Tm));
  forms_.Form2->QRDBChart1()->SetSource(PointSource(&table, PointField::Speed));
  forms_.Form3->QRDBChart1()->SetSource(PointSource(&table, PointField::Tm));
  app::MainWindowHost& host = *this;
  logic_ = std::make_unique<app::MainWindow>(*view_, host, *forms_.ErrListFrm, *forms_.RangeForm,
                                             mainThread_, table);
}

void TForm1::showEvent(QShowEvent* e) {
  QWidget::showEvent(e);
  if (!e->spontaneous() && logic_) logic_->FormShow();
}

void TForm1::resizeEvent(QResizeEvent* e) {
  QWidget::resizeEvent(e);
  if (logic_) logic_->FormResize();
}

void TForm1::closeEvent(QCloseEvent* e) {
  FinishRun();
  QWidget::closeEvent(e);
}

void TForm1::ShowSurfaceTest(const DriveRef& drive) {
  ShowSurfaceWindow(forms_, drive);
}

}  // namespace dt::ui
