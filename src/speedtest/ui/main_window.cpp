#include "speedtest/ui/main_window.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFontInfo>
#include <QThread>

#include "app/widgets.h"
#include "ata/ui/get_smart.h"
#include "device/device.h"
#include "speedtest/ui/data_module.h"
#include "speedtest/ui/errors_window.h"
#include "speedtest/ui/range_dialog.h"
#include "speedtest/ui/speed_report.h"
#include "speedtest/ui/time_report.h"
#include "speedtest/ui/time_view.h"
#include "speedtest/ui/window_geometry.h"
#include "surface/ui/surface_window.h"

#ifndef DT_CONTACT_ADDRESS
#define DT_CONTACT_ADDRESS "disktest"
#endif

namespace dt::ui {

namespace {

// A label of fixed width with its text centred.
QLabel* CentredLabel(QWidget* parent, const char* name, const char* text, int x, int y, int width) {
  auto* l = new QLabel(text, parent);
  l->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  Place(l, name, x, y, width, 13);
  return l;
}

QCheckBox* Check(QWidget* parent, const char* name, const char* text, const char* hint, int x,
                 int y, int width, int height, bool checked = false, bool enabled = true) {
  auto* c = new QCheckBox(text, parent);
  Place(c, name, x, y, width, height);
  if (hint) c->setToolTip(hint);
  c->setChecked(checked);
  c->setEnabled(enabled);
  return c;
}

QPushButton* Button(QWidget* parent, const char* name, const char* text, int x, int y, int width,
                    int height) {
  auto* b = new QPushButton(text, parent);
  Place(b, name, x, y, width, height);
  return b;
}

// The text a list shows: its selected item, or its caption while it is empty.
std::string ComboText(const QComboBox* box) {
  if (box->currentIndex() < 0) return box->placeholderText().toStdString();
  return box->currentText().toStdString();
}

}  // namespace

TForm1::TForm1(MainThread& mainThread, QWidget* parent) : QWidget(parent), mainThread_(mainThread) {
  setObjectName("Form1");
  setWindowTitle(QString("Disk read speed (%1)").arg(DT_CONTACT_ADDRESS));
  QFont f;
  f.setFamilies({"MS Sans Serif", "Microsoft Sans Serif", "Liberation Sans", "Arial"});
  f.setPointSize(8);
  // The layout is made for the narrow MS Sans Serif; where it is missing, a
  // slightly condensed Arial-like face keeps the captions inside their controls.
  if (!QFontInfo(f).family().contains("Sans Serif")) f.setStretch(90);
  setFont(f);

  DriveComboBox1 = Place(new QComboBox(this), "DriveComboBox1", 0, 0, 169, 19);
  DriveComboBox1->setToolTip("Select disk");
  ComboBox2 = Place(new QComboBox(this), "ComboBox2", 0, 0, 169, 19);
  ComboBox2->setPlaceholderText("Log");
  ComboBox1 = Place(new QComboBox(this), "ComboBox1", 0, 0, 169, 19);
  ComboBox1->setPlaceholderText("Disks");
  ComboBox1->hide();

  Edit1 = Place(new QLineEdit("500", this), "Edit1", 0, 21, 89, 16);
  Edit1->setToolTip("Blok count or block size");
  BlockSizeFlg = Check(this, "BlockSizeFlg", "Block Size", nullptr, 0, 37, 85, 15);
  Button1 = Button(this, "Button1", "Start", 120, 40, 41, 41);
  Label5 = AutoLabel(this, "Label5", "From", 0, 53);
  Label6 = AutoLabel(this, "Label6", "to", 0, 66);
  PercentFlg = Check(this, "PercentFlg", "Print progress in %",
                     "Print progress in %. Other in MBytes", 0, 81, 105, 16, true);
  Button11 = Button(this, "Button11", "Surface test", 0, 96, 97, 17);
  Button9 = Button(this, "Button9", "Get SMART", 96, 24, 65, 17);
  Button9->setEnabled(false);
  HelpFlg = Check(this, "HelpFlg", "Print help", "Out SMART attribute reference ", 104, 80, 65, 17,
                  false, false);
  IdentFlg = Check(this, "IdentFlg", "Include Identyfy Block Report", nullptr, 104, 96, 161, 15,
                   false, false);
  CheckBox1 = Check(this, "CheckBox1", "Real Time", nullptr, 172, 0, 90, 17, true);
  CheckBox2 = Check(this, "CheckBox2", "Bloksize 2**x", nullptr, 172, 16, 90, 17, true);
  CheckBox3 =
      Check(this, "CheckBox3", "CheckBox3",
            "Begin - End, Begin+1- End-1,...,End-1 - Begin+1, End - Begin", 172, 32, 90, 17);
  CheckBox4 = Check(this, "CheckBox4", "Force 0", "Force 0 to chart", 172, 48, 90, 17);
  Physical =
      Check(this, "Physical", "Physical disk", "Switch to physical disk mode", 172, 64, 90, 17);
  ErrMsgEn = Check(this, "ErrMsgEn", "Error messages", "Print error messages (default no)", 172, 80,
                   90, 17);
  Label8 = CentredLabel(this, "Label8", "Speed", 264, 0, 81);
  Button2 = Button(this, "Button2", "Printer  setup", 264, 16, 81, 17);
  Button3 = Button(this, "Button3", "Preview", 264, 32, 81, 17);
  Button4 = Button(this, "Button4", "Print", 264, 48, 81, 17);
  Label11 = AutoLabel(this, "Label11", "Err1", 264, 64);
  Edit2 = Place(new QLineEdit("10", this), "Edit2", 328, 64, 17, 17);
  Edit2->setToolTip("Minimal time (in milliseconds)");
  Edit2->hide();
  SmartReserv = Check(this, "SmartReserv", "Print SMART reserved bytes",
                      "Print SMART reserved bytes ", 264, 80, 153, 17, false, false);
  EnglishFlg = Check(this, "EnglishFlg", "Englesh Identify block report", nullptr, 264, 96, 161, 15,
                     true, false);
  Label9 = CentredLabel(this, "Label9", "Time", 345, 0, 73);
  Button5 = Button(this, "Button5", "Printer setup", 345, 16, 75, 17);
  Button6 = Button(this, "Button6", "Preview", 345, 32, 75, 17);
  Button7 = Button(this, "Button7", "Print", 345, 48, 75, 17);
  Button8 = Button(this, "Button8", "View", 345, 64, 75, 17);
  Label3 = AutoLabel(this, "Label3", "Errors: 0", 430, 0);
  Label2 = AutoLabel(this, "Label2", "0%", 504, 0);
  Label4 = AutoLabel(this, "Label4", "BlokSize", 430, 16);
  Label7 = AutoLabel(this, "Label7", "Blocks", 430, 32);
  Label1 = AutoLabel(this, "Label1", "Disk size", 430, 48);
  DiskSz = AutoLabel(this, "DiskSz", "Unknow ", 478, 48);
  Label10 = AutoLabel(this, "Label10", "Address", 430, 64);
  ElTime = AutoLabel(this, "ElTime", "Time 00:00:00 (00:00:00)", 430, 80);
  ElTime->setToolTip("Elapsed (remaining) time");
  RxClock1 = Place(new ClockLabel(this), "RxClock1", 568, 0, 57, 17);
  Button10 = Button(this, "Button10", "Errors", 568, 80, 59, 17);
  DBChart1 = Place(new LineChart("Speed of disk", this), "DBChart1", 0, 111, 625, 322);
  Timer1 = new QTimer(this);
  Timer1->setObjectName("Timer1");
  Timer1->setInterval(100);

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

  resize(635, 465);
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
  s.drive.physical = Physical->isChecked();
  s.drive.physicalText = ComboText(ComboBox1);
  s.drive.logicalText = ComboText(ComboBox2);
  return s;
}

void TForm1::FinishRun() {
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
  ComboBox2->setGeometry(DriveComboBox1->geometry());
  DriveComboBox1->hide();
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
  QWidget* smart[] = {Button9, HelpFlg, SmartReserv, IdentFlg, EnglishFlg};
  if (Physical->isChecked()) {
    ComboBox1->setGeometry(DriveComboBox1->geometry());
    FillList(ComboBox1, true);
    ComboBox2->hide();
    ComboBox1->show();
    for (QWidget* w : smart) w->setEnabled(true);
  } else {
    FillList(ComboBox2, false);
    for (QWidget* w : smart) w->setEnabled(false);
    ComboBox2->show();
    ComboBox1->hide();
  }
}

void TForm1::FormResize() {
  const QSize outer = OuterSize(this);
  const int w = outer.width() > 210 ? width() - 2 : 200;
  const int h = outer.height() > 343 ? height() - 113 : 200;
  DBChart1->resize(w, h);
}

void TForm1::Button1Click() {
  if (speed_) speed_->Button1Click(Settings());
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
}

QLabel* TForm1::LabelOf(SpeedLabel which) const {
  switch (which) {
    case SpeedLabel::Label2:
      return Label2;
    case SpeedLabel::Label3:
      return Label3;
    case SpeedLabel::Label4:
      return Label4;
    case SpeedLabel::Label5:
      return Label5;
    case SpeedLabel::Label6:
      return Label6;
    case SpeedLabel::Label7:
      return Label7;
    case SpeedLabel::Label10:
      return Label10;
    case SpeedLabel::Label11:
      return Label11;
    case SpeedLabel::DiskSz:
      return DiskSz;
    case SpeedLabel::ElTime:
      return ElTime;
    case SpeedLabel::QRLabel9:
    case SpeedLabel::kCount:
      break;
  }
  return nullptr;
}

void TForm1::SetLabel(SpeedLabel which, const std::string& text) {
  if (which == SpeedLabel::QRLabel9) {
    forms_.Form2->QRLabel9.Caption = Q(text);
    forms_.Form3->QRLabel9.Caption = forms_.Form2->QRLabel9.Caption;
    return;
  }
  if (QLabel* l = LabelOf(which)) {
    l->setText(Q(text));
    l->adjustSize();
  }
}

void TForm1::SetRunning(bool running) {
  Button1->setText(running ? "Stop" : "Start");
  for (QPushButton* b : {Button2, Button3, Button4, Button5, Button6, Button7, Button8})
    b->setEnabled(!running);
}

void TForm1::RefreshChart() {
  DBChart1->Refresh();
}

void TForm1::ShowErrorsList() {
  forms_.ErrListFrm->ShowModal();
}

void TForm1::RepaintForm() {
  repaint();
}

void TForm1::RepaintLabels() {
  for (QWidget* w : std::initializer_list<QWidget*>{ElTime, Label6, Label10, Label7, Label5, Label4,
                                                    Label3, Label2, DiskSz, RxClock1})
    w->repaint();
}

}  // namespace dt::ui
