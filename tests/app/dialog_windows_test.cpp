// The range dialog's and the SMART window's logic on a fake view: what they
// show, when they close, and what their buttons ask of the toolkit.
#include <gtest/gtest.h>

#include "app/fake_view.h"
#include "app/range_window.h"
#include "app/smart_window.h"
#include "base/text.h"
#include "platform/sim/sim_platform.h"
#include "speedtest/speed_harness.h"

namespace dt::app {
namespace {

TEST(RangeWindowTest, ShowsTheModelAlignsLeftFieldsAndClosesOnAValidRangeOrCancel) {
  testing::RecordingNotifier notifier;
  FakeView view(RangeDialogForm());
  RangeWindow window(view);
  RangeModel model;
  model.Prepare(1000000000);
  view.whileModal = [&] {
    window.FormShow();
    EXPECT_EQ(&window.Model(), &model);
    for (const auto& [control, text] : std::map<std::string, std::string>{{"Label4", "1000000000"},
                                                                          {"Edit1", "0"},
                                                                          {"Edit2", "0"},
                                                                          {"Edit3", "999999999"},
                                                                          {"Edit4", "100"}})
      EXPECT_EQ(view.texts[control], text) << control;
    view.Enter("Edit1", "1000");
    EXPECT_EQ(view.texts["Edit1"], "512");
    EXPECT_EQ(view.texts["Edit2"], model.PercentText(512));
    // An end before the start is refused and the dialog stays open.
    view.Enter("Edit3", "100");
    view.Click("Button1");
    EXPECT_EQ(view.closes, 0);
    view.Enter("Edit3", "4095");
    view.Click("Button1");
  };
  window.ShowModal(model);
  EXPECT_EQ(notifier.Messages(), std::vector<std::string>{"Data Error: Invalid range"});
  EXPECT_EQ(view.closes, 1);
  EXPECT_TRUE(model.RangeAccepted);
  EXPECT_EQ(model.RangeStart, 512);
  EXPECT_EQ(model.RangeEnd, 4095);
  EXPECT_NE(&window.Model(), &model);

  view.whileModal = [&] {
    window.FormShow();
    view.Click("Button2");
  };
  window.ShowModal(model);
  EXPECT_EQ(view.closes, 2);
  EXPECT_FALSE(model.RangeAccepted);
}

class FakeSmartHost : public SmartWindowHost {
 public:
  std::vector<std::string> memo, calls;
  void ClearMemo() override { memo.clear(); }
  void AppendMemo(const std::string& line) override { memo.push_back(line); }
  void MemoToTop() override { calls.push_back("top " + std::to_string(memo.size())); }
  void CopyMemo() override { calls.push_back("copy"); }
  void ChooseMemoFont() override { calls.push_back("font"); }
  void Preview(smart_window::PrintedForm f) override { calls.push_back("preview " + Name(f)); }
  void Print(smart_window::PrintedForm f) override { calls.push_back("print " + Name(f)); }
  void PrinterSetup(smart_window::PrintedForm f) override { calls.push_back("setup " + Name(f)); }

 private:
  static std::string Name(smart_window::PrintedForm f) {
    return f == smart_window::PrintedForm::Portrait ? "portrait" : "landscape";
  }
};

TEST(SmartWindowTest, TheReportFillsMemoAndLineTableAndTheButtonsActOnTheFormForItsWidth) {
  std::string error;
  ScopedPlatform platform(ParseSimMachine(
      testing::OneDisk(64 << 20, R"(, "nvme": {"model": "Sim NVMe", "serial": "S1"})"), "",
      "test machine", &error));
  FakeView view(SmartInfoForm());
  FakeSmartHost host;
  SmartWindow window(view, host);
  std::vector<std::string> lines{"an earlier report"};
  page::ReportLabel portrait, landscape;
  window.SetPrintedForms(&lines, &portrait, &landscape);
  window.FormShow();
  window.FormResize();
  EXPECT_EQ(view.left, smart_window::kShowLeft);
  EXPECT_EQ(view.top, smart_window::kShowTop);
  const form::Rect memo = smart_window::MemoRect(792, 573);
  EXPECT_EQ(view.sizes.back(),
            "SMARTinfoTEXT " + std::to_string(memo.width) + "x" + std::to_string(memo.height));

  for (const bool reserved : {true, false}) {
    host.calls.clear();
    SmartOptions options;
    options.reserved = reserved;
    options.identify = true;
    view.whileModal = [&] {
      for (const char* b : {"Button1", "Button2", "Button3", "Button4", "Button5"}) view.Click(b);
    };
    window.ShowReport(0, options);
    const std::string form = reserved ? "portrait" : "landscape";
    ASSERT_GT(host.memo.size(), 5u);
    const std::vector<std::string> want{"top " + std::to_string(host.memo.size()),
                                        "copy",
                                        "preview " + form,
                                        "print " + form,
                                        "font",
                                        "setup " + form};
    EXPECT_EQ(host.calls, want);
    EXPECT_EQ(portrait.Caption.rfind("Sim NVMe", 0), 0u) << portrait.Caption;
    EXPECT_EQ(landscape.Caption, portrait.Caption);
    EXPECT_EQ(lines, host.memo);
  }
  EXPECT_EQ(view.modalShows, 2);

  // A line goes whole into the memo and cut to the record size into the table.
  std::string cyrillic;
  for (int i = 0; i < 300; ++i) cyrillic += "\xD0\x96";
  window.AddLine(cyrillic);
  EXPECT_EQ(host.memo.back(), cyrillic);
  EXPECT_EQ(lines.back(), cyrillic.substr(0, 2 * kSmartRecordChars));
}

}  // namespace
}  // namespace dt::app
