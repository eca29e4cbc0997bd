#include "ui/qt/main_window.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QThread>
#include <random>

#include "device/device.h"
#include "speedtest/main_window_form.h"
#include "ui/qt/data_module.h"
#include "ui/qt/errors_window.h"
#include "ui/qt/get_smart.h"
#include "ui/qt/range_dialog.h"
#include "ui/qt/speed_report.h"
#include "ui/qt/surface_window.h"
#include "ui/qt/time_report.h"
#include "ui/qt/time_view.h"
#include "ui/qt/widgets.h"
#include "ui/qt/window_geometry.h"

namespace dt::ui {

TForm1::TForm1(MainThread& mainThread, QWidget* parent)
    : QWidget(parent), mainThread_(mainThread), state_(MainWindowForm()) {
  built_ = std::make_unique<BuiltForm>(this, MainWindowForm(),
                                       [](const form::ControlSpec& c, QWidget* p) -> QWidget* {
                                         if (c.kind == form::Kind::Clock) return new ClockLabel(p);
                                         if (c.kind == form::Kind::Chart)
                                           return new LineChart(QString::fromUtf8(c.caption), p);
                                         return nullptr;
                                       });
  const BuiltForm& b = *built_;
  DriveComboBox1 = b.Get<QComboBox>("DriveComboBox1");
  ComboBox2 = b.Get<QComboBox>("ComboBox2");
  ComboBox1 = b.Get<QComboBox>("ComboBox1");
  Edit1 = b.Get<QLineEdit>("Edit1");
  BlockSizeFlg = b.Get<QCheckBox>("BlockSizeFlg");
  Button1 = b.Get<QPushButton>("Button1");
  Label5 = b.Get<QLabel>("Label5");
  Label6 = b.Get<QLabel>("Label6");
  PercentFlg = b.Get<QCheckBox>("PercentFlg");
  Button11 = b.Get<QPushButton>("Button11");
  Button9 = b.Get<QPushButton>("Button9");
  HelpFlg = b.Get<QCheckBox>("HelpFlg");
  IdentFlg = b.Get<QCheckBox>("IdentFlg");
  CheckBox1 = b.Get<QCheckBox>("CheckBox1");
  CheckBox2 = b.Get<QCheckBox>("CheckBox2");
  CheckBox3 = b.Get<QCheckBox>("CheckBox3");
  CheckBox4 = b.Get<QCheckBox>("CheckBox4");
  Physical = b.Get<QCheckBox>("Physical");
  RandomAccess = b.Get<QCheckBox>("RandomAccess");
  ErrMsgEn = b.Get<QCheckBox>("ErrMsgEn");
  Label8 = b.Get<QLabel>("Label8");
  Button2 = b.Get<QPushButton>("Button2");
  Button3 = b.Get<QPushButton>("Button3");
  Button4 = b.Get<QPushButton>("Button4");
  Label11 = b.Get<QLabel>("Label11");
  Edit2 = b.Get<QLineEdit>("Edit2");
  SmartReserv = b.Get<QCheckBox>("SmartReserv");
  EnglishFlg = b.Get<QCheckBox>("EnglishFlg");
  HealthFlg = b.Get<QCheckBox>("HealthFlg");
  Label9 = b.Get<QLabel>("Label9");
  Button5 = b.Get<QPushButton>("Button5");
  Button6 = b.Get<QPushButton>("Button6");
  Button7 = b.Get<QPushButton>("Button7");
  Button8 = b.Get<QPushButton>("Button8");
  Label3 = b.Get<QLabel>("Label3");
  Label2 = b.Get<QLabel>("Label2");
  Label4 = b.Get<QLabel>("Label4");
  Label7 = b.Get<QLabel>("Label7");
  Label1 = b.Get<QLabel>("Label1");
  DiskSz = b.Get<QLabel>("DiskSz");
  Label10 = b.Get<QLabel>("Label10");
  ElTime = b.Get<QLabel>("ElTime");
  RxClock1 = b.Get<ClockLabel>("RxClock1");
  Button10 = b.Get<QPushButton>("Button10");
  DBChart1 = b.Get<LineChart>("DBChart1");
  Timer1 = new QTimer(this);
  Timer1->setObjectName("Timer1");
  Timer1->setInterval(MainWindowForm().Find("Timer1")->rect.width);

  connect(Physical, &QCheckBox::toggled, this, [this] { PhysicalClick(); });
  connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
  connect(Button2, &QPushButton::clicked, this, [this] { Button2Click(); });
  connect(Button3, &QPushButton::clicked, this, [this] { Button3Click(); });
  connect(Button4, &QPushButton::clicked, this, [this] { Button4Click(); });
  connect(Button5, &QPushButton::clicked, this, [this] { Button5Click(); });
  connect(Button6, &QPushButton::clicked, this, [this] { Button6Click(); });
  connect(Button7, &QPushButton::clicked, this, [this] { Button7Click(); });
  connect(Button8, &QPushButton::clicked, this, [this] { Button8Click(); });
  connect(Button9, &QPushButton::clicked, this, [this] { Button9Click(); });
  connect(Button10, &QPushButton::clicked, this, [this] { Button10Click(); });
  connect(Button11, &QPushButton::clicked, this, [this] { Button11Click(); });
  connect(CheckBox1, &QCheckBox::toggled, this, [this](bool on) {
    if (speed_) speed_->CheckBox1Click(on);
  });
  connect(ErrMsgEn, &QCheckBox::toggled, this, [this](bool on) {
    if (speed_) speed_->ErrMsgEnClick(on);
  });
  connect(Timer1, &QTimer::timeout, this, [this] { Timer1Timer(); });
}

TForm1::~TForm1() {
  FinishRun();
  speed_.reset();
}

void TForm1::FormCreate(const Forms& forms) {
  forms_ = forms;
  const PointTable* table = &forms_.DataModule1->RxMemoryData1;
  DBChart1->Chart()->SetSource(PointSource(table, PointField::Speed));
  forms_.Form4->DBChart1->Chart()->SetSource(PointSource(table, PointField::Tm));
  forms_.Form2->QRDBChart1()->SetSource(PointSource(table, PointField::Speed));
  forms_.Form3->QRDBChart1()->SetSource(PointSource(table, PointField::Tm));
  SpeedView& view = *this;
  speed_ = std::make_unique<SpeedTest>(view, *forms_.ErrListFrm, *forms_.RangeForm, mainThread_,
                                       forms_.DataModule1->RxMemoryData1);
  access_ = std::make_unique<AccessTest>(view, *forms_.ErrListFrm,
                                         &forms_.DataModule1->RxMemoryData1);
  speed_->CheckBox1Click(CheckBox1->isChecked());
  speed_->ErrMsgEnClick(ErrMsgEn->isChecked());
  Timer1->start();
}

SpeedSettings TForm1::Settings() const {
  SpeedSettings s;
  s.Edit1 = Edit1->text().toStdString();
  s.Edit2 = Edit2->text().toStdString();
  s.BlockSizeFlg = BlockSizeFlg->isChecked();
  s.CheckBox1 = CheckBox1->isChecked();
  s.CheckBox2 = CheckBox2->isChecked();
  s.CheckBox3 = CheckBox3->isChecked();
  s.CheckBox4 = CheckBox4->isChecked();
  s.PercentFlg = PercentFlg->isChecked();
  s.ErrMsgEn = ErrMsgEn->isChecked();
  s.RandomAccess = RandomAccess->isChecked();
  s.drive.physical = Physical->isChecked();
  s.drive.physicalText = ComboText(ComboBox1);
  s.drive.logicalText = ComboText(ComboBox2);
  return s;
}

void TForm1::FinishRun() {
  if (access_ && access_->Busy()) {
    access_->Stop();
    while (access_->Busy()) {
      access_->Timer1Timer();
      QThread::msleep(1);
    }
  }
  if (!speed_ || !speed_->Busy()) return;
  speed_->Stop();
  // The worker hands its last steps to this thread; serve them until the
  // end-of-run step has run.
  while (speed_->Busy()) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QThread::msleep(1);
  }
}

