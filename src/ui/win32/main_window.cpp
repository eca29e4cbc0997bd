#include "ui/win32/main_window.h"

#include <random>

#include "device/device.h"
#include "speedtest/main_window_form.h"
#include "ui/win32/data_module.h"
#include "ui/win32/errors_window.h"
#include "ui/win32/get_smart.h"
#include "ui/win32/range_dialog.h"
#include "ui/win32/report_page.h"
#include "ui/win32/surface_window.h"
#include "ui/win32/time_view.h"

namespace dt::win {

namespace {

constexpr UINT_PTR kTimer1 = 1;

}  // namespace

TForm1::TForm1(MainThread& mainThread)
    : Form(MainWindowForm()), mainThread_(mainThread), state_(MainWindowForm()) {
  DriveComboBox1 = Get<ComboBox>("DriveComboBox1");
  ComboBox2 = Get<ComboBox>("ComboBox2");
  ComboBox1 = Get<ComboBox>("ComboBox1");
  Edit1 = Get<Edit>("Edit1");
  BlockSizeFlg = Get<CheckBox>("BlockSizeFlg");
  Button1 = Get<Button>("Button1");
  Label5 = Get<Label>("Label5");
  Label6 = Get<Label>("Label6");
  PercentFlg = Get<CheckBox>("PercentFlg");
  Button11 = Get<Button>("Button11");
  Button9 = Get<Button>("Button9");
  HelpFlg = Get<CheckBox>("HelpFlg");
  IdentFlg = Get<CheckBox>("IdentFlg");
  CheckBox1 = Get<CheckBox>("CheckBox1");
  CheckBox2 = Get<CheckBox>("CheckBox2");
  CheckBox3 = Get<CheckBox>("CheckBox3");
  CheckBox4 = Get<CheckBox>("CheckBox4");
  Physical = Get<CheckBox>("Physical");
  ErrMsgEn = Get<CheckBox>("ErrMsgEn");
  RandomAccess = Get<CheckBox>("RandomAccess");
  Label8 = Get<Label>("Label8");
  Button2 = Get<Button>("Button2");
  Button3 = Get<Button>("Button3");
  Button4 = Get<Button>("Button4");
  Label11 = Get<Label>("Label11");
  Edit2 = Get<Edit>("Edit2");
  SmartReserv = Get<CheckBox>("SmartReserv");
  EnglishFlg = Get<CheckBox>("EnglishFlg");
  HealthFlg = Get<CheckBox>("HealthFlg");
  Label9 = Get<Label>("Label9");
  Button5 = Get<Button>("Button5");
  Button6 = Get<Button>("Button6");
  Button7 = Get<Button>("Button7");
  Button8 = Get<Button>("Button8");
  Label3 = Get<Label>("Label3");
  Label2 = Get<Label>("Label2");
  Label4 = Get<Label>("Label4");
  Label7 = Get<Label>("Label7");
  Label1 = Get<Label>("Label1");
  DiskSz = Get<Label>("DiskSz");
  Label10 = Get<Label>("Label10");
  ElTime = Get<Label>("ElTime");
  RxClock1 = Get<Clock>("RxClock1");
  Button10 = Get<Button>("Button10");
  DBChart1 = Get<LineChart>("DBChart1");

  Physical->onClick = [this] { PhysicalClick(); };
  Button1->onClick = [this] { Button1Click(); };
  Button2->onClick = [this] { Button2Click(); };
  Button3->onClick = [this] { Button3Click(); };
  Button4->onClick = [this] { Button4Click(); };
  Button5->onClick = [this] { Button5Click(); };
  Button6->onClick = [this] { Button6Click(); };
  Button7->onClick = [this] { Button7Click(); };
  Button8->onClick = [this] { Button8Click(); };
  Button9->onClick = [this] { Button9Click(); };
  Button10->onClick = [this] { Button10Click(); };
  Button11->onClick = [this] { Button11Click(); };
  CheckBox1->onClick = [this] {
    if (speed_) speed_->CheckBox1Click(CheckBox1->Checked());
  };
  ErrMsgEn->onClick = [this] {
    if (speed_) speed_->ErrMsgEnClick(ErrMsgEn->Checked());
  };
}

TForm1::~TForm1() {
  KillTimer(hwnd(), kTimer1);
  FinishRun();
  speed_.reset();
}

void TForm1::FormCreate(const Forms& forms) {
  forms_ = forms;
  const PointTable* table = &forms_.DataModule1->RxMemoryData1;
  DBChart1->SetSource(PointSource(table, PointField::Speed));
  forms_.Form4->DBChart1->SetSource(PointSource(table, PointField::Tm));
  forms_.Form2->SetSource(PointSource(table, PointField::Speed));
  forms_.Form3->SetSource(PointSource(table, PointField::Tm));
  SpeedView& view = *this;
  speed_ = std::make_unique<SpeedTest>(view, *forms_.ErrListFrm, *forms_.RangeForm, mainThread_,
                                       forms_.DataModule1->RxMemoryData1);
  access_ = std::make_unique<AccessTest>(view, *forms_.ErrListFrm,
                                         &forms_.DataModule1->RxMemoryData1);
  speed_->CheckBox1Click(CheckBox1->Checked());
  speed_->ErrMsgEnClick(ErrMsgEn->Checked());
  SetTimer(hwnd(), kTimer1, static_cast<UINT>(MainWindowForm().Find("Timer1")->rect.width),
           nullptr);
}

SpeedSettings TForm1::Settings() const {
  SpeedSettings s;
  s.Edit1 = Edit1->Text();
  s.Edit2 = Edit2->Text();
  s.BlockSizeFlg = BlockSizeFlg->Checked();
  s.CheckBox1 = CheckBox1->Checked();
  s.CheckBox2 = CheckBox2->Checked();
  s.CheckBox3 = CheckBox3->Checked();
  s.CheckBox4 = CheckBox4->Checked();
  s.PercentFlg = PercentFlg->Checked();
  s.ErrMsgEn = ErrMsgEn->Checked();
  s.RandomAccess = RandomAccess->Checked();
  s.drive.physical = Physical->Checked();
  s.drive.physicalText = ComboBox1->Text();
  s.drive.logicalText = ComboBox2->Text();
  return s;
}

void TForm1::FinishRun() {
  if (access_ && access_->Busy()) {
    access_->Stop();
    while (access_->Busy()) {
      access_->Timer1Timer();
      Sleep(1);
    }
  }
  if (!speed_ || !speed_->Busy()) return;
  speed_->Stop();
  // The worker hands its last steps to this thread; serve them until the
  // end-of-run step has run.
  while (speed_->Busy()) {
    PumpMessages();
    Sleep(1);
  }
}

bool TForm1::FormCloseQuery() {
  FinishRun();
  return true;
}

LRESULT TForm1::Message(UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_TIMER && wp == kTimer1) {
    Timer1Timer();
    return 0;
  }
  if (msg == WM_CLOSE) {
    // The main window's close ends the program.
    if (FormCloseQuery()) {
      Hide();
      PostQuitMessage(0);
    }
    return 0;
  }
  return Form::Message(msg, wp, lp);
}

