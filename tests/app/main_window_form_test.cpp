// The main window's description and rules, which every front end renders.
#include <gtest/gtest.h>

#include <set>

#include "app/main_window_form.h"

namespace dt {
namespace {

using form::FormState;

TEST(MainWindowForm, IsSoundAndListsTheControlsInTheirOrder) {
  const form::FormSpec& f = MainWindowForm();
  EXPECT_EQ(form::CheckForm(f), std::vector<std::string>{});
  EXPECT_STREQ(f.title, "Disk read speed (" DT_CONTACT_ADDRESS ")");
  EXPECT_STRNE(DT_CONTACT_ADDRESS, "");
  EXPECT_EQ(f.clientWidth, 635);
  EXPECT_EQ(f.clientHeight, 465);
  ASSERT_EQ(f.controls.size(), 46u);
  EXPECT_STREQ(f.controls.front().name, "DriveComboBox1");
  EXPECT_STREQ(f.controls[5].name, "Button1");
  EXPECT_STREQ(f.controls.back().name, "Timer1");
  EXPECT_EQ(f.controls.back().rect.width, 100);  // the timer's interval
  const form::ControlSpec* chart = f.Find("DBChart1");
  ASSERT_TRUE(chart);
  EXPECT_STREQ(chart->caption, "Speed of disk");
  EXPECT_FALSE(f.Find("ComboBox1")->visible);
  EXPECT_STREQ(f.Find("Button2")->caption, "Printer  setup");  // two blanks
  // Off by default: Start runs the read-speed test.
  const form::ControlSpec* random = f.Find("RandomAccess");
  ASSERT_TRUE(random);
  EXPECT_STREQ(random->caption, "Random access");
  EXPECT_FALSE(random->checked);
}

TEST(MainWindowForm, CheckFormFindsBrokenDescriptions) {
  const char* fonts[] = {"Arial"};
  const form::ControlSpec controls[] = {
      {form::Kind::Button, "A", "", "", {0, 0, 50, 20}, false, "", 1},
      {form::Kind::Button, "A", "", "", {40, 0, 50, 20}, false, "", 1},
      {form::Kind::Button, "B", "", "", {90, 0, 50, 20}, false, "", 2},
      {form::Kind::Button, "C", "", "", {0, 0, 10, 10}, false, "Later", 3},
      {form::Kind::Panel, "Later", "", "", {0, 30, 20, 20}, false, "", 4},
  };
  const form::FormSpec f{"Bad", "", 100, 100, fonts, 8, controls};
  EXPECT_EQ(form::CheckForm(f),
            (std::vector<std::string>{"A: the name is used twice", "A: id 1 is used twice",
                                      "B: lies outside Bad",
                                      "C: parent Later is unknown or comes later"}));
}

TEST(MainWindowForm, PhysicalSwitchRunningStateAndResize) {
  FormState s(MainWindowForm());
  main_window::FormShow(s);
  EXPECT_FALSE(s["DriveComboBox1"].visible);
  EXPECT_TRUE(s["ComboBox2"].visible);
  main_window::PhysicalClick(s, true);
  EXPECT_FALSE(s["ComboBox2"].visible);
  EXPECT_TRUE(s["ComboBox1"].visible);
  for (const char* n : {"Button9", "HelpFlg", "SmartReserv", "IdentFlg", "EnglishFlg", "HealthFlg"})
    EXPECT_TRUE(s[n].enabled) << n;
  main_window::PhysicalClick(s, false);
  EXPECT_TRUE(s["ComboBox2"].visible);
  EXPECT_FALSE(s["ComboBox1"].visible);
  EXPECT_FALSE(s["Button9"].enabled);
  EXPECT_FALSE(s["HealthFlg"].enabled);
  EXPECT_TRUE(s["EnglishFlg"].checked);
  EXPECT_FALSE(s["HealthFlg"].checked);

  main_window::SetRunning(s, true);
  EXPECT_EQ(s["Button1"].text, "Stop");
  EXPECT_FALSE(s["Button8"].enabled);
  EXPECT_TRUE(s["Button9"].enabled == false && s["Button10"].enabled && s["Button11"].enabled);
  main_window::SetRunning(s, false);
  EXPECT_EQ(s["Button1"].text, "Start");
  EXPECT_TRUE(s["Button2"].enabled);

  EXPECT_EQ(main_window::ChartRect(643, 492, 635, 465).width, 633);
  EXPECT_EQ(main_window::ChartRect(643, 492, 635, 465).height, 352);
  const form::Rect small = main_window::ChartRect(200, 300, 192, 273);
  EXPECT_EQ(small.x, 0);
  EXPECT_EQ(small.y, 111);
  EXPECT_EQ(small.width, 200);
  EXPECT_EQ(small.height, 200);
  EXPECT_THROW(s["NoSuchControl"], std::out_of_range);
}

}  // namespace
}  // namespace dt
