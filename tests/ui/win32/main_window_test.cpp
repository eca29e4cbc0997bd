// The Windows program's main window, range dialog, time and errors windows
// on the simulated machine, driven through their own messages.
#include "ui/win32/main_window.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

#include "app/main_window_form.h"
#include "base/notify.h"
#include "forms/preview_form.h"
#include "speedtest/time_view_form.h"
#include "ui/win32/app.h"
#include "ui/win32/data_module.h"
#include "ui/win32/errors_window.h"
#include "ui/win32/range_dialog.h"
#include "ui/win32/smart_window.h"
#include "ui/win32/time_view.h"
#include "win_test_util.h"

namespace dt::win::test {
namespace {

class MainWindowTest : public testing::Test {
 protected:
  void Open(const char* json) {
    auto m = Machine(json);
    sim_ = m.get();
    platform_ = std::make_unique<ScopedPlatform>(std::move(m));
    app_ = std::make_unique<WinApp>();
    f_ = app_->forms().Form1;
    app_->Show();
    ASSERT_TRUE(WaitFor([this] { return f_->Visible(); }));
  }
  void TearDown() override {
    app_.reset();
    platform_.reset();
  }

  HWND RangeWindow() const {
    return app_->forms().RangeForm->Visible() ? app_->forms().RangeForm->hwnd() : nullptr;
  }
  // Presses Start and accepts the range dialog as the start fills it in.
  void StartRun() {
    ModalWatcher okRange([this](HWND) { Click(app_->forms().RangeForm->Get<Button>("Button1")); },
                         [this] { return RangeWindow(); });
    Click(f_->Get<Button>("Button1"));
    EXPECT_EQ(okRange.Seen(), 1);
  }
  const PointTable& Points() const { return app_->forms().DataModule1->RxMemoryData1; }
  std::vector<Button*> ReportButtons() const {
    return {f_->Get<Button>("Button2"), f_->Get<Button>("Button3"), f_->Get<Button>("Button4"),
            f_->Get<Button>("Button5"), f_->Get<Button>("Button6"), f_->Get<Button>("Button7"),
            f_->Get<Button>("Button8")};
  }

