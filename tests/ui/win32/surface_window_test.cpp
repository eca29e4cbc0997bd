// The surface test window on the simulated machine: its controls against
// the description and the layout rules, the numeric edits and option rules,
// a read run drawn live into the map, the questions before writing, Stop,
// and closing or destroying the window while the worker is inside a run.
#include "ui/win32/surface_window.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "base/notify.h"
#include "device/device.h"
#include "surface/surface_window_form.h"
#include "ui/win32/errors_window.h"
#include "ui/win32/main_thread.h"
#include "ui/win32/notifier.h"
#include "win_test_util.h"

namespace dt::win::test {
namespace {

constexpr const char* kDisk0 = "\\\\.\\PHYSICALDRIVE0";
constexpr const char* kDisk1 = "\\\\.\\PHYSICALDRIVE1";

std::uint32_t RasterPixel(const surface::MapImage& m, int x, int y) {
  const surface::Rgb c = m.Pixel(x, y);
  return (std::uint32_t{c.r} << 16) | (std::uint32_t{c.g} << 8) | c.b;
}

// The first `sectors` sectors of a disk, read through a handle of their own.
std::vector<char> DiskBytes(const std::string& path, int sectors) {
  const Handle h = Sys().OpenDevice(path, kGenericRead, kShareRead | kShareWrite, kOpenExisting,
                                    kAttributeNormal);
  std::vector<char> bytes(static_cast<std::size_t>(sectors) * 512);
  std::uint32_t done = 0;
  EXPECT_TRUE(Sys().ReadAt(h, 0, bytes.data(), static_cast<std::uint32_t>(bytes.size()), &done));
  Sys().Close(h);
  return bytes;
}

class SurfaceWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    auto m = Machine(kTwoDisks);
    sim_ = m.get();
    platform_ = std::make_unique<ScopedPlatform>(std::move(m));
    errors_ = std::make_unique<TErrListFrm>();
    w_ = std::make_unique<TSurfaceTest>(main_, errors_.get());
  }
  void TearDown() override {
    if (w_ && w_->Visible()) w_->Hide();
    w_.reset();
    errors_.reset();
    sim_->SetRequestHook(nullptr);
    platform_.reset();
  }

  surface::SurfaceTestLogic& Logic() { return w_->Logic(); }
  surface::SurfaceState& State() { return w_->Logic().State(); }

  // Hands physical disk `disk` over as "Surface test" does and runs
  // `inside` while the window is shown modally; closes it then.
  void HandOver(int disk, const std::function<void()>& inside) {
    const DriveRef sel = DriveRef::OfDisk(disk);
    bool shown = false;
    ModalWatcher watcher(
        [&](HWND) {
          shown = true;
          inside();
          if (w_->Visible()) SendMessageW(w_->hwnd(), WM_CLOSE, 0, 0);
        },
        [&] { return w_->Visible() ? w_->hwnd() : HWND{}; });
    surface::SurfaceHandOver(
        sel, Logic(), [&] { w_->ShowModal(); }, PumpWorkerSteps);
    EXPECT_TRUE(shown);
  }

  // Shows the window without a modal loop for a disk opened here.
  void ShowFor(const std::string& path, std::int64_t blocks, const std::string& model = "Model") {
    surface::TestedDisk disk;
    ASSERT_TRUE(surface::OpenTestedPath(path, &disk, true));
    disk.model = model;
    disk.blocks = blocks;
    disk.bytes = -1;
    Logic().SetTestedDisk(std::move(disk));
    w_->Show();
    ASSERT_TRUE(WaitFor([&] { return w_->Visible(); }));
  }

  bool RunEnded() {
    return WaitFor([&] { return w_->Get<Button>("StartButton")->Text() == "Start" && !Logic().Busy(); }, 180000);
  }

  std::vector<Control*> RunDisabled() const {
    return {w_->Get<CheckBox>("ReadTestButton"),
            w_->Get<CheckBox>("WriteTestButton"),
            w_->Get<CheckBox>("ReadAndWriteButton"),
            w_->Get<CheckBox>("WriteAndReadButton"),
            w_->Get<CheckBox>("WriteToFile"),
            w_->Get<CheckBox>("LogErrors"),
            w_->Get<Button>("Button1"),
            w_->Get<CheckBox>("FirstNErrors"),
            w_->Get<Edit>("ErrorsNumber"),
            w_->Get<Edit>("TestRetry"),
            w_->Get<Label>("Label11")};
  }

