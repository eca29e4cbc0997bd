// The Qt main window: the controls of the main window's description, the
// speed chart and the clock; what they show is the window logic's
// (app/main_window.h), and this window opens the others for it.
#pragma once

#include <QWidget>
#include <memory>

#include "app/main_window_base.h"
#include "ui/qt/form_builder.h"
#include "ui/qt/forms.h"
#include "ui/qt/qt_view.h"

namespace dt::ui {

class TForm1 : public QWidget, public app::MainWindowBase<FormKinds, QWidget*> {
  Q_OBJECT
 public:
  // `mainThread` runs the worker's steps on this window's thread.
  explicit TForm1(MainThread& mainThread, QWidget* parent = nullptr);
  ~TForm1() override;

  // Connects the window to the windows created after it and creates its
  // logic. Called once, when every window of `forms` exists.
  void FormCreate(const Forms& forms);

  // A control of the window by its name in the description.
  template <class W>
  W* Get(const std::string& name) const {
    return built_->Get<W>(name);
  }

 protected:
  void showEvent(QShowEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  void closeEvent(QCloseEvent* e) override;

 private:
  void ShowSurfaceTest(const DriveRef& drive) override;

  MainThread& mainThread_;
  std::unique_ptr<BuiltForm> built_;
  std::unique_ptr<QtView> view_;
};

}  // namespace dt::ui
