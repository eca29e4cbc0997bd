// The print preview window's description and its rules: the page label and
// the paging buttons, and the paper scaled into the view.
#include "forms/preview_form.h"

#include <gtest/gtest.h>

namespace dt {
namespace {

TEST(PrintPreviewForm, PagesThroughAndFitsThePaper) {
  const form::FormSpec& f = PrintPreviewForm();
  EXPECT_EQ(form::CheckForm(f), std::vector<std::string>{});
  EXPECT_EQ(f.clientWidth, page::kPreviewWidth);
  EXPECT_EQ(f.clientHeight, page::kPreviewHeight);

  form::FormState s(f);
  EXPECT_FALSE(s["PrevBtn"].enabled);
  preview::ShowPage(s, 0, 3);
  EXPECT_EQ(s["PageLabel"].text, "Page 1 of 3");
  EXPECT_FALSE(s["PrevBtn"].enabled);
  EXPECT_TRUE(s["NextBtn"].enabled);
  preview::ShowPage(s, 2, 3);
  EXPECT_EQ(s["PageLabel"].text, "Page 3 of 3");
  EXPECT_TRUE(s["PrevBtn"].enabled);
  EXPECT_FALSE(s["NextBtn"].enabled);
  preview::ShowPage(s, 0, 1);
  EXPECT_FALSE(s["PrevBtn"].enabled || s["NextBtn"].enabled);

  // The view fills the window below the buttons; the paper keeps its
  // proportions, centred in the view with the gap on its tighter side.
  const form::Rect view = preview::ViewRect(page::kPreviewWidth, page::kPreviewHeight);
  const form::Rect buttons = f.Find("PrintBtn")->rect;
  EXPECT_GE(view.y, buttons.y + buttons.height);
  EXPECT_EQ(view.y + view.height, page::kPreviewHeight);
  const form::Rect portrait = preview::PaperPlace(page::A4(page::Orientation::Portrait), 1000, 700);
  EXPECT_EQ(portrait.height, 700 - 2 * preview::kPaperGap);
  EXPECT_NEAR(portrait.width, portrait.height * 210.0 / 297, 1);
  EXPECT_EQ(portrait.x, (1000 - portrait.width) / 2);
  const form::Rect landscape =
      preview::PaperPlace(page::A4(page::Orientation::Landscape), 600, 700);
  EXPECT_EQ(landscape.width, 600 - 2 * preview::kPaperGap);
  EXPECT_EQ(landscape.x, preview::kPaperGap);
  EXPECT_EQ(preview::PaperPlace(page::A4(page::Orientation::Portrait), 20, 700).width, 0);

  // As wide as the view, a portrait page is taller than the view: it
  // scrolls from its top margin down to its bottom margin and no further.
  const page::RectMm a4 = page::A4(page::Orientation::Portrait);
  const form::Rect wide = preview::PaperPlace(a4, 1000, 700, true);
  EXPECT_EQ(wide.width, 1000 - 2 * preview::kPaperGap);
  EXPECT_EQ(wide.y, preview::kPaperGap);
  const int content = preview::ContentHeight(a4, 1000, 700, true);
  EXPECT_EQ(content, wide.height + 2 * preview::kPaperGap);
  EXPECT_EQ(preview::PaperPlace(a4, 1000, 700, true, 100).y, preview::kPaperGap - 100);
  EXPECT_EQ(preview::PaperPlace(a4, 1000, 700, true, 1 << 20).y,
            700 - content + preview::kPaperGap);
  EXPECT_EQ(preview::PaperPlace(a4, 1000, 700, true, -5).y, preview::kPaperGap);
  // A page that fits stays whole and centred.
  EXPECT_EQ(preview::ContentHeight(a4, 300, 700, true), 700);
  EXPECT_EQ(preview::PaperPlace(a4, 300, 700, true, 50).y,
            (700 - preview::PaperPlace(a4, 300, 700, true).height) / 2);
}

}  // namespace
}  // namespace dt
