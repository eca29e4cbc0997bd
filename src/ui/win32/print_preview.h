// The print preview of a report: a window of its own (forms/preview_form.h)
// that shows one page at a time, drawn by the same code that prints it and
// scaled to fit the window (or as wide as the window, scrolled), with
// buttons to page through the report, to print it, to set up the printer
// and to close.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "ui/win32/gdi_page.h"
#include "ui/win32/wingui.h"

namespace dt::win {

class TPrintPreview : public Form {
 public:
  // What the preview's Print and Printer setup buttons do; true when it was
  // done (a preview that printed closes).
  using Action = std::function<bool(HWND owner)>;
  TPrintPreview(Printout& out, const std::string& caption, Action print, Action setup);
  ~TPrintPreview() override;

  Button* PrintBtn;
  Button* SetupBtn;
  Button* PrevBtn;
  Button* NextBtn;
  Label* PageLabel;
  Button* CloseBtn;
  CheckBox* WidthBox;

  // The page shown (from 0) and the pages of the report.
  int PageIndex() const { return index_; }
  int Pages() const { return pages_; }
  void ShowPage(int index);
  // How far down the page is scrolled, in pixels, while it is shown as wide
  // as the window.
  int Scroll() const { return scroll_; }
  void ScrollTo(int y);

 protected:
  void FormShow() override;
  void FormResize() override;
  LRESULT Message(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  class PageView;
  // Sets the view's scroll bar for the page's height now.
  void UpdateScroll();
  static LRESULT CALLBACK ViewProc(HWND h, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id,
                                   DWORD_PTR self);

  Printout& out_;
  Action print_;
  Action setup_;
  PageView* view_ = nullptr;
  form::FormState state_;
  std::string now_;
  int index_ = 0;
  int pages_ = 1;
  bool pageWidth_ = false;
  int scroll_ = 0;
};

// Shows `out` in a preview with the caption given, modal to every other
// window, owned by `owner`; returns when it is closed.
void PreviewReport(HWND owner, Printout& out, const std::string& caption,
                   const TPrintPreview::Action& print, const TPrintPreview::Action& setup);

}  // namespace dt::win
