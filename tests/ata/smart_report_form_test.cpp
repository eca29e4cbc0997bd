// The printed SMART report's two page descriptions.
#include "ata/smart_report_form.h"

#include <gtest/gtest.h>

namespace dt {
namespace {

TEST(SmartReportForm, PortraitAndLandscapePagesWithTheirHeaders) {
  const page::PageSpec& portrait = SmartReportPage();
  const page::PageSpec& landscape = SmartReportLandscapePage();
  for (const page::PageSpec* p : {&portrait, &landscape}) {
    EXPECT_EQ(page::CheckPage(*p), std::vector<std::string>{}) << p->name;
    EXPECT_STREQ(p->caption, "SMART report");
    EXPECT_EQ(p->headerLines, 1.5);
    ASSERT_EQ(p->labels.size(), 3u);
    for (const page::LabelSpec& l : p->labels) EXPECT_EQ(l.band, page::Band::PageHeader);
    EXPECT_EQ(p->labels[2].shows, page::Shows::PageNumber);
    EXPECT_STREQ(p->labels[2].caption, "Page ");
    EXPECT_STREQ(p->detail.family, "Courier New");
    EXPECT_TRUE(p->detail.fixedPitch);
  }
  EXPECT_EQ(portrait.orientation, page::Orientation::Portrait);
  EXPECT_EQ(portrait.detail.points, 6);
  EXPECT_EQ(landscape.orientation, page::Orientation::Landscape);
  EXPECT_EQ(landscape.detail.points, 8);
  // The date and the page number at 456 and 632 pixels (96 dpi) of the
  // portrait band, 718 and 886 of the landscape band.
  EXPECT_DOUBLE_EQ(portrait.Find("QRSysData1")->leftMm, 10 + 456 * 25.4 / 96);
  EXPECT_DOUBLE_EQ(landscape.Find("QRSysData2")->leftMm, 10 + 886 * 25.4 / 96);
}

}  // namespace
}  // namespace dt
