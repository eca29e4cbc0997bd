// The main window: disk selection, the settings of the read-speed test, the
// status labels of a run, the speed chart and the buttons of every other job.
#pragma once

#include <memory>

#include "device/form.h"
#include "access/access_test.h"
#include "speedtest/read_speed_run.h"
#include "ui/win32/chart.h"
#include "ui/win32/forms.h"
#include "ui/win32/wingui.h"

namespace dt::win {

class TReportPage;

class TForm1 : public Form, private SpeedView {
 public:
  // `mainThread` runs the worker's steps on this window's thread.
  explicit TForm1(MainThread& mainThread);
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

  ComboBox* DriveComboBox1;
  ComboBox* ComboBox2;
  ComboBox* ComboBox1;
  Edit* Edit1;
  CheckBox* BlockSizeFlg;
  Button* Button1;
  Label* Label5;
  Label* Label6;
  CheckBox* PercentFlg;
  Button* Button11;
  Button* Button9;
  CheckBox* HelpFlg;
  CheckBox* IdentFlg;
  CheckBox* CheckBox1;
  CheckBox* CheckBox2;
  CheckBox* CheckBox3;
  CheckBox* CheckBox4;
  CheckBox* Physical;
  CheckBox* ErrMsgEn;
  CheckBox* RandomAccess;
  Label* Label8;
  Button* Button2;
  Button* Button3;
  Button* Button4;
  Label* Label11;
  Edit* Edit2;
  CheckBox* SmartReserv;
  CheckBox* EnglishFlg;
  CheckBox* HealthFlg;
  Label* Label9;
  Button* Button5;
  Button* Button6;
  Button* Button7;
  Button* Button8;
  Label* Label3;
  Label* Label2;
  Label* Label4;
  Label* Label7;
  Label* Label1;
  Label* DiskSz;
  Label* Label10;
  Label* ElTime;
  Clock* RxClock1;
  Button* Button10;
  LineChart* DBChart1;

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
  void FormShow() override;
  void FormResize() override;
  bool FormCloseQuery() override;
  LRESULT Message(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  void FillList(ComboBox* box, bool physical);
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
  Forms forms_;
  std::unique_ptr<SpeedTest> speed_;
  std::unique_ptr<AccessTest> access_;
  // Shows the random access test's scatter in the chart at its size.
  void ShowScatter();
};

}  // namespace dt::win
