// What the Qt and the Win32 main windows have in common: the window logic,
// the table of the other windows, and the logic's requests carried out on
// them (the captions of the two printed reports and their printer setup,
// preview and print, the time chart, the errors list and the SMART report).
// Written once over the toolkit's window classes (see forms_table.h); the
// toolkit's main window derives from it, creates the logic, fills in the
// windows once they exist and hands the surface test over itself.
#pragma once

#include <array>
#include <memory>
#include <string>

#include "app/forms_table.h"
#include "app/main_window.h"

namespace dt::app {

// `Owner` is what the toolkit's dialogs take as their parent window.
template <class K, class Owner>
class MainWindowBase : public MainWindowHost {
 public:
  MainWindow& Logic() { return *logic_; }
  SpeedTest& Speed() { return logic_->Speed(); }
  bool TestBusy() const { return logic_ && logic_->TestBusy(); }
  SpeedSettings Settings() const { return logic_->Settings(); }
  void FinishRun() {
    if (logic_) logic_->FinishRun();
  }

 protected:
  FormsOf<K> forms_;
  Owner owner_{};
  // Goes before the toolkit's window does.
  std::unique_ptr<MainWindow> logic_;

 private:
  // Runs `action` on the printed report `which`.
  template <class Action>
  void OnReport(Report which, Action action) {
    if (which == Report::Speed)
      action(*forms_.Form2);
    else
      action(*forms_.Form3);
  }

  void SetReportLabels(Report which, const std::array<std::string, 8>& captions) override {
    OnReport(which, [&](auto& report) {
      for (std::size_t i = 0; i < captions.size(); ++i)
        report.Label("QRLabel" + std::to_string(i + 1))->Caption = captions[i];
    });
  }
  void SetReportTitle(const std::string& caption) override {
    forms_.Form2->QRLabel9.Caption = caption;
    forms_.Form3->QRLabel9.Caption = caption;
  }
  void PrinterSetup(Report which) override {
    OnReport(which, [this](auto& report) { report.PrinterSetup(owner_); });
  }
  void Preview(Report which) override {
    OnReport(which, [this](auto& report) { report.Preview(owner_); });
  }
  void Print(Report which) override {
    OnReport(which, [this](auto& report) { report.Print(owner_); });
  }
  void ShowTimeView() override { forms_.Form4->ShowModal(); }
  void ShowErrors() override { forms_.ErrListFrm->ShowModal(); }
  void ShowSmart(int drive, const SmartOptions& options) override {
    forms_.SMARTinfo->Logic().ShowReport(drive, options);
  }
};

}  // namespace dt::app
