#include "ui/win32/main_window.h"

#include "app/main_window_form.h"
#include "ui/win32/chart.h"
#include "ui/win32/data_module.h"
#include "ui/win32/errors_window.h"
#include "ui/win32/range_dialog.h"
#include "ui/win32/report_page.h"
#include "ui/win32/smart_window.h"
#include "ui/win32/surface_window.h"
#include "ui/win32/time_view.h"

namespace dt::win {

TForm1::TForm1(MainThread& mainThread)
    : Form(MainWindowForm()), mainThread_(mainThread), view_(*this) {
  owner_ = hwnd();
}

TForm1::~TForm1() {
  logic_.reset();
}

void TForm1::FormCreate(const Forms& forms) {
  forms_ = forms;
  PointTable& table = forms_.DataModule1->RxMemoryData1;
  Get<LineChart>("DBChart1")->SetSource(PointSource(&table, PointField::Speed));
  forms_.Form4->DBChart1->SetSource(PointSource(&table, PointField::Tm));
  forms_.Form2->SetSource(PointSource(&table, PointField::Speed));
  forms_.Form3->SetSource(PointSource(&table, PointField::Tm));
  app::MainWindowHost& host = *this;
  logic_ = std::make_unique<app::MainWindow>(view_, host, *forms_.ErrListFrm, *forms_.RangeForm,
                                             mainThread_, table);
}

LRESULT TForm1::Message(UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_CLOSE) {
    // The main window's close ends the program.
    FinishRun();
    Hide();
    PostQuitMessage(0);
    return 0;
  }
  return Form::Message(msg, wp, lp);
}

void TForm1::FormShow() {
  if (logic_) logic_->FormShow();
}

void TForm1::FormResize() {
  if (logic_) logic_->FormResize();
}

void TForm1::ShowSurfaceTest(const DriveRef& drive) {
  ShowSurfaceWindow(forms_, drive);
}

}  // namespace dt::win
