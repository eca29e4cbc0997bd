#include "ui/win32/print_preview.h"

#include <commctrl.h>

#include <algorithm>

#include "forms/preview_form.h"

namespace dt::win {

namespace {

// Pixels a line of the scroll bar or a notch of the wheel moves the page.
constexpr int kScrollLine = 40;

}  // namespace

// The page shown on a grey ground, scaled to fit, with a shadow.
class TPrintPreview::PageView : public Custom {
 public:
  using Custom::Custom;

 protected:
  DWORD Style() const override { return WS_VSCROLL; }
  void Paint(HDC dc, const RECT& client) override {
    FillRect(dc, &client, GetSysColorBrush(COLOR_APPWORKSPACE));
    auto& preview = static_cast<TPrintPreview&>(Owner());
    const page::RectMm paper = page::A4(preview.out_.Spec().orientation);
    const form::Rect p = preview::PaperPlace(paper, client.right, client.bottom, preview.pageWidth_,
                                             preview.scroll_);
    if (p.width <= 0 || p.height <= 0) return;
    const RECT shadow{p.x + 4, p.y + 4, p.x + p.width + 4, p.y + p.height + 4};
    FillRect(dc, &shadow, GetSysColorBrush(COLOR_3DDKSHADOW));
    const RECT sheet{p.x, p.y, p.x + p.width, p.y + p.height};
    FillRect(dc, &sheet, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    FrameRect(dc, &sheet, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    const int saved = SaveDC(dc);
    IntersectClipRect(dc, sheet.left, sheet.top, sheet.right, sheet.bottom);
    preview.out_.DrawPage(dc, ScaledDevice(p.width / paper.width, p.x, p.y), preview.index_,
                          preview.now_);
    RestoreDC(dc, saved);
  }
};

TPrintPreview::TPrintPreview(Printout& out, const std::string& caption, Action print, Action setup)
    : Form(PrintPreviewForm(),
           [](const form::ControlSpec& c, Form& f) -> std::unique_ptr<Control> {
             if (c.kind == form::Kind::Image) return std::make_unique<PageView>(c, f);
             return nullptr;
           }),
      PrintBtn(Get<Button>("PrintBtn")),
      SetupBtn(Get<Button>("SetupBtn")),
      PrevBtn(Get<Button>("PrevBtn")),
      NextBtn(Get<Button>("NextBtn")),
      PageLabel(Get<Label>("PageLabel")),
      CloseBtn(Get<Button>("CloseBtn")),
      WidthBox(Get<CheckBox>("WidthBox")),
      out_(out),
      print_(std::move(print)),
      setup_(std::move(setup)),
      view_(Get<PageView>("PageView")),
      state_(PrintPreviewForm()) {
  SetWindowTextUtf8(hwnd(), caption);
  PrintBtn->onClick = [this] {
    if (print_ && print_(hwnd())) Hide();
  };
  SetupBtn->onClick = [this] {
    if (setup_) setup_(hwnd());
    view_->Redraw();
  };
  PrevBtn->onClick = [this] { ShowPage(index_ - 1); };
  NextBtn->onClick = [this] { ShowPage(index_ + 1); };
  CloseBtn->onClick = [this] { Hide(); };
  WidthBox->onClick = [this] {
    pageWidth_ = WidthBox->Checked();
    scroll_ = 0;
    UpdateScroll();
    view_->Redraw();
  };
  SetWindowSubclass(view_->hwnd(), &ViewProc, 1, reinterpret_cast<DWORD_PTR>(this));
  now_ = PrintTime();
  pages_ = std::max(1, out_.PageCount());
  ShowPage(0);
}

TPrintPreview::~TPrintPreview() {
  RemoveWindowSubclass(view_->hwnd(), &ViewProc, 1);
}

void TPrintPreview::ShowPage(int index) {
  index_ = std::clamp(index, 0, pages_ - 1);
  preview::ShowPage(state_, index_, pages_);
  Apply(state_);
  scroll_ = 0;
  UpdateScroll();
  view_->Redraw();
}

void TPrintPreview::UpdateScroll() {
  RECT rc;
  GetClientRect(view_->hwnd(), &rc);
  SCROLLINFO si{};
  si.cbSize = sizeof si;
  si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
  if (pageWidth_) {
    // Shown while the page is as wide as the view, so that the view's width
    // does not change with the page's height.
    si.fMask |= SIF_DISABLENOSCROLL;
    const page::RectMm paper = page::A4(out_.Spec().orientation);
    si.nMax = preview::ContentHeight(paper, rc.right, rc.bottom, true) - 1;
    si.nPage = static_cast<UINT>(std::max<LONG>(rc.bottom, 0));
    scroll_ = std::clamp(scroll_, 0, std::max(0, si.nMax + 1 - static_cast<int>(rc.bottom)));
  } else {
    scroll_ = 0;
  }
  si.nPos = scroll_;
  SetScrollInfo(view_->hwnd(), SB_VERT, &si, TRUE);
}

void TPrintPreview::ScrollTo(int y) {
  scroll_ = y;
  UpdateScroll();
  view_->Redraw();
}

LRESULT CALLBACK TPrintPreview::ViewProc(HWND h, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR,
                                         DWORD_PTR self) {
  auto* preview = reinterpret_cast<TPrintPreview*>(self);
  switch (msg) {
    case WM_VSCROLL: {
      SCROLLINFO si{};
      si.cbSize = sizeof si;
      si.fMask = SIF_ALL;
      GetScrollInfo(h, SB_VERT, &si);
      int y = preview->scroll_;
      switch (LOWORD(wp)) {
        case SB_LINEUP:
          y -= kScrollLine;
          break;
        case SB_LINEDOWN:
          y += kScrollLine;
          break;
        case SB_PAGEUP:
          y -= static_cast<int>(si.nPage);
          break;
        case SB_PAGEDOWN:
          y += static_cast<int>(si.nPage);
          break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION:
          y = si.nTrackPos;
          break;
        case SB_TOP:
          y = 0;
          break;
        case SB_BOTTOM:
          y = si.nMax;
          break;
        default:
          break;
      }
      preview->ScrollTo(y);
      return 0;
    }
    case WM_SIZE:
      preview->UpdateScroll();
      break;
  }
  return DefSubclassProc(h, msg, wp, lp);
}

LRESULT TPrintPreview::Message(UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_MOUSEWHEEL) {
    ScrollTo(scroll_ - GET_WHEEL_DELTA_WPARAM(wp) * kScrollLine / WHEEL_DELTA);
    return 0;
  }
  return Form::Message(msg, wp, lp);
}

void TPrintPreview::FormShow() {
  FormResize();
}

void TPrintPreview::FormResize() {
  const SIZE client = ClientSize();
  state_["PageView"].rect = preview::ViewRect(client.cx, client.cy);
  Apply(state_);
  view_->Redraw();
}

void PreviewReport(HWND owner, Printout& out, const std::string& caption,
                   const TPrintPreview::Action& print, const TPrintPreview::Action& setup) {
  TPrintPreview preview(out, caption, print, setup);
  if (owner) SetWindowLongPtrW(preview.hwnd(), GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(owner));
  preview.ShowModal();
}

}  // namespace dt::win
