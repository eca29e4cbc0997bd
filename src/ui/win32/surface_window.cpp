#include "ui/win32/surface_window.h"

#include <algorithm>
#include <string>
#include <vector>

#include "base/notify.h"
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
// The window

TSurfaceTest::TSurfaceTest(MainThread& mainThread, TErrListFrm* errors, Form* main)
    : Form(SurfaceTestForm(),
           [](const form::ControlSpec& c, Form& f) -> std::unique_ptr<Control> {
             if (c.kind == form::Kind::Image) return std::make_unique<TSurfaceImage>(c, f);
             return nullptr;
           }),
      errorsForm_(errors),
      view_(*this),
      errors_(errors) {
  if (main) SetWindowLongPtrW(hwnd(), GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(main->hwnd()));
  image_ = Get<TSurfaceImage>("Image1");
  image_->onMouseMove = [this](int x, int y) { window_->MapMouseMove(x, y); };
  for (const auto& c : Controls()) {
    if (*c->Spec().rightOf && c->Spec().kind == form::Kind::Label)
      SetWindowLongW(c->hwnd(), GWL_STYLE, GetWindowLongW(c->hwnd(), GWL_STYLE) | SS_ENDELLIPSIS);
  }
  app::SurfaceWindowHost& host = *this;
  window_ = std::make_unique<app::SurfaceWindow>(view_, host, mainThread, errors_);
}

TSurfaceTest::~TSurfaceTest() {
  window_.reset();
}

void TSurfaceTest::ShowModal() {
  std::vector<HWND> usable;
  if (errorsForm_) usable.push_back(errorsForm_->hwnd());
  Form::ShowModal(usable);
}

void TSurfaceTest::ShowMap(const surface::MapImage& map) {
  image_->TakeAll(map);
}

void TSurfaceTest::ShowCell(const surface::MapImage& map, int left, int top, int width,
                            int height) {
  image_->TakeRect(map, RECT{left, top, left + width, top + height});
}

void TSurfaceTest::ShowLegend(const std::vector<surface::LegendEntry>& legend) {
  image_->SetLegend(legend);
}

void TSurfaceTest::BeforeApply(form::FormState& state) {
  // The model as the drive gives it is padded with blanks to 40 characters.
  std::string& model = state["DiskModel"].text;
  model.erase(model.find_last_not_of(' ') + 1);
  model.erase(0, model.find_first_not_of(' '));
}

void TSurfaceTest::AfterApply(bool shown) {
  if (shown) valueLimits_.clear();
  FitValues();
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

void TSurfaceTest::ScreenArea(app::Size* maxClient, app::Size* frame) {
  // The client area of the window maximised on its screen: the work area
  // less the frame.
  MONITORINFO mi{};
  mi.cbSize = sizeof mi;
  GetMonitorInfoW(MonitorFromWindow(hwnd(), MONITOR_DEFAULTTOPRIMARY), &mi);
  RECT r{0, 0, 0, 0};
  AdjustWindowRectEx(&r, static_cast<DWORD>(GetWindowLongPtrW(hwnd(), GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongPtrW(hwnd(), GWL_EXSTYLE)));
  frame_ = {r.right - r.left, r.bottom - r.top};
  *frame = {frame_.cx, frame_.cy};
  *maxClient = {mi.rcWork.right - mi.rcWork.left - frame_.cx,
                mi.rcWork.bottom - mi.rcWork.top - frame_.cy};
}

void TSurfaceTest::PlaceWindow(const form::Rect& place) {
  SetWindowPos(hwnd(), nullptr, place.x, place.y, place.width + frame_.cx,
               place.height + frame_.cy, SWP_NOZORDER | SWP_NOACTIVATE);
}

void TSurfaceTest::FormShow() {
  window_->FormShow();
}

LRESULT TSurfaceTest::Message(UINT msg, WPARAM wp, LPARAM lp) {
  // FormHide: a run under way stops, however the window was hidden. Escape
  // does not close the window (the dialog keys send no command for it that
  // the form takes); only its close button does.
  if (msg == WM_SHOWWINDOW && !wp && lp == 0 && window_) window_->FormHide();
  return Form::Message(msg, wp, lp);
}

void ShowSurfaceWindow(const Forms& forms, const DriveRef& drive) {
  TSurfaceTest& window = *forms.SurfaceTest;
  surface::SurfaceHandOver(drive, window.Logic(), [&window] { window.ShowModal(); },
                           PumpWorkerSteps);
}

}  // namespace dt::win
