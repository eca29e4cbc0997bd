// The descriptions of the range dialog, the time chart and errors windows
// and the printed speed and time reports, with their rules.
#include <gtest/gtest.h>

#include "base/text.h"
#include "speed_harness.h"
#include "speedtest/errors_window_form.h"
#include "speedtest/range_dialog_form.h"
#include "speedtest/report_forms.h"
#include "speedtest/time_view_form.h"

namespace dt {
namespace {

std::vector<std::string> Names(const form::FormSpec& f) {
  std::vector<std::string> names;
  for (const form::ControlSpec& c : f.controls) names.push_back(c.name);
  return names;
}

TEST(WindowForms, AreSoundAndListTheControlsInTheirOrder) {
  const form::FormSpec& range = RangeDialogForm();
  EXPECT_EQ(form::CheckForm(range), std::vector<std::string>{});
  EXPECT_STREQ(range.title, "Range Select");
  EXPECT_EQ(range.border, form::Border::Dialog);
  EXPECT_EQ(Names(range), (std::vector<std::string>{"Label3", "Label4", "Label1", "Label2", "Edit1",
                                                    "Label7", "Edit2", "Label5", "Edit3", "Label8",
                                                    "Edit4", "Label6", "Button1", "Button2"}));
  EXPECT_EQ(range.Find("Button1")->kind, form::Kind::DefaultButton);
  EXPECT_STREQ(range.Find("Label7")->caption, "byte");
  EXPECT_STREQ(range.Find("Label8")->caption, "Byte");

  const form::FormSpec& time = TimeViewForm();
  EXPECT_EQ(form::CheckForm(time), std::vector<std::string>{});
  EXPECT_STREQ(time.title, "TimeView");
  EXPECT_EQ(Names(time), (std::vector<std::string>{"DBChart1", "RxClock1"}));
  EXPECT_STREQ(time.Find("DBChart1")->caption, "Time of disk");

  const form::FormSpec& errors = ErrorsWindowForm();
  EXPECT_EQ(form::CheckForm(errors), std::vector<std::string>{});
  EXPECT_STREQ(errors.title, "Errors");
  EXPECT_EQ(Names(errors), (std::vector<std::string>{"RxClock1", "Memo1"}));
  EXPECT_EQ(errors.Find("Memo1")->kind, form::Kind::Memo);
  for (const form::FormSpec* f : {&time, &errors}) EXPECT_EQ(f->border, form::Border::SizeGrip);
}

TEST(WindowForms, ChartAndMemoFollowTheWindowDownToTheirFloors) {
  const form::Rect chart = time_view::ChartRect(640, 465);
  EXPECT_EQ(chart.x, 0);
  EXPECT_EQ(chart.y, 20);
  EXPECT_EQ(chart.width, 630);
  EXPECT_EQ(chart.height, 413);
  EXPECT_EQ(time_view::ChartRect(211, 313).width, 201);
  EXPECT_EQ(time_view::ChartRect(211, 313).height, 261);
  EXPECT_EQ(time_view::ChartRect(210, 312).width, 200);
  EXPECT_EQ(time_view::ChartRect(210, 312).height, 260);

  const form::Rect memo = errors_window::MemoRect(544, 375);
  EXPECT_EQ(memo.y, 16);
  EXPECT_EQ(memo.width, 534);
  EXPECT_EQ(memo.height, 330);
  EXPECT_EQ(errors_window::MemoRect(221, 151).width, 211);
  EXPECT_EQ(errors_window::MemoRect(221, 151).height, 106);
  EXPECT_EQ(errors_window::MemoRect(120, 90).width, 210);
  EXPECT_EQ(errors_window::MemoRect(120, 90).height, 105);
}

TEST(WindowForms, RangeDialogShowsOnlyThePairOfTheFieldLeft) {
  testing::RecordingNotifier notifier;
  const ScopedNumberFormat english(NumberFormat{",", "."});
  RangeModel model;
  model.Prepare(1000000000);
  model.FormShow();
  using Texts = range_dialog::Texts;
  EXPECT_EQ(range_dialog::ModelTexts(model, true, true), (Texts{{"Label4", "1000000000"},
                                                                {"Edit1", "0"},
                                                                {"Edit2", "0"},
                                                                {"Edit3", "999999999"},
                                                                {"Edit4", "100"}}));
  EXPECT_EQ(range_dialog::FieldLeft(model, "Edit1", "1000"),
            (Texts{{"Label4", "1000000000"}, {"Edit1", "512"}, {"Edit2", "0.0000512"}}));
  EXPECT_EQ(model.RangeStart, 512);
  EXPECT_EQ(range_dialog::FieldLeft(model, "Edit4", "50"),
            (Texts{{"Label4", "1000000000"}, {"Edit3", "499999743"}, {"Edit4", "49.9999743"}}));
  EXPECT_EQ(model.RangeEnd, 499999743);
  // Text that is no number: the error is shown and the pair stays.
  EXPECT_EQ(range_dialog::FieldLeft(model, "Edit2", "x")[2].second, "x");
  EXPECT_EQ(model.RangeStart, 512);
  EXPECT_EQ(notifier.Messages().size(), 1u);
  EXPECT_TRUE(range_dialog::FieldLeft(model, "Label4", "5").empty());
}

TEST(WindowForms, SpeedAndTimeReportPages) {
  for (const page::PageSpec* p : {&SpeedReportPage(), &TimeReportPage()}) {
    EXPECT_EQ(page::CheckPage(*p), std::vector<std::string>{}) << p->name;
    EXPECT_EQ(p->orientation, page::Orientation::Landscape);
    EXPECT_EQ(p->labels.size(), 10u);
    EXPECT_EQ(p->labels.front().shows, page::Shows::PrintTime);
    EXPECT_TRUE(p->labels.front().font.bold);
    // The label columns: 1 to 3 and 8 on the left, 4 to 7 on the right.
    EXPECT_EQ(p->Find("QRLabel8")->leftMm, p->Find("QRLabel1")->leftMm);
    EXPECT_EQ(p->Find("QRLabel8")->topMm, p->Find("QRLabel7")->topMm);
    EXPECT_EQ(p->Find("QRLabel7")->leftMm, p->Find("QRLabel4")->leftMm);
  }
  const page::PageSpec& speed = SpeedReportPage();
  EXPECT_STREQ(speed.jobName, "Disk speed");
  EXPECT_STREQ(speed.chart->title, "Disk speed");
  EXPECT_DOUBLE_EQ(speed.Find("QRLabel9")->leftMm, 50.2);
  EXPECT_FALSE(speed.chart->leftGrid);
  const page::PageSpec& time = TimeReportPage();
  EXPECT_STREQ(time.jobName, "");
  EXPECT_STREQ(time.caption, "Preview");
  EXPECT_STREQ(time.chart->title, "Read block time");
  EXPECT_TRUE(time.chart->dashDotDot);
  EXPECT_EQ(time.chart->place, (page::RectMm{12.7, 52.9, 271.2, 144.7}));
}

}  // namespace
}  // namespace dt
