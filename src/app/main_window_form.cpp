#include "app/main_window_form.h"

#include <array>

// The build gives the contact address of the caption (DT_CONTACT_ADDRESS).
#ifndef DT_CONTACT_ADDRESS
#error "DT_CONTACT_ADDRESS is not defined"
#endif

namespace dt {

namespace {

using form::ControlSpec;
using form::Kind;


// Controls that sit at a place and size, or (auto) at a place and as large
// as their text.
constexpr ControlSpec C(Kind k, const char* name, const char* caption, const char* hint, int x,
                        int y, int w, int h, int id, bool visible = true, bool enabled = true,
                        bool checked = false) {
  return ControlSpec{k, name, caption, hint, {x, y, w, h}, false, "", id, visible, enabled, checked};
}
constexpr ControlSpec Auto(const char* name, const char* caption, const char* hint, int x, int y,
                           int id) {
  return ControlSpec{Kind::Label, name, caption, hint, {x, y, 0, 0}, true, "", id};
}

constexpr std::array kControls = {
    C(Kind::DriveSelector, "DriveComboBox1", "", "Select disk", 0, 0, 169, 19, 101),
    C(Kind::ComboBox, "ComboBox2", "Log", "", 0, 0, 169, 19, 102),
    C(Kind::ComboBox, "ComboBox1", "Disks", "", 0, 0, 169, 19, 103, false),
    C(Kind::Edit, "Edit1", "500", "Blok count or block size", 0, 21, 89, 16, 104),
    C(Kind::CheckBox, "BlockSizeFlg", "Block Size", "", 0, 37, 85, 15, 105),
    C(Kind::Button, "Button1", "Start", "", 120, 40, 41, 41, 106),
    Auto("Label5", "From", "", 0, 53, 107),
    Auto("Label6", "to", "", 0, 66, 108),
    C(Kind::CheckBox, "PercentFlg", "Print progress in %", "Print progress in %. Other in MBytes",
      0, 81, 105, 16, 109, true, true, true),
    C(Kind::Button, "Button11", "Surface test", "", 0, 96, 97, 17, 110),
    C(Kind::Button, "Button9", "Get SMART", "", 96, 24, 65, 17, 111, true, false),
    C(Kind::CheckBox, "HelpFlg", "Print help", "Out SMART attribute reference ", 104, 80, 65, 17,
      112, true, false),
    C(Kind::CheckBox, "IdentFlg", "Include Identyfy Block Report", "", 104, 96, 161, 15, 113, true,
      false),
    C(Kind::CheckBox, "CheckBox1", "Real Time", "", 172, 0, 90, 17, 114, true, true, true),
    C(Kind::CheckBox, "CheckBox2", "Bloksize 2**x", "", 172, 16, 90, 17, 115, true, true, true),
    C(Kind::CheckBox, "CheckBox3", "CheckBox3",
      "Begin - End, Begin+1- End-1,...,End-1 - Begin+1, End - Begin", 172, 32, 90, 17, 116),
    C(Kind::CheckBox, "CheckBox4", "Force 0", "Force 0 to chart", 172, 48, 90, 17, 117),
    C(Kind::CheckBox, "Physical", "Physical disk", "Switch to physical disk mode", 172, 64, 90, 17,
      118),
    C(Kind::CheckBox, "ErrMsgEn", "Error messages", "Print error messages (default no)", 172, 80,
      90, 17, 119),
    C(Kind::CentredLabel, "Label8", "Speed", "", 264, 0, 81, 13, 120),
    C(Kind::Button, "Button2", "Printer  setup", "", 264, 16, 81, 17, 121),
    C(Kind::Button, "Button3", "Preview", "", 264, 32, 81, 17, 122),
    C(Kind::Button, "Button4", "Print", "", 264, 48, 81, 17, 123),
    Auto("Label11", "Err1", "", 264, 64, 124),
    C(Kind::Edit, "Edit2", "10", "Minimal time (in milliseconds)", 328, 64, 17, 17, 125, false),
    C(Kind::CheckBox, "SmartReserv", "Print SMART reserved bytes", "Print SMART reserved bytes ",
      264, 80, 153, 17, 126, true, false),
    C(Kind::CheckBox, "EnglishFlg", "Englesh Identify block report", "", 264, 96, 161, 15, 127,
      true, false, true),
    // Off by default; on, the SMART report ends with the "Health" section.
    // It sits in the free space of the bottom row, under the status labels
    // and left of the "Errors" button.
    C(Kind::CheckBox, "HealthFlg", "Print health verdict",
      "Add the health verdict, its reasons and the self-test and error logs to the SMART report",
      430, 96, 137, 15, 145, true, false),
    // Off by default; on, Start runs the random access test instead of the
    // read-speed test. It sits in the free space right of the block count,
    // under the clock.
    C(Kind::CheckBox, "RandomAccess", "Random access",
      "Start times reads at random places (access time and IOPS) instead of the read speed", 530,
      31, 97, 16, 146),
    C(Kind::CentredLabel, "Label9", "Time", "", 345, 0, 73, 13, 128),
    C(Kind::Button, "Button5", "Printer setup", "", 345, 16, 75, 17, 129),
    C(Kind::Button, "Button6", "Preview", "", 345, 32, 75, 17, 130),
    C(Kind::Button, "Button7", "Print", "", 345, 48, 75, 17, 131),
    C(Kind::Button, "Button8", "View", "", 345, 64, 75, 17, 132),
    Auto("Label3", "Errors: 0", "", 430, 0, 133),
    Auto("Label2", "0%", "", 504, 0, 134),
    Auto("Label4", "BlokSize", "", 430, 16, 135),
    Auto("Label7", "Blocks", "", 430, 32, 136),
    Auto("Label1", "Disk size", "", 430, 48, 137),
    Auto("DiskSz", "Unknow ", "", 478, 48, 138),
    Auto("Label10", "Address", "", 430, 64, 139),
    Auto("ElTime", "Time 00:00:00 (00:00:00)", "Elapsed (remaining) time", 430, 80, 140),
    C(Kind::Clock, "RxClock1", "", "", 568, 0, 57, 17, 141),
    C(Kind::Button, "Button10", "Errors", "", 568, 80, 59, 17, 142),
    C(Kind::Chart, "DBChart1", "Speed of disk", "", 0, 111, 625, 322, 143),
    C(Kind::Timer, "Timer1", "", "", 0, 0, 100, 0, 144),
};

constexpr form::FormSpec kForm{"Form1",
                               "Disk read speed (" DT_CONTACT_ADDRESS ")",
                               635,
                               465,
                               form::kSansSerifFonts,
                               8,
                               kControls};

constexpr const char* kSmartControls[] = {"Button9",  "HelpFlg",    "SmartReserv",
                                          "IdentFlg", "EnglishFlg", "HealthFlg"};

}  // namespace

const form::FormSpec& MainWindowForm() { return kForm; }

namespace main_window {

void FormShow(form::FormState& s) {
  s["ComboBox2"].rect = s["DriveComboBox1"].rect;
  s["DriveComboBox1"].visible = false;
}

void PhysicalClick(form::FormState& s, bool physical) {
  if (physical) s["ComboBox1"].rect = s["DriveComboBox1"].rect;
  s["ComboBox2"].visible = !physical;
  s["ComboBox1"].visible = physical;
  for (const char* name : kSmartControls) s[name].enabled = physical;
}

void SetRunning(form::FormState& s, bool running) {
  s["Button1"].text = running ? "Stop" : "Start";
  for (const char* name : {"Button2", "Button3", "Button4", "Button5", "Button6", "Button7",
                           "Button8"})
    s[name].enabled = !running;
}

form::Rect ChartRect(int outerWidth, int outerHeight, int clientWidth, int clientHeight) {
  const form::Rect chart = kForm.Find("DBChart1")->rect;
  return {chart.x, chart.y, outerWidth > 210 ? clientWidth - 2 : 200,
          outerHeight > 343 ? clientHeight - 113 : 200};
}

}  // namespace main_window
}  // namespace dt
