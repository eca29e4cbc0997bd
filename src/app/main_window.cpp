#include "app/main_window.h"

#include <chrono>
#include <random>
#include <thread>

#include "app/main_window_form.h"
#include "base/notify.h"
#include "device/device.h"
#include "surface/surface_window_form.h"

namespace dt::app {

namespace {

constexpr const char* kChart = "DBChart1";

}  // namespace

MainWindow::MainWindow(View& view, MainWindowHost& host, ErrorLines& errors, RangeDialog& range,
                       MainThread& mainThread, PointTable& points)
    : view_(view), host_(host), state_(MainWindowForm()) {
  SpeedView& self = *this;
  speed_ = std::make_unique<SpeedTest>(self, errors, range, mainThread, points);
  access_ = std::make_unique<AccessTest>(self, errors, &points);

  view_.OnClick("Physical", [this] { PhysicalClick(); });
  view_.OnClick("Button1", [this] {
    MainButton1Click(*speed_, *access_, Settings(), std::random_device{}());
  });
  view_.OnClick("Button2", [this] { host_.PrinterSetup(Report::Speed); });
  view_.OnClick("Button3", [this] { ReportButton(Report::Speed, &MainWindowHost::Preview); });
  view_.OnClick("Button4", [this] { ReportButton(Report::Speed, &MainWindowHost::Print); });
  view_.OnClick("Button5", [this] { host_.PrinterSetup(Report::Time); });
  view_.OnClick("Button6", [this] { ReportButton(Report::Time, &MainWindowHost::Preview); });
  view_.OnClick("Button7", [this] { ReportButton(Report::Time, &MainWindowHost::Print); });
  view_.OnClick("Button8", [this] { host_.ShowTimeView(); });
  view_.OnClick("Button9", [this] {
    host_.ShowSmart(Chosen(true).number, Smart());
  });
  view_.OnClick("Button10", [this] { host_.ShowErrors(); });
  view_.OnClick("Button11", [this] { SurfaceTestClick(); });
  view_.OnClick("CheckBox1", [this] { speed_->CheckBox1Click(view_.Checked("CheckBox1")); });
  view_.OnClick("ErrMsgEn", [this] { speed_->ErrMsgEnClick(view_.Checked("ErrMsgEn")); });

  speed_->CheckBox1Click(view_.Checked("CheckBox1"));
  speed_->ErrMsgEnClick(view_.Checked("ErrMsgEn"));
  view_.StartTimer("Timer1", MainWindowForm().Find("Timer1")->rect.width, [this] {
    speed_->Timer1Timer();
    access_->Timer1Timer();
  });
}

MainWindow::~MainWindow() {
  FinishRun();
}

SpeedSettings MainWindow::Settings() const {
  SpeedSettings s;
  s.Edit1 = view_.Text("Edit1");
  s.Edit2 = view_.Text("Edit2");
  s.BlockSizeFlg = view_.Checked("BlockSizeFlg");
  s.CheckBox1 = view_.Checked("CheckBox1");
  s.CheckBox2 = view_.Checked("CheckBox2");
  s.CheckBox3 = view_.Checked("CheckBox3");
  s.CheckBox4 = view_.Checked("CheckBox4");
  s.PercentFlg = view_.Checked("PercentFlg");
  s.ErrMsgEn = view_.Checked("ErrMsgEn");
  s.RandomAccess = view_.Checked("RandomAccess");
  s.drive = Chosen(view_.Checked("Physical"));
  return s;
}

DriveRef MainWindow::Chosen(bool physical) const {
  const std::string text = view_.Text(physical ? "ComboBox1" : "ComboBox2");
  for (const DriveItem& item : physical ? physicalItems_ : logicalItems_)
    if (item.text == text) return item.Ref();
  return DriveRef{};
}

SmartOptions MainWindow::Smart() const {
  SmartOptions options;
  options.reserved = view_.Checked("SmartReserv");
  options.help = view_.Checked("HelpFlg");
  options.identify = view_.Checked("IdentFlg");
  options.english = view_.Checked("EnglishFlg");
  options.health = view_.Checked("HealthFlg");
  return options;
}

void MainWindow::FinishRun() {
  if (access_->Busy()) {
    access_->Stop();
    while (access_->Busy()) {
      access_->Timer1Timer();
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }
  if (!speed_->Busy()) return;
  speed_->Stop();
  // The worker hands its last steps to this thread; serve them until the
  // end-of-run step has run.
  while (speed_->Busy()) {
    view_.ServeEvents();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

void MainWindow::FormShow() {
  view_.MoveTo(1, 1);
  main_window::FormShow(state_);
  view_.Apply(state_);
  // The drive selector holds the drives by name, the first one current.
  std::vector<ListItem> names;
  for (const DriveItem& item : FillLogicalList())
    names.push_back({item.name + ":", std::string()});
  view_.SetItems("DriveComboBox1", names);
  FillList(false);
  FillList(true);
}

void MainWindow::FillList(bool physical) {
  std::vector<DriveItem>& drives = physical ? physicalItems_ : logicalItems_;
  drives = physical ? FillPhysicalList() : FillLogicalList();
  std::vector<ListItem> items;
  for (const DriveItem& item : drives) items.push_back({item.text, item.path});
  view_.SetItems(physical ? "ComboBox1" : "ComboBox2", items);
}

void MainWindow::PhysicalClick() {
  const bool physical = view_.Checked("Physical");
  main_window::PhysicalClick(state_, physical);
  FillList(physical);
  view_.Apply(state_);
}

void MainWindow::FormResize() {
  const Size outer = view_.OuterSize();
  const Size client = view_.ClientSize();
  const form::Rect r = main_window::ChartRect(outer.width, outer.height, client.width, client.height);
  view_.Resize(kChart, r.width, r.height);
  if (access_->ShowsScatter()) ShowScatter();
}

void MainWindow::ReportButton(Report which, void (MainWindowHost::*action)(Report)) {
  const auto q = speed_->ReportLabels(Settings());
  std::array<std::string, 8> captions;
  for (std::size_t i = 0; i < captions.size(); ++i) captions[i] = q[i + 1];
  host_.SetReportLabels(which, captions);
  (host_.*action)(which);
}

void MainWindow::SurfaceTestClick() {
  // A test of this window holds the disk that the surface test would open.
  if (TestBusy()) {
    Notify().ShowMessage(SurfaceTestForm().title, SpeedTest::BusyText());
    return;
  }
  host_.ShowSurfaceTest(Settings().drive);
}

void MainWindow::SetLabel(SpeedLabel which, const std::string& text) {
  if (which == SpeedLabel::QRLabel9) {
    host_.SetReportTitle(text);
    return;
  }
  view_.SetText(SpeedLabelName(which), text);
}

void MainWindow::SetRunning(bool running) {
  main_window::SetRunning(state_, running);
  view_.Apply(state_);
}

void MainWindow::RefreshChart() {
  if (access_ && access_->ShowsScatter()) {
    ShowScatter();
    return;
  }
  view_.SetImage(kChart, 0, 0, {});
  view_.Refresh(kChart);
}

void MainWindow::ShowScatter() {
  const Size size = view_.ControlSize(kChart);
  const ScatterImage image = access_->Scatter(size.width, size.height);
  view_.SetImage(kChart, image.width, image.height, image.rgb);
}

void MainWindow::ShowErrorsList() {
  host_.ShowErrors();
}

void MainWindow::RepaintForm() {
  view_.RepaintAll();
}

void MainWindow::RepaintLabels() {
  for (const char* name : main_window::kRepaintedLabels) view_.Repaint(name);
}

}  // namespace dt::app
