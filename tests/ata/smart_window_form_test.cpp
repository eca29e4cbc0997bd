// The SMART info window's description and its rules.
#include <gtest/gtest.h>

#include "ata/smart_window_form.h"

namespace dt {
namespace {

TEST(SmartInfoForm, IsSoundWithTheButtonsAndAFixedPitchMemo) {
  const form::FormSpec& f = SmartInfoForm();
  EXPECT_EQ(form::CheckForm(f), std::vector<std::string>{});
  EXPECT_STREQ(f.title, "SMART info form");
  EXPECT_EQ(f.clientWidth, 630);
  EXPECT_EQ(f.clientHeight, 460);
  EXPECT_EQ(f.border, form::Border::Sizeable);
  const char* names[] = {"Button1", "Button2",  "Button5",      "Button3",
                         "Button4", "RxClock1", "SMARTinfoTEXT"};
  const char* captions[] = {"Copy to clipboard", "Preview", "Printer setup", "Print", "Font"};
  ASSERT_EQ(f.controls.size(), std::size(names));
  for (std::size_t i = 0; i < f.controls.size(); ++i) {
    EXPECT_STREQ(f.controls[i].name, names[i]);
    if (i < std::size(captions)) {
      EXPECT_STREQ(f.controls[i].caption, captions[i]);
    }
  }
  const form::ControlSpec& memo = f.controls.back();
  EXPECT_EQ(memo.kind, form::Kind::Memo);
  ASSERT_TRUE(memo.font);
  EXPECT_TRUE(memo.font->fixedPitch);
  EXPECT_EQ(memo.font->points, 10);
  EXPECT_STREQ(memo.font->families.front(), "Fixedsys");
}

TEST(SmartInfoForm, MemoFollowsTheWindowDownToItsFloor) {
  const form::Rect big = smart_window::MemoRect(700, 500);
  EXPECT_EQ(big.x, 8);
  EXPECT_EQ(big.y, 32);
  EXPECT_EQ(big.width, 680);
  EXPECT_EQ(big.height, 460);
  const form::Rect edge = smart_window::MemoRect(201, 200);
  EXPECT_EQ(edge.width, 181);
  EXPECT_EQ(edge.height, 160);
  EXPECT_EQ(smart_window::MemoRect(200, 201).width, 180);
  EXPECT_EQ(smart_window::ChosenForm(true), smart_window::PrintedForm::Portrait);
  EXPECT_EQ(smart_window::ChosenForm(false), smart_window::PrintedForm::Landscape);
}

}  // namespace
}  // namespace dt