  SimPlatform* sim_ = nullptr;
  std::unique_ptr<ScopedPlatform> platform_;
  ScopedWinNotifier notifier_;
  WinMainThread main_;
  std::unique_ptr<TErrListFrm> errors_;
  std::unique_ptr<TSurfaceTest> w_;
};

TEST_F(SurfaceWindow, IsBuiltFromItsDescriptionAndFillsTheScreenWhenShown) {
  ExpectMatchesDescription(*w_);
  // A button shows the description's "&&" as one ampersand, not as an
  // access key.
  EXPECT_EQ(WindowText(w_->Get<CheckBox>("ReadAndWriteButton")->hwnd()),
            SurfaceTestForm().Find("ReadAndWriteButton")->caption);

  HandOver(0, [&] {
    EXPECT_EQ(w_->Get<Label>("TestedDiskName")->Text(), kDisk0);
    EXPECT_NE(w_->Get<Label>("DiskModel")->Text(), "Unknown");
    EXPECT_EQ(State().DiskBlocks.load(), 131072);
    EXPECT_EQ(w_->Get<Label>("DiskSize")->Text(), "64.00 Mb");
    EXPECT_TRUE(w_->Get<CheckBox>("WriteTestButton")->Enabled() && w_->Get<CheckBox>("ReadAndWriteButton")->Enabled());
    // The window fills the work area less 3 pixels, then shrinks around the
    // map, which takes the client area below the options.
    RECT work, outer;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    GetWindowRect(w_->hwnd(), &outer);
    const SIZE client = w_->ClientSize(), whole = w_->OuterSize();
    const int cw = work.right - work.left - 2 * (whole.cx - client.cx) - 3;
    const int ch = work.bottom - work.top - 2 * (whole.cy - client.cy) - 3;
    EXPECT_EQ(outer.left, 1);
    EXPECT_EQ(outer.top, 1);
    EXPECT_TRUE(client.cx <= cw - 3 && client.cx + 11 > cw - 3) << client.cx << " " << cw;
    EXPECT_TRUE(client.cy <= ch - 5 && client.cy + 11 > ch - 5) << client.cy << " " << ch;
    const RECT image = w_->Get<TSurfaceImage>("Image1")->Place();
    EXPECT_EQ(image.left, 0);
    EXPECT_EQ(image.top, 85);
    EXPECT_EQ(image.right, client.cx);
    EXPECT_EQ(image.bottom, client.cy - 3);
    EXPECT_EQ(w_->Get<TSurfaceImage>("Image1")->PictureWidth(), Logic().Map().Image().Width());
    EXPECT_EQ(w_->Get<TSurfaceImage>("Image1")->PictureHeight(), Logic().Map().Image().Height());
    const RECT first = w_->Get<CheckBox>("FirstNErrors")->Place(), clock = w_->Get<Clock>("RxClock1")->Place();
    EXPECT_EQ(first.bottom - first.top, 15);
    EXPECT_EQ(clock.left, std::max<LONG>(client.cx - 59, 580));
  });
  EXPECT_FALSE(DiskLease::Taken());
  EXPECT_EQ(sim_->OpenHandleCount(), 0);
}

// The width of `text` in a control's font.
int TextWidth(const Control* c, const std::string& text) {
  HDC dc = GetDC(c->hwnd());
  const HGDIOBJ old = SelectObject(dc, c->Font());
  const std::wstring w = Wide(text);
  SIZE size{};
  GetTextExtentPoint32W(dc, w.c_str(), static_cast<int>(w.size()), &size);
  SelectObject(dc, old);
  ReleaseDC(c->hwnd(), dc);
  return size.cx;
}

