// The SMART info window's description and its resize rule.
#include <gtest/gtest.h>

#include "app/smart_window_form.h"

namespace dt {
namespace {

TEST(SmartInfoForm, IsSoundWithTheButtonsAFixedPitchMemoAndItsFloor) {
  const form::FormSpec& f = SmartInfoForm();
  EXPECT_EQ(form::CheckForm(f), std::vector<std::string>{});
  EXPECT_STREQ(f.title, "SMART info form");
  const char* captions[] = {"Copy to clipboard", "Preview", "Printer setup", "Print", "Font"};
  ASSERT_EQ(f.controls.size(), 7u);
  for (int i = 0; i < 5; ++i) EXPECT_STREQ(f.controls[i].caption, captions[i]);
  const form::ControlSpec& memo = f.controls.back();
  ASSERT_TRUE(memo.kind == form::Kind::Memo && memo.font);
  EXPECT_TRUE(memo.font->fixedPitch);
  EXPECT_EQ(memo.font->points, 10);

  const form::Rect big = smart_window::MemoRect(700, 500);
  EXPECT_TRUE(big.x == 8 && big.y == 32 && big.width == 680 && big.height == 460);
  const form::Rect edge = smart_window::MemoRect(201, 200);
  EXPECT_TRUE(edge.width == 181 && edge.height == 160);
  EXPECT_EQ(smart_window::MemoRect(200, 201).width, 180);
}

}  // namespace
}  // namespace dt
