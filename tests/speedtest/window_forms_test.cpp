// The description of the range dialog, with its rules.
#include <gtest/gtest.h>

#include "device/text.h"
#include "speed_harness.h"
#include "speedtest/range_dialog_form.h"

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

}  // namespace
}  // namespace dt
