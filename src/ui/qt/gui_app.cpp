#include "ui/qt/gui_app.h"

#include "ui/qt/data_module.h"
#include "ui/qt/errors_window.h"
#include "ui/qt/main_window.h"
#include "ui/qt/range_dialog.h"
#include "ui/qt/smart_report_pages.h"
#include "ui/qt/smart_window.h"
#include "ui/qt/speed_report.h"
#include "ui/qt/surface_window.h"
#include "ui/qt/time_report.h"
#include "ui/qt/time_view.h"

namespace dt::ui {

// The windows are complete here: the table is made and ended in this file.
GuiApp::GuiApp() : table_(mainThread_, notifier_) {}
GuiApp::~GuiApp() = default;

void GuiApp::Show() {
  table_.forms().Form1->show();
}

}  // namespace dt::ui