void TForm1::FormShow() {
  Move(1, 1);
  main_window::FormShow(state_);
  Apply(state_);
  // The drive selector holds the drives by name, the first one current.
  DriveComboBox1->Clear();
  for (const DriveItem& item : FillLogicalList())
    DriveComboBox1->Add(LogicalNameOf(item.text) + ":");
  FillList(ComboBox2, false);
  FillList(ComboBox1, true);
}

void TForm1::FillList(ComboBox* box, bool physical) {
  box->Clear();
  for (const DriveItem& item : physical ? FillPhysicalList() : FillLogicalList())
    box->Add(item.text, item.path);
  if (box->Count() > 0) box->SetCurrent(0);
}

void TForm1::PhysicalClick() {
  const bool physical = Physical->Checked();
  main_window::PhysicalClick(state_, physical);
  FillList(physical ? ComboBox1 : ComboBox2, physical);
  Apply(state_);
}

void TForm1::FormResize() {
  const SIZE outer = OuterSize();
  const SIZE client = ClientSize();
  const form::Rect r = main_window::ChartRect(outer.cx, outer.cy, client.cx, client.cy);
  SetWindowPos(DBChart1->hwnd(), nullptr, 0, 0, r.width, r.height,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
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
  for (std::size_t i = 0; i < 8; ++i) labels[i]->Caption = q[i + 1];
}

void TForm1::Button2Click() {
  forms_.Form2->PrinterSetup(hwnd());
}

void TForm1::Button3Click() {
  FillReportLabels(forms_.Form2);
  forms_.Form2->Preview(hwnd());
}

void TForm1::Button4Click() {
  FillReportLabels(forms_.Form2);
  forms_.Form2->Print(hwnd());
}

void TForm1::Button5Click() {
  forms_.Form3->PrinterSetup(hwnd());
}

void TForm1::Button6Click() {
  FillReportLabels(forms_.Form3);
  forms_.Form3->Preview(hwnd());
}

void TForm1::Button7Click() {
  FillReportLabels(forms_.Form3);
  forms_.Form3->Print(hwnd());
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
    forms_.Form2->QRLabel9.Caption = text;
    forms_.Form3->QRLabel9.Caption = text;
    return;
  }
  Label* l = Get<Label>(SpeedLabelName(which));
  l->SetText(text);
  l->FitText();
}

void TForm1::SetRunning(bool running) {
  main_window::SetRunning(state_, running);
  Apply(state_);
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
  RECT rc;
  GetClientRect(DBChart1->hwnd(), &rc);
  const ScatterImage image = access_->Scatter(rc.right, rc.bottom);
  DBChart1->SetImage(image.width, image.height, image.rgb);
}

void TForm1::ShowErrorsList() {
  forms_.ErrListFrm->ShowModal();
}

void TForm1::RepaintForm() {
  RedrawWindow(hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
}

void TForm1::RepaintLabels() {
  for (const char* name : main_window::kRepaintedLabels)
    RedrawWindow(Find(name)->hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
}

}  // namespace dt::win
