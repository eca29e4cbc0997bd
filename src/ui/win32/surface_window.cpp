#include "ui/win32/surface_window.h"

#include <algorithm>
#include <string>
#include <vector>

#include "device/notify.h"
#include "speedtest/read_speed_run.h"
#include "surface/surface_window_form.h"
#include "ui/win32/errors_window.h"
#include "ui/win32/main_window.h"

namespace dt::win {

void PumpWorkerSteps() {
  PumpMessages();
  // A worker's step arrives as a sent message, which ends the wait.
  MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_ALLINPUT);
}

// ---------------------------------------------------------------------------
// Image1

TSurfaceImage::~TSurfaceImage() {
  if (dc_) {
    SelectObject(dc_, old_);
    DeleteDC(dc_);
  }
  if (bitmap_) DeleteObject(bitmap_);
}

void TSurfaceImage::TakeAll(const surface::MapImage& map) {
  const int width = std::max(map.Width(), 1), height = std::max(map.Height(), 1);
  if (width != width_ || height != height_) {
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = -height;  // top-down: row 0 first
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap) return;
    if (!dc_) {
      dc_ = CreateCompatibleDC(nullptr);
      old_ = SelectObject(dc_, bitmap);
    } else {
      SelectObject(dc_, bitmap);
      DeleteObject(bitmap_);
    }
    bitmap_ = bitmap;
    bits_ = static_cast<std::uint32_t*>(bits);
    width_ = width;
    height_ = height;
  }
  GdiFlush();
  std::fill(bits_, bits_ + static_cast<std::size_t>(width_) * height_, 0x00FFFFFFu);
  TakeRect(map, RECT{0, 0, map.Width(), map.Height()});
  SetWindowPos(hwnd_, nullptr, 0, 0, map.Width(), map.Height(),
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  InvalidateRect(hwnd_, nullptr, FALSE);
}

void TSurfaceImage::TakeRect(const surface::MapImage& map, const RECT& r) {
  if (!bits_) return;
  const RECT area{std::max<LONG>(r.left, 0), std::max<LONG>(r.top, 0),
                  std::min<LONG>({r.right, map.Width(), width_}),
                  std::min<LONG>({r.bottom, map.Height(), height_})};
  if (area.right <= area.left || area.bottom <= area.top) return;
  GdiFlush();
  for (LONG y = area.top; y < area.bottom; ++y) {
    const std::uint8_t* src = map.Bits() + static_cast<std::size_t>(y) * map.BytesPerLine() +
                              static_cast<std::size_t>(area.left) * 3;
    std::uint32_t* dst = bits_ + static_cast<std::size_t>(y) * width_ + area.left;
    for (LONG x = area.left; x < area.right; ++x, src += 3)
      *dst++ = (std::uint32_t{src[0]} << 16) | (std::uint32_t{src[1]} << 8) | src[2];
  }
  InvalidateRect(hwnd_, &area, FALSE);
}

