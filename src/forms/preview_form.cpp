#include "forms/preview_form.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace dt {

namespace {

using form::ControlSpec;
using form::Kind;

constexpr int kButtonTop = 4;
constexpr int kButtonHeight = 25;
constexpr int kViewTop = kButtonTop + kButtonHeight + 4;

constexpr std::array kControls = {
    ControlSpec{
        Kind::Button, "PrintBtn", "Print", "Print the report", {4, 4, 75, 25}, false, "", 101},
    ControlSpec{Kind::Button,
                "SetupBtn",
                "Printer setup",
                "Choose the printer and the paper",
                {83, 4, 90, 25},
                false,
                "",
                102},
    ControlSpec{Kind::Button,
                "PrevBtn",
                "Previous page",
                "",
                {185, 4, 90, 25},
                false,
                "",
                103,
                true,
                false},
    ControlSpec{
        Kind::Button, "NextBtn", "Next page", "", {279, 4, 90, 25}, false, "", 104, true, false},
    ControlSpec{
        Kind::CentredLabel, "PageLabel", "Page 1 of 1", "", {373, 10, 110, 17}, false, "", 105},
    ControlSpec{Kind::Button, "CloseBtn", "Close", "", {495, 4, 75, 25}, false, "", 106},
    ControlSpec{Kind::CheckBox,
                "WidthBox",
                "Page width",
                "Show the page as wide as the window",
                {585, 8, 100, 17},
                false,
                "",
                108},
    ControlSpec{Kind::Image,
                "PageView",
                "",
                "",
                {0, kViewTop, page::kPreviewWidth, page::kPreviewHeight - kViewTop},
                false,
                "",
                107},
};

constexpr form::FormSpec kForm{
    "PrintPreview", "Preview", page::kPreviewWidth, page::kPreviewHeight, form::kSansSerifFonts, 8,
    kControls};

}  // namespace

const form::FormSpec& PrintPreviewForm() {
  return kForm;
}

namespace preview {

std::string PageOf(int index, int pages) {
  return "Page " + std::to_string(index + 1) + " of " + std::to_string(pages);
}

void ShowPage(form::FormState& state, int index, int pages) {
  state["PageLabel"].text = PageOf(index, pages);
  state["PrevBtn"].enabled = index > 0;
  state["NextBtn"].enabled = index + 1 < pages;
}

form::Rect ViewRect(int clientWidth, int clientHeight) {
  return {0, kViewTop, std::max(clientWidth, 0), std::max(clientHeight - kViewTop, 0)};
}

form::Rect PaperPlace(const page::RectMm& paper, int viewWidth, int viewHeight, bool pageWidth,
                      int scroll) {
  const double roomX = viewWidth - 2.0 * kPaperGap, roomY = viewHeight - 2.0 * kPaperGap;
  if (roomX <= 0 || roomY <= 0 || paper.width <= 0 || paper.height <= 0) return {0, 0, 0, 0};
  const double scale =
      pageWidth ? roomX / paper.width : std::min(roomX / paper.width, roomY / paper.height);
  const int width = static_cast<int>(std::floor(paper.width * scale));
  const int height = static_cast<int>(std::floor(paper.height * scale));
  if (height <= roomY) return {(viewWidth - width) / 2, (viewHeight - height) / 2, width, height};
  const int most = height + 2 * kPaperGap - viewHeight;
  return {(viewWidth - width) / 2, kPaperGap - std::clamp(scroll, 0, most), width, height};
}

int ContentHeight(const page::RectMm& paper, int viewWidth, int viewHeight, bool pageWidth) {
  const form::Rect shown = PaperPlace(paper, viewWidth, viewHeight, pageWidth);
  return std::max(viewHeight, shown.height + 2 * kPaperGap);
}

}  // namespace preview

}  // namespace dt
