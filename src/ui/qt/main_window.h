// The main window: disk selection, the settings of the read-speed test, the
// status labels of a run, the speed chart and the buttons of every other job.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QWidget>
#include <memory>

#include "device/form.h"
#include "access/access_test.h"
#include "speedtest/read_speed_run.h"
#include "ui/qt/clock_label.h"
#include "ui/qt/form_builder.h"
#include "ui/qt/forms.h"
#include "ui/qt/line_chart.h"

namespace dt::ui {

class TReportPage;

class TForm1 : public QWidget, private SpeedView {
  Q_OBJECT
 public:
  // `mainThread` runs the worker's steps on this window's thread.
  explicit TForm1(MainThread& mainThread, QWidget* parent = nullptr);
  ~TForm1() override;

  // Connects the window to the windows created after it and creates the
  // read-speed worker. Called once, when every window of `forms` exists.
  void FormCreate(const Forms& forms);

  // The read-speed test that Start and Stop drive (exists after FormCreate).
  SpeedTest& Speed() { return *speed_; }
  // The random access test that Start runs with "Random access" ticked.
  AccessTest& Access() { return *access_; }
  // True while either test holds the disk.
  bool TestBusy() const { return speed_ && access_ && MainTestBusy(*speed_, *access_); }
  // The settings of the controls now, as Start reads them.
  SpeedSettings Settings() const;
  // Ends a run that is under way and waits for its end-of-run step, serving
  // the worker's steps meanwhile. Called before the program ends.
  void FinishRun();

  QComboBox* DriveComboBox1;
  QComboBox* ComboBox2;
  QComboBox* ComboBox1;
  QLineEdit* Edit1;
  QCheckBox* BlockSizeFlg;
  QPushButton* Button1;
  QLabel* Label5;
  QLabel* Label6;
  QCheckBox* PercentFlg;
  QPushButton* Button11;
  QPushButton* Button9;
  QCheckBox* HelpFlg;
  QCheckBox* IdentFlg;
  QCheckBox* CheckBox1;
  QCheckBox* CheckBox2;
  QCheckBox* CheckBox3;
  QCheckBox* CheckBox4;
  QCheckBox* Physical;
  QCheckBox* ErrMsgEn;
  QCheckBox* RandomAccess;
  QLabel* Label8;
  QPushButton* Button2;
  QPushButton* Button3;
  QPushButton* Button4;
  QLabel* Label11;
  QLineEdit* Edit2;
  QCheckBox* SmartReserv;
  QCheckBox* EnglishFlg;
  QCheckBox* HealthFlg;
  QLabel* Label9;
  QPushButton* Button5;
  QPushButton* Button6;
  QPushButton* Button7;
  QPushButton* Button8;
  QLabel* Label3;
  QLabel* Label2;
  QLabel* Label4;
  QLabel* Label7;
  QLabel* Label1;
  QLabel* DiskSz;
  QLabel* Label10;
  QLabel* ElTime;
  ClockLabel* RxClock1;
  QPushButton* Button10;
  LineChart* DBChart1;
  QTimer* Timer1;

  // Handlers.
  void PhysicalClick();
  void Button1Click();
  void Button2Click();
  void Button3Click();
  void Button4Click();
  void Button5Click();
  void Button6Click();
  void Button7Click();
  void Button8Click();
  void Button9Click();
  void Button10Click();
  void Button11Click();
  void Timer1Timer();

 protected:
  void showEvent(QShowEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  void closeEvent(QCloseEvent* e) override;

 private:
  void FormShow();
  void FormResize();
  void FillList(QComboBox* box, bool physical);
  // Sets QRLabel1 to QRLabel8 of a report from the window's texts now.
  void FillReportLabels(TReportPage* report);

  // SpeedView
  void SetLabel(SpeedLabel which, const std::string& text) override;
  void SetRunning(bool running) override;
  void RefreshChart() override;
  void ShowErrorsList() override;
  void RepaintForm() override;
  void RepaintLabels() override;

  MainThread& mainThread_;
  form::FormState state_;
  std::unique_ptr<BuiltForm> built_;
  Forms forms_;
  std::unique_ptr<SpeedTest> speed_;
  std::unique_ptr<AccessTest> access_;
  // Shows the random access test's scatter in the chart at its size.
  void ShowScatter();
};

}  // namespace dt::ui
