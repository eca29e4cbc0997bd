#include "ui/win32/errors_window.h"

#include <gtest/gtest.h>

#include "speedtest/errors_window_form.h"
#include "win_test_util.h"

namespace dt::win::test {
namespace {

TEST(ErrorsWindow, IsBuiltFromItsDescriptionAndKeepsItsLines) {
  TErrListFrm w;
  ExpectMatchesDescription(w, {"Memo1"});
  w.Clear();
  w.AppendLine("Read error at 2048");
  w.AppendLine("Ошибка чтения");
  EXPECT_EQ(w.Lines(), (std::vector<std::string>{"Read error at 2048", "Ошибка чтения"}));

  // Shown at the screen's top-left corner; the memo follows the window's size.
  w.ShowModeless();
  ASSERT_TRUE(WaitFor([&] { return w.Visible(); }));
  RECT outer;
  GetWindowRect(w.hwnd(), &outer);
  EXPECT_EQ(outer.left, errors_window::kShowLeft);
  EXPECT_EQ(outer.top, errors_window::kShowTop);
  SetWindowPos(w.hwnd(), nullptr, 0, 0, 700, 500, SWP_NOMOVE | SWP_NOZORDER);
  const form::Rect want = errors_window::MemoRect(700, 500);
  const RECT memo = w.Memo1->Place();
  EXPECT_EQ(memo.right - memo.left, want.width);
  EXPECT_EQ(memo.bottom - memo.top, want.height);
  w.Hide();
}

}  // namespace
}  // namespace dt::win::test
