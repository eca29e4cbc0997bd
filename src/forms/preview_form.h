// The print preview window as data, for the front ends that draw their own:
// a row of buttons above the page (print, printer setup, the previous and
// the next page, which page of how many is shown, close, and whether the
// page is shown whole or as wide as the window) and the page scaled to fit
// the rest of the window. Its caption is the printed page's
// (page::PageSpec::caption) and its size page::kPreviewWidth x
// kPreviewHeight.
#pragma once

#include <string>

#include "forms/form.h"
#include "forms/page.h"

namespace dt {

const form::FormSpec& PrintPreviewForm();

namespace preview {

// "Page 2 of 5" for the page `index` (from 0) of `pages`.
std::string PageOf(int index, int pages);

// Shows the page `index` of `pages`: the label says which, and the buttons
// to the previous and the next page are enabled only where there is one.
void ShowPage(form::FormState& state, int index, int pages);

// The page view's place for the window's client size: below the buttons,
// the rest of the window.
form::Rect ViewRect(int clientWidth, int clientHeight);

// Where the paper is shown in a view of that size: as large as fits inside
// a margin of kPaperGap pixels, keeping its proportions, centred; with
// `pageWidth`, as wide as fits, `scroll` pixels down from its top when it
// is taller than the view.
inline constexpr int kPaperGap = 12;
form::Rect PaperPlace(const page::RectMm& paper, int viewWidth, int viewHeight,
                      bool pageWidth = false, int scroll = 0);
// The height of what the view shows that way: the paper with the margin
// above and below it, at least the view's height.
int ContentHeight(const page::RectMm& paper, int viewWidth, int viewHeight, bool pageWidth);

}  // namespace preview

// What a front end says when a report is to be printed and there is no
// printer to print on, or the printer refused the job.
inline constexpr const char* kPrintCaption = "Print";
inline constexpr const char* kNoPrinterText =
    "There is no printer to print on. Install a printer and try again.";
inline constexpr const char* kPrintFailedText = "The report could not be printed.";

}  // namespace dt
