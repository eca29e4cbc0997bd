// The surface test window's description, the logic's controls mapped onto
// it, and the placing rules of FormShow.
#include <gtest/gtest.h>

#include <set>

#include "surface/surface_map.h"
#include "surface/surface_window_form.h"

namespace dt {
namespace {

TEST(SurfaceTestForm, IsSoundAndListsTheControlsInTheirOrder) {
  const form::FormSpec& f = SurfaceTestForm();
  EXPECT_EQ(form::CheckForm(f), std::vector<std::string>{});
  EXPECT_STREQ(f.title, "Surface test");
  EXPECT_TRUE(f.clientWidth == 622 && f.clientHeight == 427);
  EXPECT_EQ(f.border, form::Border::Fixed);
  ASSERT_EQ(f.controls.size(), 36u);
  EXPECT_STREQ(f.controls[5].name, "StartButton");
  EXPECT_TRUE(f.controls[5].bold && f.controls[5].fontPixels == 16);
  EXPECT_EQ(f.controls.back().kind, form::Kind::Image);
  for (int i = 1; i <= 4; ++i) EXPECT_STREQ(f.controls[i].parent, "Panel1");
  EXPECT_STREQ(f.Find("WriteAndReadButton")->hint, "Write to disk test data and verify");
  EXPECT_STREQ(f.Find("WriteToFile")->hint, "Write read data to file rd.dat");
  // The values follow their captions.
  EXPECT_STREQ(f.Find("BlocksPerElement")->rightOf, "Label3");
  EXPECT_STREQ(f.Find("CurTestCycle")->rightOf, "TestRetry");
  // "Grade access time" lies in free space and starts off.
  const form::ControlSpec& grade = *f.Find("GradeAccessTime");
  EXPECT_FALSE(grade.checked);
  const form::Rect g = grade.rect;
  for (const form::ControlSpec& c : f.controls) {
    if (&c == &grade || c.parent[0] != '\0' || c.autoSize || c.kind == form::Kind::Image) continue;
    const form::Rect r = c.rect;
    EXPECT_FALSE(r.x < g.x + g.width && g.x < r.x + r.width && r.y < g.y + g.height &&
                 g.y < r.y + r.height)
        << c.name;
  }
}

TEST(SurfaceTestForm, LogicControlsStartAsDescribedAndShowByName) {
  std::set<std::string> names;
  for (const surface_window::LogicControl& c : surface_window::LogicControls()) {
    ASSERT_TRUE(SurfaceTestForm().Find(c.name)) << c.name;
    EXPECT_TRUE(names.insert(c.name).second) << c.name;
  }
  surface::SurfaceControls logic;
  EXPECT_EQ(logic.ReadAndWriteButton.text, "Read&&Write");
  EXPECT_FALSE(logic.WriteAndReadButton.enabled);
  EXPECT_TRUE(logic.LogErrors.checked && logic.FirstNErrors.checked);

  form::FormState s(SurfaceTestForm());
  logic.StartButton.text = "Stop";
  logic.Label11.enabled = false;
  logic.WriteToFile.checked = true;
  logic.BadBlocksRead.text = "3 (00.0100%)";
  surface_window::ShowControls(logic, s);
  EXPECT_EQ(s["StartButton"].text, "Stop");
  EXPECT_FALSE(s["Label11"].enabled);
  EXPECT_TRUE(s["WriteToFile"].checked);
  EXPECT_EQ(s["BadBlocksRead"].text, "3 (00.0100%)");
}

TEST(SurfaceTestForm, FormShowFitsTheWindowAroundTheMap) {
  int cw = 0, ch = 0;
  surface_window::LayoutArea(1018, 740, 8, 27, &cw, &ch);
  EXPECT_TRUE(cw == 1007 && ch == 710) << cw << " x " << ch;

  form::FormState s(SurfaceTestForm());
  surface::MapLayout l;
  l.ImageWidth = l.ClientWidth = 990;
  l.ImageHeight = 600;
  l.ClientHeight = 688;
  const form::Rect place = surface_window::FormShow(s, l);
  EXPECT_TRUE(place.x == 1 && place.y == 1 && place.width == 990 && place.height == 688);
  EXPECT_EQ(s["FirstNErrors"].rect.height, 15);
  const form::Rect image = s["Image1"].rect;
  EXPECT_TRUE(image.x == surface::kImageLeft && image.y == surface::kImageTop &&
              image.width == 990 && image.height == 600);
  EXPECT_EQ(s["RxClock1"].rect.x, 990 - 57 - 2);
  // A narrow map leaves the clock at its least left edge.
  l.ClientWidth = 600;
  surface_window::FormShow(s, l);
  EXPECT_EQ(s["RxClock1"].rect.x, 580);
}

}  // namespace
}  // namespace dt
