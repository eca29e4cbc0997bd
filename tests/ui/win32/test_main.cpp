// The window tests' start: the window classes are registered once, then the
// tests run on this thread, which every window belongs to.
#include <gtest/gtest.h>

#include <algorithm>

#include "win_test_util.h"

namespace dt::win::test {

void ExpectMatchesDescription(const Form& form, const std::vector<std::string>& sized) {
  const form::FormSpec& spec = form.Spec();
  EXPECT_EQ(WindowText(form.hwnd()), spec.title);
  for (const form::ControlSpec& c : spec.controls) {
    if (c.kind == form::Kind::Timer) continue;
    SCOPED_TRACE(std::string(spec.name) + "." + c.name);
    const Control* w = form.Find(c.name);
    ASSERT_NE(w, nullptr);
    const RECT r = w->Place();
    if (!*c.rightOf) {
      EXPECT_EQ(r.left, c.rect.x);
    }
    EXPECT_EQ(r.top, c.rect.y);
    const bool ruled = std::find(sized.begin(), sized.end(), c.name) != sized.end();
    if (!c.autoSize && !ruled) {
      EXPECT_EQ(r.right - r.left, c.rect.width);
      if (c.kind != form::Kind::ComboBox && c.kind != form::Kind::DriveSelector) {
        EXPECT_EQ(r.bottom - r.top, c.rect.height);
      }
    }
    EXPECT_EQ(w->Visible(), c.visible);
    EXPECT_EQ(w->Enabled(), c.enabled);
    if (c.kind == form::Kind::CheckBox || c.kind == form::Kind::RadioButton) {
      EXPECT_EQ(w->Checked(), c.checked);
    }
    if (c.kind != form::Kind::Clock && c.kind != form::Kind::Memo && c.kind != form::Kind::Chart &&
        c.kind != form::Kind::Image && c.kind != form::Kind::Panel && c.kind != form::Kind::Edit) {
      EXPECT_EQ(w->Text(), Caption(c.caption));
    }
    EXPECT_EQ(w->Hint(), c.hint);
  }
}

}  // namespace dt::win::test

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  dt::win::InitGui(GetModuleHandleW(nullptr));
  return RUN_ALL_TESTS();
}
