#include "ui/win32/print_preview.h"

#include <algorithm>

#include "device/preview_form.h"

namespace dt::win {

// The page shown on a grey ground, scaled to fit, with a shadow.
class TPrintPreview::PageView : public Custom {
 public:
  using Custom::Custom;

 protected:
  void Paint(HDC dc, const RECT& client) override {
    FillRect(dc, &client, GetSysColorBrush(COLOR_APPWORKSPACE));
    auto& preview = static_cast<TPrintPreview&>(Owner());
    const page::RectMm paper = page::A4(preview.out_.Spec().orientation);
    const form::Rect p = preview::PaperPlace(paper, client.right, client.bottom);
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
  now_ = PrintTime();
  pages_ = std::max(1, out_.PageCount());
  ShowPage(0);
}

TPrintPreview::~TPrintPreview() = default;

void TPrintPreview::ShowPage(int index) {
  index_ = std::clamp(index, 0, pages_ - 1);
  preview::ShowPage(state_, index_, pages_);
  Apply(state_);
  view_->Redraw();
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