TEST_F(SurfaceWindow, TheModelShowsTrimmedAndNoLabelRunsIntoItsNeighbour) {
  const std::string padded = "WDC WD5000AAKS-00TMA0";
  const struct {
    std::string model, shown;
    bool whole;  // shown in full, not cut short by an ellipsis
  } cases[] = {
      {padded + std::string(40 - padded.size(), ' '), padded, true},
      {"  ST9100821AS", "ST9100821AS", true},
      {std::string(40, 'W'), std::string(40, 'W'), false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("model \"" + c.model + "\"");
    ShowFor(kDisk1, 100, c.model);
    EXPECT_EQ(w_->Get<Label>("DiskModel")->Text(), c.shown);
    const RECT model = w_->Get<Label>("DiskModel")->Place();
    if (c.whole) {
      EXPECT_GE(model.right - model.left, TextWidth(w_->Get<Label>("DiskModel"), c.shown));
    }
    // No two controls of the window's top part overlap.
    std::vector<const Control*> shown;
    for (const auto& control : w_->Controls())
      if (control.get() != w_->Get<TSurfaceImage>("Image1") && control->Visible() &&
          GetParent(control->hwnd()) == w_->hwnd())
        shown.push_back(control.get());
    for (std::size_t i = 0; i < shown.size(); ++i) {
      for (std::size_t j = i + 1; j < shown.size(); ++j) {
        const RECT a = shown[i]->Place(), b = shown[j]->Place();
        RECT both;
        EXPECT_FALSE(IntersectRect(&both, &a, &b))
            << shown[i]->Name() << " (" << a.left << "-" << a.right << ", " << a.top << "-"
            << a.bottom << ") runs into " << shown[j]->Name() << " (" << b.left << "-" << b.right
            << ", " << b.top << "-" << b.bottom << ")";
      }
    }
    w_->Hide();
    Logic().ReleaseTestedDisk();
  }
}

TEST_F(SurfaceWindow, NumericEditsKeepTheCaretAndTheOptionRulesGreyControls) {
  ShowFor(kDisk1, 100);
  HWND edit = w_->Get<Edit>("ErrorsNumber")->hwnd();
  auto type = [edit](const char* keys) {
    for (const char* k = keys; *k; ++k) SendMessageW(edit, WM_CHAR, static_cast<WPARAM>(*k), 0);
  };
  auto caret = [edit] {
    DWORD start = 0, end = 0;
    SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    return static_cast<int>(end);
  };
  SetFocus(edit);
  SendMessageW(edit, EM_SETSEL, 0, -1);
  type("12a3");
  EXPECT_EQ(w_->Get<Edit>("ErrorsNumber")->Text(), "123");
  EXPECT_EQ(caret(), 3);
  EXPECT_EQ(State().ErrorsLimit.load(), 123);
  // A letter typed in the middle goes; the caret stays where it was.
  SendMessageW(edit, EM_SETSEL, 1, 1);
  type("x9");
  EXPECT_EQ(w_->Get<Edit>("ErrorsNumber")->Text(), "1923");
  EXPECT_EQ(caret(), 2);
  EXPECT_EQ(State().ErrorsLimit.load(), 1923);

  // Unticking "Errors log" greys "Log first ", its edit and "errors".
  Click(w_->Get<CheckBox>("LogErrors"));
  EXPECT_FALSE(State().LogErrorsOn.load());
  EXPECT_FALSE(w_->Get<CheckBox>("FirstNErrors")->Enabled() || w_->Get<Edit>("ErrorsNumber")->Enabled() ||
               w_->Get<Label>("Label11")->Enabled());
  Click(w_->Get<CheckBox>("LogErrors"));
  Click(w_->Get<CheckBox>("FirstNErrors"));
  EXPECT_FALSE(State().FirstNOnly.load());
  EXPECT_TRUE(w_->Get<CheckBox>("FirstNErrors")->Enabled() && !w_->Get<Edit>("ErrorsNumber")->Enabled() &&
              w_->Get<Label>("Label11")->Enabled());
}

TEST_F(SurfaceWindow, AReadRunFillsTheMapLiveWithTheRasterAndLogsItsErrors) {
  // An errors window open before stays usable beside the modal window.
  errors_->ShowModeless();
  HandOver(1, [&] {
    const surface::MapImage& raster = Logic().Map().Image();
    const std::int64_t perCell = State().BlocksPerCell.load();
    const int columns = State().MapColumns;
    auto cellOf = [&](std::int64_t block) -> const surface::TMapCell& {
      const std::int64_t i = block / perCell;
      return State().Cell(static_cast<int>(i / columns), static_cast<int>(i % columns));
    };
    const surface::TMapCell& first = cellOf(0);
    const surface::TMapCell& bad = cellOf(2048);
    const surface::TMapCell& late = cellOf(12000);
    TSurfaceImage& image = *w_->Get<TSurfaceImage>("Image1");

    // The worker halts half-way until the map has been looked at.
    std::atomic<bool> halfway{false}, release{false};
    sim_->SetRequestHook([&](int, std::int64_t offset, bool) {
      if (offset >= 4 * 1024 * 1024 && !halfway.exchange(true))
        while (!release.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    });
    Click(w_->Get<Button>("StartButton"));
    EXPECT_EQ(w_->Get<Button>("StartButton")->Text(), "Stop");
    for (Control* c : RunDisabled()) EXPECT_FALSE(c->Enabled()) << c->Name();
    EXPECT_TRUE(w_->Get<Button>("StartButton")->Enabled());
    EXPECT_TRUE(WaitFor([&] { return halfway.load(); }, 180000));
    EXPECT_EQ(image.Pixel(first.Left + 5, first.Top + 5), 0xFFFF00u);
    EXPECT_EQ(image.Pixel(late.Left + 5, late.Top + 5), 0xFFFFFFu);
    // Escape does not close the window during the run.
    PostMessageW(w_->Get<Button>("StartButton")->hwnd(), WM_KEYDOWN, VK_ESCAPE, 0);
    PumpMessages();
    EXPECT_TRUE(w_->Visible());
    release = true;
    ASSERT_TRUE(RunEnded());

    for (Control* c : RunDisabled()) EXPECT_EQ(c->Enabled(), c != w_->Get<CheckBox>("WriteAndReadButton"));
    // The window shows exactly what the raster holds, on the screen too.
    ASSERT_EQ(image.PictureWidth(), raster.Width());
    ASSERT_EQ(image.PictureHeight(), raster.Height());
    int differ = 0;
    for (int y = 0; y < raster.Height(); ++y)
      for (int x = 0; x < raster.Width(); ++x)
        if (image.Pixel(x, y) != RasterPixel(raster, x, y) && differ++ < 5)
          ADD_FAILURE() << "pixel " << x << "," << y << " differs";
    UpdateWindow(image.hwnd());
    HDC dc = GetDC(image.hwnd());
    const COLORREF screen = GetPixel(dc, bad.Left, bad.Top);
    ReleaseDC(image.hwnd(), dc);
    EXPECT_EQ(screen, RGB(255, 0, 0));
    // The failing cell starts red under a dark B; a clean cell is yellow.
    EXPECT_EQ(image.Pixel(bad.Left, bad.Top), 0xFF0000u);
    EXPECT_EQ(image.Pixel(bad.Left + 2, bad.Top + 1), 0x7F0000u);
    EXPECT_EQ(image.Pixel(late.Left + 5, late.Top + 5), 0xFFFF00u);

    EXPECT_EQ(w_->Get<Label>("BadBlocksRead")->Text().rfind("9 (", 0), 0u) << w_->Get<Label>("BadBlocksRead")->Text();
    EXPECT_EQ(w_->Get<Label>("BadBlocksWrite")->Text(), w_->Get<Label>("BadBlocksCompare")->Text());
    const std::vector<std::string> lines = errors_->Lines();
    ASSERT_EQ(lines.size(), 9u);
    EXPECT_EQ(lines[0].rfind("1 read error at 2,048 Error Code = ", 0), 0u) << lines[0];

    // The mouse over the failing cell, then over the first one.
    SendMessageW(image.hwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(bad.Left + 4, bad.Top + 4));
    const std::string info = w_->Get<Label>("CurrenElementInfo")->Text();
    const std::string tail = "% " + std::to_string(bad.BadBlocks.load()) + " bad blocks";
    EXPECT_TRUE(info.size() > tail.size() && info.ends_with(tail)) << info;
    SendMessageW(image.hwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(first.Left + 1, first.Top + 1));
    EXPECT_EQ(w_->Get<Label>("CurrenElementInfo")->Text(), "0.00% ");

    // "Show errors log": the errors window, usable beside the modal window.
    EXPECT_TRUE(IsWindowEnabled(errors_->hwnd()));
    Click(w_->Get<Button>("Button1"));
    EXPECT_TRUE(errors_->Visible() && IsWindowEnabled(errors_->hwnd()));
    EXPECT_FALSE(errors_->IsModal());
  });
  errors_->Hide();
}

TEST_F(SurfaceWindow, AWritingTestWritesOnlyAfterBothWarningsAnsweredYes) {
  const std::vector<char> before = DiskBytes(kDisk1, 2048);
  std::atomic<int> writes{0};
  sim_->SetRequestHook([&](int, std::int64_t, bool write) {
    if (!write) return;
    // After its first write the run waits for Stop: on a slow machine it
    // would else end before the test clicks Stop, and the click start another.
    if (++writes == 1) return;
    for (int i = 0; i < 60000 && State().SurfaceRunning.load(); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
  });
  const std::vector<std::string> questions = {surface::kWriteQuestion, surface::kSureQuestion};
  // No to the first question, No to the second, then Yes to both.
  for (int noAt : {0, 1, -1}) {
    SCOPED_TRACE(noAt);
    std::vector<std::string> seen;
    HandOver(1, [&] {
      Click(w_->Get<CheckBox>("WriteTestButton"));
      EXPECT_EQ(State().TestMode.load(), surface::kModeWrite);
      ModalWatcher answer([&](HWND box) {
        EXPECT_EQ(WindowText(box), surface::kWarningCaption);
        const bool no = static_cast<int>(seen.size()) == noAt;
        seen.push_back(BoxText(box));
        Answer(box, no ? IDNO : IDYES);
      });
      Click(w_->Get<Button>("StartButton"));
      if (noAt >= 0) {
        EXPECT_EQ(w_->Get<Button>("StartButton")->Text(), "Start");
        EXPECT_TRUE(w_->Get<CheckBox>("ReadTestButton")->Enabled());
      } else {
        // Writing has begun at the disk's start: Stop.
        EXPECT_TRUE(WaitFor([&] { return writes.load() > 0; }));
        Click(w_->Get<Button>("StartButton"));
        EXPECT_TRUE(RunEnded());
      }
    });
    EXPECT_EQ(seen, std::vector<std::string>(questions.begin(),
                                             questions.begin() + (noAt < 0 ? 2 : noAt + 1)));
    if (noAt >= 0) {
      EXPECT_EQ(writes.load(), 0);
      EXPECT_TRUE(DiskBytes(kDisk1, 2048) == before);
    }
  }
  EXPECT_GT(writes.load(), 0);
  EXPECT_FALSE(DiskBytes(kDisk1, 2048) == before);
  EXPECT_EQ(sim_->OpenHandleCount(), 0);
}

TEST_F(SurfaceWindow, StopClosingAndDestroyingTheWindowEndTheRun) {
  std::atomic<int> requests{0};
  sim_->SetRequestHook([&](int, std::int64_t, bool) {
    ++requests;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  });
  // Stop.
  ShowFor(kDisk0, 131072);
  Click(w_->Get<Button>("StartButton"));
  ASSERT_TRUE(WaitFor([&] { return requests.load() >= 5; }));
  Click(w_->Get<Button>("StartButton"));
  ASSERT_TRUE(RunEnded());
  EXPECT_LT(State().ReadDone.load(), State().DiskBlocks.load());
  EXPECT_TRUE(w_->Get<CheckBox>("ReadTestButton")->Enabled());
  int after = requests.load();
  for (int i = 0; i < 20; ++i) PumpWorkerSteps();
  EXPECT_EQ(requests.load(), after);
  w_->Hide();
  Logic().ReleaseTestedDisk();

  // Closing the modal window: the worker goes on handing cells to it while
  // it closes; the hand-over waits for the run's end and closes the disk.
  requests = 0;
  HandOver(0, [&] {
    Click(w_->Get<Button>("StartButton"));
    EXPECT_TRUE(WaitFor([&] { return requests.load() >= 5; }));
    SendMessageW(w_->hwnd(), WM_CLOSE, 0, 0);
  });
  EXPECT_FALSE(DiskLease::Taken());
  EXPECT_FALSE(Logic().Busy());
  EXPECT_LT(State().ReadDone.load(), State().DiskBlocks.load());
  EXPECT_TRUE(WaitFor([&] { return w_->Get<Button>("StartButton")->Text() == "Start"; }));
  EXPECT_EQ(sim_->OpenHandleCount(), 0);

  // Destroying the window during a run stops it and serves its last steps.
  requests = 0;
  ShowFor(kDisk0, 131072);
  Click(w_->Get<Button>("StartButton"));
  ASSERT_TRUE(WaitFor([&] { return requests.load() >= 3; }));
  w_.reset();
  after = requests.load();
  EXPECT_LT(after, 1024);
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(requests.load(), after);
}

}  // namespace
}  // namespace dt::win::test
