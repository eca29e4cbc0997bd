// The checker of window descriptions on controls placed after others.
#include <gtest/gtest.h>

#include "forms/form.h"

namespace dt {
namespace {

// A follower must come after its control on the same parent, and lies at
// least that control's width right of it.
TEST(CheckForm, FindsMisplacedFollowers) {
  const char* fonts[] = {"Arial"};
  const form::ControlSpec controls[] = {
      {form::Kind::Panel, "P", "", "", {0, 0, 50, 50}, false, "", 1},
      {form::Kind::Label, "InP", "a", "", {0, 0, 0, 0}, true, "P", 2},
      {form::Kind::Label, "Early", "b", "", {5, 0, 0, 0}, true, "", 3, true, true, false, 0,
       false, nullptr, "Late"},
      {form::Kind::Label, "Late", "c", "", {0, 60, 0, 0}, true, "", 4},
      {form::Kind::Label, "Elsewhere", "d", "", {5, 60, 0, 0}, true, "", 5, true, true, false, 0,
       false, nullptr, "InP"},
      {form::Kind::Edit, "Wide", "", "", {5, 60, 70, 10}, false, "", 6, true, true, false, 0,
       false, nullptr, "P"},
  };
  const form::FormSpec f{"Bad", "", 100, 100, fonts, 8, controls};
  EXPECT_EQ(form::CheckForm(f),
            (std::vector<std::string>{"Early: Late is unknown, comes later or lies elsewhere",
                                      "Elsewhere: InP is unknown, comes later or lies elsewhere",
                                      "Wide: lies outside Bad"}));
}

}  // namespace
}  // namespace dt
