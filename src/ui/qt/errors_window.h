// The errors window: a memo of error lines shared by the read-speed test and
// the surface test, built from its description.
#pragma once

#include <QDialog>
#include <QPlainTextEdit>
#include <memory>

#include "speedtest/errors_list.h"
#include "ui/qt/clock_label.h"
#include "ui/qt/form_builder.h"

namespace dt::ui {

class TErrListFrm : public QDialog, public ErrorLines {
  Q_OBJECT
 public:
  explicit TErrListFrm(QWidget* parent = nullptr);
  ~TErrListFrm() override;

  ClockLabel* RxClock1;
  QPlainTextEdit* Memo1;

  // The memo's lines; called on the GUI thread.
  void Clear() override;
  void AppendLine(const std::string& line) override;
  void AppendLine(const QString& line);
  QStringList Lines() const;
  // Shows the window and returns when it is closed.
  int ShowModal();
  // Shows the window without blocking.
  void ShowModeless();

 protected:
  void showEvent(QShowEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;

 private:
  void FormShow();
  void FormResize();

  std::unique_ptr<BuiltForm> built_;
};

}  // namespace dt::ui