  SimPlatform* sim_ = nullptr;
  std::unique_ptr<ScopedPlatform> platform_;
  std::unique_ptr<WinApp> app_;
  TForm1* f_ = nullptr;
};

TEST_F(MainWindowTest, WindowsAreBuiltFromTheirDescriptions) {
  Open(kTwoDisks);
  // Before FormShow the form is as described; after it, as its rules say.
  TRangeForm& range = *app_->forms().RangeForm;
  ExpectMatchesDescription(range);
  ExpectMatchesDescription(*app_->forms().Form4, {"DBChart1"});
  form::FormState state(MainWindowForm());
  main_window::FormShow(state);
  for (const form::ControlSpec& c : MainWindowForm().controls) {
    if (c.kind == form::Kind::Timer) continue;
    SCOPED_TRACE(c.name);
    const Control* w = f_->Find(c.name);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->Visible(), state[c.name].visible);
    EXPECT_EQ(w->Enabled(), state[c.name].enabled);
    EXPECT_EQ(w->Hint(), c.hint);
    EXPECT_EQ(w->Place().top, c.rect.y);
    if (c.kind == form::Kind::Button) {
      EXPECT_EQ(w->Text(), Caption(c.caption));
    }
  }
  EXPECT_EQ(WindowText(f_->hwnd()), MainWindowForm().title);
  RECT outer;
  GetWindowRect(f_->hwnd(), &outer);
  EXPECT_EQ(outer.left, 1);
  EXPECT_EQ(outer.top, 1);
  // The lists hold every drive, the first one current.
  EXPECT_EQ(f_->Get<ComboBox>("ComboBox2")->Count(), 2);
  EXPECT_EQ(f_->Get<ComboBox>("ComboBox2")->Text().rfind("C: 64", 0), 0u)
      << f_->Get<ComboBox>("ComboBox2")->Text();
  EXPECT_EQ(f_->Get<ComboBox>("DriveComboBox1")->ItemText(1), "D:");
  // The chart follows the window's size.
  SetWindowPos(f_->hwnd(), nullptr, 0, 0, 900, 700, SWP_NOMOVE | SWP_NOZORDER);
  const SIZE client = f_->ClientSize();
  const form::Rect want = main_window::ChartRect(900, 700, client.cx, client.cy);
  const RECT chart = f_->Get<LineChart>("DBChart1")->Place();
  EXPECT_EQ(chart.right - chart.left, want.width);
  EXPECT_EQ(chart.bottom - chart.top, want.height);
}

TEST_F(MainWindowTest, SmartOptionsFollowTheirCheckBoxes) {
  Open(kTwoDisks);
  EXPECT_FALSE(f_->Logic().Smart().health);
  EXPECT_FALSE(f_->Get<CheckBox>("HealthFlg")->Enabled());
  f_->Get<CheckBox>("HealthFlg")->SetChecked(true);
  f_->Get<CheckBox>("IdentFlg")->SetChecked(true);
  const SmartOptions o = f_->Logic().Smart();
  EXPECT_TRUE(o.health && o.identify && o.english);
  EXPECT_FALSE(o.reserved || o.help);
}

TEST_F(MainWindowTest, FullRunFillsLabelsPointsAndChart) {
  Open(kTwoDisks);
  StartRun();
  EXPECT_EQ(f_->Get<Button>("Button1")->Text(), "Stop");
  for (Button* b : ReportButtons()) EXPECT_FALSE(b->Enabled()) << b->Name();
  EXPECT_EQ(f_->Get<Label>("Label4")->Text(), "BlokSize 512*256=131,072");
  EXPECT_EQ(f_->Get<Label>("Label7")->Text(), "Bloks 511");
  EXPECT_EQ(f_->Get<Label>("Label5")->Text(), "From  0");
  EXPECT_EQ(f_->Get<Label>("Label6")->Text(), "To    67,108,863");
  EXPECT_EQ(f_->Get<Label>("DiskSz")->Text(), "64.000 Mb");

  ASSERT_TRUE(WaitFor([this] { return !f_->Speed().Busy(); }));
  EXPECT_EQ(f_->Get<Button>("Button1")->Text(), "Start");
  for (Button* b : ReportButtons()) EXPECT_TRUE(b->Enabled()) << b->Name();
  ASSERT_EQ(Points().Size(), std::size_t{512});
  EXPECT_EQ(f_->Get<Label>("Label2")->Text(), "100.0%");
  EXPECT_EQ(f_->Get<Label>("Label10")->Text(), "Cur.addr. 67,108,864");
  EXPECT_EQ(f_->Get<Label>("ElTime")->Text().rfind("Time 00:00:", 0), 0u);
  EXPECT_EQ(f_->Get<Label>("Label3")->Text(), "Errors: 0");
  // A label sized to its text shows it whole.
  HDC dc = GetDC(f_->Get<Label>("Label10")->hwnd());
  SelectObject(dc, f_->Get<Label>("Label10")->Font());
  SIZE text;
  const std::wstring w = Wide(f_->Get<Label>("Label10")->Text());
  GetTextExtentPoint32W(dc, w.c_str(), static_cast<int>(w.size()), &text);
  ReleaseDC(f_->Get<Label>("Label10")->hwnd(), dc);
  const RECT place = f_->Get<Label>("Label10")->Place();
  EXPECT_GE(place.right - place.left, text.cx);

  // The last refresh comes from the timer after the end of the run.
  ASSERT_TRUE(WaitFor([this] { return f_->Get<LineChart>("DBChart1")->ShownPoints() == 512; }));
  const ChartScales& s = f_->Get<LineChart>("DBChart1")->Scales();
  EXPECT_LE(s.x.min, Points().At(0).Ps);
  EXPECT_GE(s.x.max, 100.0);
  double lo = 1e300, hi = 0;
  for (std::size_t i = 0; i < Points().Size(); ++i) {
    lo = std::min(lo, Points().At(i).Speed);
    hi = std::max(hi, Points().At(i).Speed);
  }
  EXPECT_LE(s.y.min, lo);
  EXPECT_GE(s.y.max, hi);
  EXPECT_GT(Points().At(10).Speed, Points().At(500).Speed);

  // The time window shows the same table.
  TForm4& view = *app_->forms().Form4;
  ModalWatcher close([&](HWND h) { PostMessageW(h, WM_CLOSE, 0, 0); },
                     [&] { return view.Visible() ? view.hwnd() : nullptr; });
  Click(f_->Get<Button>("Button8"));
  EXPECT_EQ(close.Seen(), 1);
  EXPECT_EQ(view.DBChart1->ShownPoints(), 512);
}

TEST_F(MainWindowTest, StopEndsTheRunWithoutTheErrorsWindow) {
  Open(kTwoDisks);
  Click(f_->Get<CheckBox>("Physical"));
  f_->Get<ComboBox>("ComboBox1")->SetCurrent(1);  // the disk with bad sectors at 1 MiB
  f_->Get<Edit>("Edit1")->SetText("2");           // 2 MiB blocks, read as two requests each
  std::atomic<int> reads{0};
  std::atomic<bool> release{false};
  sim_->SetRequestHook([&](int, std::int64_t, bool) {
    if (++reads == 5)
      while (!release.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  });
  StartRun();
  ASSERT_TRUE(WaitFor([&] { return reads.load() == 5; }));
  EXPECT_EQ(f_->Get<Button>("Button1")->Text(), "Stop");
  Click(f_->Get<Button>("Button1"));
  release = true;
  ASSERT_TRUE(WaitFor([this] { return !f_->Speed().Busy(); }));
  EXPECT_EQ(f_->Get<Button>("Button1")->Text(), "Start");
  EXPECT_EQ(reads.load(), 5);
  EXPECT_EQ(Points().Size(), std::size_t{2});
  ASSERT_TRUE(WaitFor([this] { return f_->Get<Label>("Label3")->Text() == "Errors: 2"; }));
  EXPECT_EQ(app_->forms().ErrListFrm->Lines().size(), 2u);
  WaitFor([] { return false; }, 300);
  EXPECT_FALSE(app_->forms().ErrListFrm->Visible());
  sim_->SetRequestHook(nullptr);
}

TEST_F(MainWindowTest, RunWithErrorsShowsTheErrorsWindowModally) {
  Open(kTwoDisks);
  Click(f_->Get<CheckBox>("Physical"));
  f_->Get<ComboBox>("ComboBox1")->SetCurrent(1);
  f_->Get<Edit>("Edit1")->SetText("4");  // 1 MiB blocks
  std::vector<std::string> shown;
  bool modal = false;
  TErrListFrm& errors = *app_->forms().ErrListFrm;
  ModalWatcher watcher(
      [&](HWND h) {
        if (h == RangeWindow()) {
          Click(app_->forms().RangeForm->Get<Button>("Button1"));
          return;
        }
        modal = errors.IsModal() && !IsWindowEnabled(f_->hwnd());
        shown = errors.Lines();
        PostMessageW(h, WM_CLOSE, 0, 0);
      },
      [&] { return RangeWindow()      ? RangeWindow()
                   : errors.Visible() ? errors.hwnd()
                                      : nullptr; });
  Click(f_->Get<Button>("Button1"));
  ASSERT_TRUE(WaitFor([this] { return !f_->Speed().Busy(); }));
  ASSERT_TRUE(WaitFor([&] { return watcher.Seen() == 2; }));
  EXPECT_TRUE(modal);
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(
      shown[0].rfind("1 at 12.7 % 1,048,576 (2,048)  size 1,048,576 (2,048)  Error Code = ", 0), 0u)
      << shown[0];
  EXPECT_EQ(shown[1].rfind("2 at 51.0 % 4,194,304 (8,192)  size 1,048,576 (2,048)  ", 0), 0u)
      << shown[1];
  EXPECT_EQ(f_->Get<Label>("Label3")->Text(), "Errors: 2");
  EXPECT_TRUE(IsWindowEnabled(f_->hwnd()));
}

TEST_F(MainWindowTest, ClosingTheMainWindowDuringARunEndsTheRunAndTheProgram) {
  Open(kTwoDisks);
  std::atomic<int> reads{0};
  sim_->SetRequestHook([&](int, std::int64_t, bool) {
    ++reads;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  });
  StartRun();
  ASSERT_TRUE(WaitFor([&] { return reads.load() > 3; }));
  SendMessageW(f_->hwnd(), WM_CLOSE, 0, 0);
  // The close waited for the worker's end of run, serving its steps.
  EXPECT_FALSE(f_->Speed().Busy());
  EXPECT_FALSE(f_->Visible());
  EXPECT_LT(Points().Size(), 512u);
  MSG m;
  EXPECT_TRUE(PeekMessageW(&m, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  sim_->SetRequestHook(nullptr);
}

// Whether the screen shows `chart` as it is drawn afresh at its size now.
bool ShowsChartAtItsSize(const LineChart* chart) {
  RECT rc;
  GetClientRect(chart->hwnd(), &rc);
  POINT at{0, 0};
  ClientToScreen(chart->hwnd(), &at);
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = rc.right;
  bi.bmiHeader.biHeight = -rc.bottom;  // top-down
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  HDC screen = GetDC(nullptr);
  HDC dc[2] = {CreateCompatibleDC(screen), CreateCompatibleDC(screen)};
  void* bits[2] = {};
  HBITMAP bmp[2];
  for (int i = 0; i < 2; ++i) {
    bmp[i] = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits[i], nullptr, 0);
    SelectObject(dc[i], bmp[i]);
  }
  BitBlt(dc[0], 0, 0, rc.right, rc.bottom, screen, at.x, at.y, SRCCOPY);
  FillRect(dc[1], &rc, GetSysColorBrush(COLOR_BTNFACE));
  DrawChart(dc[1], rc, chart->Spec().caption, chart->Shown(), chart->Scales(), ChartLook{});
  GdiFlush();
  const bool same =
      std::memcmp(bits[0], bits[1], static_cast<std::size_t>(rc.right) * rc.bottom * 4) == 0;
  for (int i = 0; i < 2; ++i) {
    DeleteDC(dc[i]);
    DeleteObject(bmp[i]);
  }
  ReleaseDC(nullptr, screen);
  return same;
}

// A window's chart is drawn again whole at every new size of the window:
// grown, the old picture would stay beside the new one; shrunk, the part
// still shown would keep the old scale.
TEST_F(MainWindowTest, ChartsAreDrawnAgainWholeAtEveryNewSize) {
  Open(kTwoDisks);
  StartRun();
  ASSERT_TRUE(WaitFor([this] { return !f_->Speed().Busy(); }));
  TForm4& view = *app_->forms().Form4;
  const std::pair<Form*, LineChart*> windows[] = {{f_, f_->Get<LineChart>("DBChart1")},
                                                  {&view, view.DBChart1}};
  for (const auto& [form, chart] : windows) {
    SCOPED_TRACE(form->Spec().name);
    form->Show();
    ASSERT_TRUE(WaitFor([&] { return form->Visible(); }));
    chart->Refresh();
    ASSERT_TRUE(WaitFor([&] { return ShowsChartAtItsSize(chart); }));
    const SIZE start = form->OuterSize();
    for (const SIZE size :
         {SIZE{start.cx + 200, start.cy + 150}, SIZE{start.cx - 100, start.cy - 80}, start}) {
      const RECT before = chart->Place();
      SetWindowPos(form->hwnd(), nullptr, 0, 0, size.cx, size.cy,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
      const RECT after = chart->Place();
      ASSERT_FALSE(EqualRect(&before, &after)) << "the chart kept its size";
      EXPECT_TRUE(WaitFor([&] { return ShowsChartAtItsSize(chart); }))
          << "at " << size.cx << "x" << size.cy;
    }
  }
  view.Hide();
}

// Takes the icon of a message box's icon control into the HICON at `p`.
BOOL CALLBACK TakeIcon(HWND h, LPARAM p) {
  if (IsWindowVisible(h) && (GetWindowLongW(h, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
    *reinterpret_cast<HICON*>(p) = reinterpret_cast<HICON>(SendMessageW(h, STM_GETICON, 0, 0));
  return TRUE;
}

// A notice has OK alone and an icon; the system error box and the range's
// "Data Error" keep their OK and Cancel without one.
TEST(MessageBoxes, NoticesHaveOkAndAnIconTheErrorBoxesOkAndCancel) {
  const ScopedWinNotifier notifier;
  const HICON warning = LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_WARNING));
  const HICON information = LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_INFORMATION));
  const struct {
    const char* caption;
    std::string text;
    bool cancel;
    HICON icon;
  } cases[] = {
      {kPrintCaption, kNoPrinterText, false, warning},
      {"Surface test", SpeedTest::BusyText(), false, information},
      {"Error", "'abc' is not a valid integer value", false, warning},
      {"Read speed test", "No block size can be formed: the block count is 0", false, warning},
      {"System error (read error)", " Error Code = 23 Data error", true, nullptr},
      {"Data Error", "Invalid range", true, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    bool cancel = false;
    HICON icon = nullptr;
    ModalWatcher watcher([&](HWND box) {
      cancel = IsWindowVisible(GetDlgItem(box, IDCANCEL));
      EnumChildWindows(box, &TakeIcon, reinterpret_cast<LPARAM>(&icon));
      Answer(box, IDOK);
    });
    Notify().ShowMessage(c.caption, c.text);
    ASSERT_EQ(watcher.Seen(), 1);
    EXPECT_EQ(cancel, c.cancel);
    EXPECT_EQ(icon, c.icon);
  }
}

// Escape in the range dialog is its Cancel, as Enter is its Ok.
TEST_F(MainWindowTest, EscapeCancelsTheRangeDialog) {
  Open(kTwoDisks);
  TRangeForm& range = *app_->forms().RangeForm;
  bool closedByEscape = false;
  ModalWatcher escape(
      [&](HWND) {
        PostMessageW(range.Get<Edit>("Edit1")->hwnd(), WM_KEYDOWN, VK_ESCAPE, 0);
        closedByEscape = WaitFor([&] { return !range.Visible(); });
        if (!closedByEscape) Click(range.Get<Button>("Button2"));
      },
      [this] { return RangeWindow(); });
  Click(f_->Get<Button>("Button1"));  // returns when the dialog has closed
  EXPECT_EQ(escape.Seen(), 1);
  EXPECT_TRUE(closedByEscape);
  EXPECT_FALSE(range.Model().RangeAccepted);
  EXPECT_FALSE(f_->Speed().Busy());
  EXPECT_EQ(f_->Get<Button>("Button1")->Text(), "Start");
  EXPECT_EQ(Points().Size(), 0u);
}

TEST_F(MainWindowTest, RangeDialogAlignsLeftFieldsAndRefusesAnInvalidRange) {
  Open(kTwoDisks);
  TRangeForm& range = *app_->forms().RangeForm;
  std::vector<std::string> boxes;
  int step = 0;
  bool openAfterBox = false;
  ModalWatcher watcher(
      [&](HWND h) {
        if (h != range.hwnd()) {  // the "Data Error" box
          boxes.push_back(WindowText(h) + ": " + BoxText(h));
          Answer(h, IDOK);
          return;
        }
        if (step == 1) {
          // The refused range leaves the dialog open; Cancel ends it.
          openAfterBox = true;
          ++step;
          PostMessageW(range.Get<Button>("Button2")->hwnd(), BM_CLICK, 0, 0);
          return;
        }
        // The start filled in the whole disk.
        EXPECT_EQ(range.Get<Edit>("Edit1")->Text(), "0");
        EXPECT_EQ(range.Get<Edit>("Edit2")->Text(), "0");
        EXPECT_EQ(range.Get<Edit>("Edit4")->Text(), "100");
        // Leaving a field for another one aligns it and fills its pair.
        SetFocus(range.Get<Edit>("Edit1")->hwnd());
        range.Get<Edit>("Edit1")->SetText("1000");
        SetFocus(range.Get<Edit>("Edit3")->hwnd());
        EXPECT_EQ(range.Get<Edit>("Edit1")->Text(), "512");
        EXPECT_NE(range.Get<Edit>("Edit2")->Text(), "0");
        // An end before the start is refused.
        range.Get<Edit>("Edit3")->SetText("100");
        SetFocus(range.Get<Edit>("Edit4")->hwnd());
        ++step;
        // Posted: the box it opens must be answered by this watcher.
        PostMessageW(range.Get<Button>("Button1")->hwnd(), BM_CLICK, 0, 0);
      },
      [&] {
        const auto d = DialogBoxes();
        if (!d.empty()) return d.front();
        const bool wanted = step == 0 || (step == 1 && boxes.size() == 1);
        return range.Visible() && wanted ? range.hwnd() : nullptr;
      });
  Click(f_->Get<Button>("Button1"));  // returns when the dialog has closed
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0], "Data Error: Invalid range");
  EXPECT_TRUE(openAfterBox);
  EXPECT_FALSE(range.Visible());
  EXPECT_FALSE(f_->Speed().Busy());
  EXPECT_EQ(Points().Size(), 0u);
}

}  // namespace
}  // namespace dt::win::test
