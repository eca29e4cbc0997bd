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

TForm1::TForm1(MainThread& mainThread, QWidget* parent)
    : QWidget(parent), mainThread_(mainThread) {
  built_ = std::make_unique<BuiltForm>(this, MainWindowForm(),
                                       [](const form::ControlSpec& c, QWidget* p) -> QWidget* {
                                         if (c.kind == form::Kind::Clock) return new ClockLabel(p);
                                         if (c.kind == form::Kind::Chart)
                                           return new LineChart(QString::fromUtf8(c.caption), p);
                                         return nullptr;
                                       });
  view_ = std::make_unique<QtView>(this, *built_);
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

TReportPage* TForm1::Page(app::Report which) const {
  if (which == app::Report::Speed) return forms_.Form2;
  return forms_.Form3;
}

void TForm1::SetReportLabels(app::Report which, const std::array<std::string, 8>& captions) {
  TReportPage* report = Page(which);
  ReportLabel* labels[] = {&report->QRLabel1, &report->QRLabel2, &report->QRLabel3,
                           &report->QRLabel4, &report->QRLabel5, &report->QRLabel6,
                           &report->QRLabel7, &report->QRLabel8};
  for (std::size_t i = 0; i < captions.size(); ++i) labels[i]->Caption = Q(captions[i]);
}

void TForm1::SetReportTitle(const std::string& caption) {
  forms_.Form2->QRLabel9.Caption = Q(caption);
  forms_.Form3->QRLabel9.Caption = Q(caption);
}

void TForm1::PrinterSetup(app::Report which) {
  Page(which)->PrinterSetup(this);
}

void TForm1::Preview(app::Report which) {
  Page(which)->Preview(this);
}

void TForm1::Print(app::Report which) {
  Page(which)->Print(this);
}

void TForm1::ShowTimeView() {
  forms_.Form4->ShowModal();
}

void TForm1::ShowErrors() {
  forms_.ErrListFrm->ShowModal();
}

void TForm1::ShowSmart(int drive, const SmartOptions& options) {
  forms_.SMARTinfo->Logic().ShowReport(drive, options);
}

void TForm1::ShowSurfaceTest(const DriveRef& drive) {
  ShowSurfaceWindow(forms_, drive);
}

}  // namespace dt::ui