std::uint32_t TSurfaceImage::Pixel(int x, int y) const {
  if (!bits_ || x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
  GdiFlush();
  return bits_[static_cast<std::size_t>(y) * width_ + x] & 0x00FFFFFFu;
}

void TSurfaceImage::Paint(HDC dc, const RECT& client) {
  // Only the part that needs painting; the window is as large as the map.
  RECT box;
  if (GetClipBox(dc, &box) == NULLREGION) return;
  IntersectRect(&box, &box, &client);
  FillRect(dc, &box, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  if (dc_)
    BitBlt(dc, box.left, box.top, std::min<LONG>(box.right, width_) - box.left,
           std::min<LONG>(box.bottom, height_) - box.top, dc_, box.left, box.top, SRCCOPY);
  if (legend_.empty()) return;
  // A swatch and its text a line, in a framed white box at the top right.
  const HGDIOBJ oldFont = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
  TEXTMETRICW tm{};
  GetTextMetricsW(dc, &tm);
  const int line = tm.tmHeight + 2;
  int textWidth = 0;
  for (const surface::LegendEntry& l : legend_) {
    const std::wstring t = Wide(l.text);
    SIZE size{};
    GetTextExtentPoint32W(dc, t.c_str(), static_cast<int>(t.size()), &size);
    textWidth = std::max<int>(textWidth, size.cx);
  }
  const int w = 8 + 12 + 6 + textWidth + 8;
  const int h = 6 + line * static_cast<int>(legend_.size()) + 4;
  RECT frame{client.right - w - 4, 4, client.right - 4, 4 + h};
  FillRect(dc, &frame, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  FrameRect(dc, &frame, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(0, 0, 0));
  int y = frame.top + 6;
  for (const surface::LegendEntry& l : legend_) {
    RECT swatch{frame.left + 8, y + (line - 12) / 2, frame.left + 20, y + (line - 12) / 2 + 12};
    const HBRUSH brush = CreateSolidBrush(RGB(l.colour.r, l.colour.g, l.colour.b));
    FillRect(dc, &swatch, brush);
    DeleteObject(brush);
    FrameRect(dc, &swatch, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    const std::wstring t = Wide(l.text);
    TextOutW(dc, swatch.right + 6, y + 1, t.c_str(), static_cast<int>(t.size()));
    y += line;
  }
  SelectObject(dc, oldFont);
}

void TSurfaceImage::SetLegend(std::vector<surface::LegendEntry> legend) {
  if (legend == legend_) return;
  legend_ = std::move(legend);
  InvalidateRect(hwnd_, nullptr, FALSE);
}

void TSurfaceImage::MouseMove(int x, int y) {
  if (onMouseMove) onMouseMove(x, y);
}

// ---------------------------------------------------------------------------
// The errors window as the surface test uses it.

class TSurfaceTest::ErrorsAdapter : public surface::ErrorLog {
 public:
  explicit ErrorsAdapter(TErrListFrm* f) : f_(f) {}
  void Clear() override {
    if (f_) f_->Clear();
  }
  void Append(const std::string& line) override {
    if (f_) f_->AppendLine(line);
  }
  void Show() override {
    if (f_) f_->ShowModeless();
  }

 private:
  TErrListFrm* f_;
};

// ---------------------------------------------------------------------------
// The window

TSurfaceTest::TSurfaceTest(MainThread& mainThread, TErrListFrm* errors, Form* main)
    : Form(SurfaceTestForm(),
           [](const form::ControlSpec& c, Form& f) -> std::unique_ptr<Control> {
             if (c.kind == form::Kind::Image) return std::make_unique<TSurfaceImage>(c, f);
             return nullptr;
           }),
      errorsForm_(errors),
      errors_(std::make_unique<ErrorsAdapter>(errors)),
      state_(SurfaceTestForm()) {
  if (main) SetWindowLongPtrW(hwnd(), GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(main->hwnd()));
  Panel1 = Get<Panel>("Panel1");
  ReadTestButton = Get<CheckBox>("ReadTestButton");
  WriteTestButton = Get<CheckBox>("WriteTestButton");
  ReadAndWriteButton = Get<CheckBox>("ReadAndWriteButton");
  WriteAndReadButton = Get<CheckBox>("WriteAndReadButton");
  StartButton = Get<Button>("StartButton");
  WriteToFile = Get<CheckBox>("WriteToFile");
  LogErrors = Get<CheckBox>("LogErrors");
  Button1 = Get<Button>("Button1");
  FirstNErrors = Get<CheckBox>("FirstNErrors");
  ErrorsNumber = Get<Edit>("ErrorsNumber");
  Label11 = Get<Label>("Label11");
  Label1 = Get<Label>("Label1");
  TestRetry = Get<Edit>("TestRetry");
  CurTestCycle = Get<Label>("CurTestCycle");
  Label5 = Get<Label>("Label5");
  TestedDiskName = Get<Label>("TestedDiskName");
  Label9 = Get<Label>("Label9");
  DiskSize = Get<Label>("DiskSize");
  Label10 = Get<Label>("Label10");
  DiskModel = Get<Label>("DiskModel");
  Label3 = Get<Label>("Label3");
  BlocksPerElement = Get<Label>("BlocksPerElement");
  Label2 = Get<Label>("Label2");
  WorkTime = Get<Label>("WorkTime");
  Label4 = Get<Label>("Label4");
  Label6 = Get<Label>("Label6");
  BadBlocksRead = Get<Label>("BadBlocksRead");
  Label7 = Get<Label>("Label7");
  BadBlocksWrite = Get<Label>("BadBlocksWrite");
  Label8 = Get<Label>("Label8");
  BadBlocksCompare = Get<Label>("BadBlocksCompare");
  CurrenElementInfo = Get<Label>("CurrenElementInfo");
  GradeAccessTime = Get<CheckBox>("GradeAccessTime");
  RxClock1 = Get<Clock>("RxClock1");
  Image1 = Get<TSurfaceImage>("Image1");
  Image1->onMouseMove = [this](int x, int y) { Image1MouseMove(x, y); };
  for (const auto& c : Controls()) {
    if (*c->Spec().rightOf && c->Spec().kind == form::Kind::Label)
      SetWindowLongW(c->hwnd(), GWL_STYLE, GetWindowLongW(c->hwnd(), GWL_STYLE) | SS_ENDELLIPSIS);
  }

  ReadTestButton->onClick = [this] { logic_->ReadTestButtonClick(); };
  WriteTestButton->onClick = [this] { logic_->WriteTestButtonClick(); };
  ReadAndWriteButton->onClick = [this] { logic_->ReadAndWriteButtonClick(); };
  WriteAndReadButton->onClick = [this] { logic_->WriteAndReadButtonClick(); };
  StartButton->onClick = [this] { StartButtonClick(); };
  WriteToFile->onClick = [this] { logic_->WriteToFileClick(WriteToFile->Checked()); };
  LogErrors->onClick = [this] { logic_->LogErrorsClick(LogErrors->Checked()); };
  FirstNErrors->onClick = [this] { logic_->FirstNErrorsClick(FirstNErrors->Checked()); };
  Button1->onClick = [this] { logic_->Button1Click(); };
  GradeAccessTime->onClick = [this] {
    logic_->GradeAccessTimeClick(GradeAccessTime->Checked());
  };
  ErrorsNumber->onChange = [this] { ErrorsNumberChange(); };
  TestRetry->onChange = [this] { TestRetryChange(); };

  // FormCreate: the logic starts the worker.
  surface::SurfaceView* view = this;
  logic_ = std::make_unique<surface::SurfaceTestLogic>(mainThread, *errors_, view);
  ControlsChanged();
  MapChanged();
}

TSurfaceTest::~TSurfaceTest() {
  // A run still under way hands its last steps to this window: stop it and
  // serve them, up to its end-of-run step, before the worker is ended (the
  // worker leaves its busy state before it hands that step over).
  logic_->FormHide();
  while (logic_->Busy() || logic_->Running()) PumpWorkerSteps();
  logic_->SetView(nullptr);
  logic_.reset();
}

void TSurfaceTest::ShowModal() {
  std::vector<HWND> usable;
  if (errorsForm_) usable.push_back(errorsForm_->hwnd());
  Form::ShowModal(usable);
}

void TSurfaceTest::SetEdit(Edit* edit, const std::string& utf8) {
  const std::wstring old = Wide(edit->Text());
  const std::wstring text = Wide(utf8);
  if (old == text) return;
  // The edit loses the characters the logic removed; the caret stays after
  // the characters that were before it.
  DWORD start = 0, end = 0;
  SendMessageW(edit->hwnd(), EM_GETSEL, reinterpret_cast<WPARAM>(&start),
               reinterpret_cast<LPARAM>(&end));
  std::size_t caret = 0;
  for (std::size_t i = 0; i < end && i < old.size(); ++i)
    if (old[i] >= L'0' && old[i] <= L'9') ++caret;
  caret = std::min(caret, text.size());
  SetWindowTextW(edit->hwnd(), text.c_str());
  SendMessageW(edit->hwnd(), EM_SETSEL, caret, static_cast<LPARAM>(caret));
}

void TSurfaceTest::ControlsChanged() {
  surface_window::ShowControls(logic_->Controls(), state_);
  // The model as the drive gives it is padded with blanks to 40 characters.
  std::string& model = state_["DiskModel"].text;
  model.erase(model.find_last_not_of(' ') + 1);
  model.erase(0, model.find_first_not_of(' '));
  const bool was = syncing_;
  syncing_ = true;
  SetEdit(ErrorsNumber, state_["ErrorsNumber"].text);
  SetEdit(TestRetry, state_["TestRetry"].text);
  Apply(state_);
  FitValues();
  syncing_ = was;
  Image1->SetLegend(logic_->Legend());
}

void TSurfaceTest::FitValues() {
  constexpr int kGap = 4;
  if (valueLimits_.empty()) {
    for (const auto& value : Controls()) {
      if (!*value->Spec().rightOf || value->Spec().kind != form::Kind::Label) continue;
      const RECT v = value->Place();
      // The nearest control right of the value's start that shares its row.
      LONG limit = ClientSize().cx;
      for (const auto& other : Controls()) {
        if (other.get() == value.get() || GetParent(other->hwnd()) != GetParent(value->hwnd()) ||
            !other->Visible())
          continue;
        const RECT o = other->Place();
        if (o.left > v.left && o.top < v.bottom && v.top < o.bottom)
          limit = std::min<LONG>(limit, o.left - kGap);
      }
      valueLimits_.emplace_back(value.get(), limit);
    }
  }
  for (const auto& [value, limit] : valueLimits_) {
    const RECT v = value->Place();
    if (v.right > limit)
      SetWindowPos(value->hwnd(), nullptr, 0, 0, std::max<LONG>(limit - v.left, 0),
                   v.bottom - v.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

void TSurfaceTest::StatusChanged() {
  // Only what the logic changed reaches the controls.
  ControlsChanged();
}

void TSurfaceTest::MapChanged() {
  Image1->TakeAll(logic_->Map().Image());
}

void TSurfaceTest::CellChanged(int left, int top, int width, int height) {
  Image1->TakeRect(logic_->Map().Image(), RECT{left, top, left + width, top + height});
}

void TSurfaceTest::FormShow() {
  // The client area of the window maximised on its screen: the work area
  // less the frame.
  MONITORINFO mi{};
  mi.cbSize = sizeof mi;
  GetMonitorInfoW(MonitorFromWindow(hwnd(), MONITOR_DEFAULTTOPRIMARY), &mi);
  RECT frame{0, 0, 0, 0};
  AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrW(hwnd(), GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongPtrW(hwnd(), GWL_EXSTYLE)));
  const int frameWidth = frame.right - frame.left, frameHeight = frame.bottom - frame.top;
  int clientWidth = 0, clientHeight = 0;
  surface_window::LayoutArea(mi.rcWork.right - mi.rcWork.left - frameWidth,
                             mi.rcWork.bottom - mi.rcWork.top - frameHeight, frameWidth,
                             frameHeight, &clientWidth, &clientHeight);
  const surface::MapLayout l = logic_->FormShow(clientWidth, clientHeight);
  const form::Rect place = surface_window::FormShow(state_, l);
  SetWindowPos(hwnd(), nullptr, place.x, place.y, place.width + frameWidth,
               place.height + frameHeight, SWP_NOZORDER | SWP_NOACTIVATE);
  Apply(state_);
  valueLimits_.clear();
  FitValues();
}

LRESULT TSurfaceTest::Message(UINT msg, WPARAM wp, LPARAM lp) {
  // FormHide: a run under way stops, however the window was hidden. Escape
  // does not close the window (the dialog keys send no command for it that
  // the form takes); only its close button does.
  if (msg == WM_SHOWWINDOW && !wp && lp == 0 && logic_) logic_->FormHide();
  return Form::Message(msg, wp, lp);
}

void TSurfaceTest::StartButtonClick() {
  logic_->StartButtonClick();
}

void TSurfaceTest::ErrorsNumberChange() {
  if (syncing_) return;
  logic_->ErrorsNumberChange(ErrorsNumber->Text());
}

void TSurfaceTest::TestRetryChange() {
  if (syncing_) return;
  logic_->TestRetryChange(TestRetry->Text());
}

void TSurfaceTest::Image1MouseMove(int x, int y) {
  logic_->Image1MouseMove(x, y);
}

void ShowSurfaceWindow(const Forms& forms, const DriveSelection& drive) {
  TSurfaceTest& window = *forms.SurfaceTest;
  surface::SurfaceHandOver(drive, window.Logic(), [&window] { window.ShowModal(); },
                           PumpWorkerSteps);
}

}  // namespace dt::win
