// The page descriptions' checker and the pagination of a report's records.
#include "forms/page.h"

#include <gtest/gtest.h>

namespace dt::page {
namespace {

TEST(Page, RecordsFillEachPageBelowItsHeader) {
  // Lines of 10 between 30 and 100: seven to a page, the eighth starts the
  // next page at its top.
  const std::vector<double> lines(15, 10.0);
  const std::vector<Placed> placed = PlaceRecords(lines, 10, 30, 100);
  ASSERT_EQ(placed.size(), 15u);
  EXPECT_EQ(placed[6], (Placed{0, 90}));
  EXPECT_EQ(placed[7], (Placed{1, 30}));
  EXPECT_EQ(placed[14], (Placed{2, 30}));
  EXPECT_EQ(PageCount(placed), 3);

  // An empty record still takes a line; a wrapped one stays whole, and one
  // taller than a page overruns its own page rather than leave it empty.
  const std::vector<double> mixed = {0, 25, 100, 10};
  EXPECT_EQ(PlaceRecords(mixed, 10, 30, 100),
            (std::vector<Placed>{{0, 30}, {0, 40}, {1, 30}, {2, 30}}));
  EXPECT_EQ(PageCount({}), 1);
}

TEST(Page, CheckPageFindsBrokenDescriptions) {
  const LabelSpec labels[] = {
      {"A", Band::Title, Shows::Caption, "", 10, 10, {"Arial", 10}},
      {"A", Band::Title, Shows::Caption, "", 20, 10, {"Arial", 10}},
      {"B", Band::Summary, Shows::Caption, "", 5, 50, {"Arial", 10}},
  };
  const ChartSpec chart{"", {12, 50, 280, 145}, "Arial", 13, 11, 96, 8, 0, 0, false, true};
  const PageSpec bad{"Bad", "", "", Orientation::Portrait, 10, 0, 0, labels, &chart, {}};
  EXPECT_EQ(CheckPage(bad),
            (std::vector<std::string>{"A: the name is used twice", "B: lies outside the margins",
                                      "Bad: the chart lies outside the margins"}));
  EXPECT_EQ(A4(Orientation::Landscape), (RectMm{0, 0, 297, 210}));
}

}  // namespace
}  // namespace dt::page