void TForm1::showEvent(QShowEvent* e) {
  QWidget::showEvent(e);
  if (!e->spontaneous()) FormShow();
}

void TForm1::resizeEvent(QResizeEvent* e) {
  QWidget::resizeEvent(e);
  FormResize();
}

void TForm1::closeEvent(QCloseEvent* e) {
  FinishRun();
  QWidget::closeEvent(e);
}

void TForm1::FormShow() {
  move(1, 1);
  main_window::FormShow(state_);
  built_->Apply(state_);
  // The drive selector holds the drives by name, the first one current.
  DriveComboBox1->clear();
  for (const DriveItem& item : FillLogicalList())
    DriveComboBox1->addItem(Q(LogicalNameOf(item.text)) + ":");
  FillList(ComboBox2, false);
  FillList(ComboBox1, true);
}

void TForm1::FillList(QComboBox* box, bool physical) {
  box->clear();
  for (const DriveItem& item : physical ? FillPhysicalList() : FillLogicalList())
    box->addItem(Q(item.text), Q(item.path));
  if (box->count() > 0) box->setCurrentIndex(0);
}

void TForm1::PhysicalClick() {
  const bool physical = Physical->isChecked();
  main_window::PhysicalClick(state_, physical);
  FillList(physical ? ComboBox1 : ComboBox2, physical);
  built_->Apply(state_);
}

