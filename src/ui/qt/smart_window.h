// The SMART info window: the text of the last SMART report in a fixed-pitch
// memo, with buttons to copy it, change the memo's font, and preview, print
// or set up the printer of the printed report; what it shows and does is the
// window logic's (app/smart_window.h).
#pragma once

#include <QDialog>
#include <QPlainTextEdit>
#include <memory>
#include <string>
#include <vector>

#include "app/smart_window.h"
#include "ui/qt/form_builder.h"
#include "ui/qt/qt_view.h"

namespace dt::ui {

class TSmartReportPage;
class TSmartRep;
class TSMARTrepLandscape;

class TSMARTinfo : public QDialog, private app::SmartWindowHost {
  Q_OBJECT
 public:
  explicit TSMARTinfo(QWidget* parent = nullptr);
  ~TSMARTinfo() override;

  QPlainTextEdit* SMARTinfoTEXT;

  // A control of the window by its name in the description.
  template <class W>
  W* Get(const std::string& name) const {
    return built_->Get<W>(name);
  }
  app::SmartWindow& Logic() { return *logic_; }

  // The two printed forms and the line table they print, created after
  // this window.
  void SetReports(TSmartRep* portrait, TSMARTrepLandscape* landscape,
                  std::vector<std::string>* lines);

 protected:
  void showEvent(QShowEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;

 private:
  TSmartReportPage* Report(smart_window::PrintedForm form) const;

  // SmartWindowHost
  void ClearMemo() override { SMARTinfoTEXT->clear(); }
  void AppendMemo(const std::string& line) override;
  void MemoToTop() override { SMARTinfoTEXT->moveCursor(QTextCursor::Start); }
  void CopyMemo() override;
  void ChooseMemoFont() override;
  void Preview(smart_window::PrintedForm form) override;
  void Print(smart_window::PrintedForm form) override;
  void PrinterSetup(smart_window::PrintedForm form) override;

  std::unique_ptr<BuiltForm> built_;
  std::unique_ptr<QtView> view_;
  std::unique_ptr<app::SmartWindow> logic_;
  TSmartRep* portrait_ = nullptr;
  TSMARTrepLandscape* landscape_ = nullptr;
};

// The memo's font at start, as the window's description has it: a
// fixed-pitch font, so that the report's columns line up.
QFont SmartMemoFont();

}  // namespace dt::ui