void TForm1::FormResize() {
  const QSize outer = OuterSize(this);
  const form::Rect r = main_window::ChartRect(outer.width(), outer.height(), width(), height());
  DBChart1->resize(r.width, r.height);
  if (access_ && access_->ShowsScatter()) ShowScatter();
}

void TForm1::Button1Click() {
  if (speed_ && access_) MainButton1Click(*speed_, *access_, Settings(), std::random_device{}());
}

void TForm1::FillReportLabels(TReportPage* report) {
  const auto q = speed_->ReportLabels(Settings());
  ReportLabel* labels[] = {&report->QRLabel1, &report->QRLabel2, &report->QRLabel3,
                           &report->QRLabel4, &report->QRLabel5, &report->QRLabel6,
                           &report->QRLabel7, &report->QRLabel8};
  for (int i = 0; i < 8; ++i) labels[i]->Caption = Q(q[static_cast<std::size_t>(i) + 1]);
}

void TForm1::Button2Click() {
  forms_.Form2->PrinterSetup(this);
}

void TForm1::Button3Click() {
  FillReportLabels(forms_.Form2);
  forms_.Form2->Preview(this);
}

void TForm1::Button4Click() {
  FillReportLabels(forms_.Form2);
  forms_.Form2->Print(this);
}

void TForm1::Button5Click() {
  forms_.Form3->PrinterSetup(this);
}

void TForm1::Button6Click() {
  FillReportLabels(forms_.Form3);
  forms_.Form3->Preview(this);
}

void TForm1::Button7Click() {
  FillReportLabels(forms_.Form3);
  forms_.Form3->Print(this);
}

void TForm1::Button8Click() {
  forms_.Form4->ShowModal();
}

void TForm1::Button9Click() {
  GetSmartClicked(forms_);
}

void TForm1::Button10Click() {
  forms_.ErrListFrm->ShowModal();
}

void TForm1::Button11Click() {
  SurfaceTestClicked(forms_);
}

void TForm1::Timer1Timer() {
  if (speed_) speed_->Timer1Timer();
  if (access_) access_->Timer1Timer();
}

void TForm1::SetLabel(SpeedLabel which, const std::string& text) {
  if (which == SpeedLabel::QRLabel9) {
    forms_.Form2->QRLabel9.Caption = Q(text);
    forms_.Form3->QRLabel9.Caption = forms_.Form2->QRLabel9.Caption;
    return;
  }
  QLabel* l = built_->Get<QLabel>(SpeedLabelName(which));
  l->setText(Q(text));
  l->adjustSize();
}

void TForm1::SetRunning(bool running) {
  main_window::SetRunning(state_, running);
  built_->Apply(state_);
}

void TForm1::RefreshChart() {
  if (access_ && access_->ShowsScatter()) {
    ShowScatter();
    return;
  }
  DBChart1->ClearImage();
  DBChart1->Refresh();
}

void TForm1::ShowScatter() {
  const ScatterImage image = access_->Scatter(DBChart1->width(), DBChart1->height());
  DBChart1->SetImage(image.width, image.height, image.rgb);
}

void TForm1::ShowErrorsList() {
  forms_.ErrListFrm->ShowModal();
}

void TForm1::RepaintForm() {
  repaint();
}

void TForm1::RepaintLabels() {
  for (const char* name : main_window::kRepaintedLabels) built_->Get<QWidget>(name)->repaint();
}

}  // namespace dt::ui
