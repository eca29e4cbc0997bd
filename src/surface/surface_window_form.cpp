#include "surface/surface_window_form.h"

#include <algorithm>
#include <array>

#include "surface/surface_map.h"

namespace dt {

namespace {

using form::ControlSpec;
using form::Kind;
using surface::SurfaceControls;


constexpr ControlSpec C(Kind k, const char* name, const char* caption, const char* hint, int x,
                        int y, int w, int h, int id, bool enabled = true, bool checked = false) {
  return ControlSpec{k, name, caption, hint, {x, y, w, h}, false, "", id, true, enabled, checked};
}
constexpr ControlSpec Radio(const char* name, const char* caption, const char* hint, int y, int id,
                            bool enabled = true, bool checked = false) {
  return ControlSpec{Kind::RadioButton, name,   caption, hint,    {4, y, 83, 16},
                     false,             "Panel1", id,    true,    enabled,
                     checked};
}
constexpr ControlSpec Auto(const char* name, const char* caption, int x, int y, int id) {
  return ControlSpec{Kind::Label, name, caption, "", {x, y, 0, 0}, true, "", id};
}
// A control `gap` pixels right of another one (a value after its caption).
constexpr ControlSpec After(Kind k, const char* left, int gap, const char* name,
                            const char* caption, int y, int w, int h, int id) {
  return ControlSpec{k,     name, caption, "",      {gap, y, w, h}, k == Kind::Label, "", id,
                     true,  true, false,   0,       false,          nullptr,          left};
}

constexpr std::array kControls = {
    C(Kind::Panel, "Panel1", "", "", 0, 0, 89, 70, 101),
    Radio("ReadTestButton", "Read test", "Read only test", 3, 102, true, true),
    Radio("WriteTestButton", "Write test", "Write only test", 19, 103),
    Radio("ReadAndWriteButton", "Read&&Write", "Read and write data test", 35, 104),
    Radio("WriteAndReadButton", "Write&&Read", "Write to disk test data and verify", 51, 105,
          false),
    ControlSpec{Kind::Button, "StartButton", "Start", "", {93, 4, 90, 33}, false, "", 106, true,
                true, false, 16, true},
    C(Kind::CheckBox, "WriteToFile", "Write data", "Write read data to file rd.dat", 93, 41, 92,
      16, 107),
    C(Kind::CheckBox, "LogErrors", "Errors log", "", 192, 3, 100, 16, 108, true, true),
    C(Kind::Button, "Button1", "Show errors log", "", 93, 60, 90, 21, 109),
    C(Kind::CheckBox, "FirstNErrors", "Log first ", "", 192, 21, 62, 17, 110, true, true),
    C(Kind::Edit, "ErrorsNumber", "5000", "", 254, 20, 44, 18, 111),
    Auto("Label11", "errors", 302, 22, 112),
    Auto("Label1", "Test retry count", 192, 44, 113),
    After(Kind::Edit, "Label1", 4, "TestRetry", "1", 42, 36, 18, 114),
    After(Kind::Label, "TestRetry", 4, "CurTestCycle", "(1)", 44, 0, 0, 115),
    Auto("Label5", "Disk", 345, 3, 116),
    After(Kind::Label, "Label5", 5, "TestedDiskName", "Unknown", 3, 0, 0, 117),
    Auto("Label9", "Disk size", 345, 29, 118),
    After(Kind::Label, "Label9", 5, "DiskSize", "0 Mb", 29, 0, 0, 119),
    Auto("Label10", "Model", 345, 16, 120),
    After(Kind::Label, "Label10", 5, "DiskModel", "Unknown", 16, 0, 0, 121),
    Auto("Label3", "Blocks per element", 345, 42, 122),
    After(Kind::Label, "Label3", 5, "BlocksPerElement", "1", 42, 0, 0, 123),
    Auto("Label2", "Time", 345, 55, 124),
    After(Kind::Label, "Label2", 5, "WorkTime", "00:00:00 (00:00:00) 00.0000%", 55, 0, 0, 125),
    Auto("Label4", "Bad blocks", 522, 3, 126),
    Auto("Label6", "read", 522, 16, 127),
    Auto("BadBlocksRead", "0 (00.0000%)", 566, 16, 128),
    Auto("Label7", "write", 522, 29, 129),
    Auto("BadBlocksWrite", "0 (00.0000%)", 566, 29, 130),
    Auto("Label8", "compare", 522, 42, 131),
    Auto("BadBlocksCompare", "0 (00.0000%)", 566, 42, 132),
    Auto("CurrenElementInfo", "", 192, 69, 133),
    // In the free space right of the element information, above the map.
    C(Kind::CheckBox, "GradeAccessTime", "Grade access time",
      "Colour every element by its slowest access time", 500, 68, 118, 16, 136),
    // FormShow moves the clock to the right edge before the window appears.
    C(Kind::Clock, "RxClock1", "", "", 563, 2, 57, 17, 134),
    C(Kind::Image, "Image1", "", "", surface::kImageLeft, surface::kImageTop, 0, 0, 135),
};

constexpr form::FormSpec kForm{"SurfaceTest", "Surface test", 622, 427, form::kSansSerifFonts, 8,
                               kControls, form::Border::Fixed};

constexpr surface_window::LogicControl kLogicControls[] = {
    {"ReadTestButton", &SurfaceControls::ReadTestButton},
    {"WriteTestButton", &SurfaceControls::WriteTestButton},
    {"ReadAndWriteButton", &SurfaceControls::ReadAndWriteButton},
    {"WriteAndReadButton", &SurfaceControls::WriteAndReadButton},
    {"StartButton", &SurfaceControls::StartButton},
    {"WriteToFile", &SurfaceControls::WriteToFile},
    {"LogErrors", &SurfaceControls::LogErrors},
    {"Button1", &SurfaceControls::Button1},
    {"FirstNErrors", &SurfaceControls::FirstNErrors},
    {"ErrorsNumber", &SurfaceControls::ErrorsNumber},
    {"Label11", &SurfaceControls::Label11},
    {"TestRetry", &SurfaceControls::TestRetry},
    {"CurTestCycle", &SurfaceControls::CurTestCycle},
    {"TestedDiskName", &SurfaceControls::TestedDiskName},
    {"DiskSize", &SurfaceControls::DiskSize},
    {"DiskModel", &SurfaceControls::DiskModel},
    {"BlocksPerElement", &SurfaceControls::BlocksPerElement},
    {"WorkTime", &SurfaceControls::WorkTime},
    {"BadBlocksRead", &SurfaceControls::BadBlocksRead},
    {"BadBlocksWrite", &SurfaceControls::BadBlocksWrite},
    {"BadBlocksCompare", &SurfaceControls::BadBlocksCompare},
    {"CurrenElementInfo", &SurfaceControls::CurrenElementInfo},
    {"GradeAccessTime", &SurfaceControls::GradeAccessTime},
};

// The clock never moves left of this, over the bad-block counters.
constexpr int kClockLeast = 580;

}  // namespace

const form::FormSpec& SurfaceTestForm() { return kForm; }

namespace surface_window {

std::span<const LogicControl> LogicControls() { return kLogicControls; }

void ShowControls(const SurfaceControls& controls, form::FormState& s) {
  for (const LogicControl& c : kLogicControls) {
    const surface::Control& from = controls.*c.state;
    form::ControlState& to = s[c.name];
    to.enabled = from.enabled;
    to.checked = from.checked;
    to.text = from.text;
  }
}

void LayoutArea(int maxClientWidth, int maxClientHeight, int frameWidth, int frameHeight,
                int* clientWidth, int* clientHeight) {
  *clientWidth = maxClientWidth - 3 - frameWidth;
  *clientHeight = maxClientHeight - 3 - frameHeight;
}

form::Rect FormShow(form::FormState& s, const surface::MapLayout& layout) {
  s["FirstNErrors"].rect.height = 15;
  s["Image1"].rect = {surface::kImageLeft, surface::kImageTop, layout.ImageWidth,
                      layout.ImageHeight};
  form::Rect& clock = s["RxClock1"].rect;
  clock.x = std::max(layout.ClientWidth - clock.width - 2, kClockLeast);
  return {1, 1, layout.ClientWidth, layout.ClientHeight};
}

}  // namespace surface_window
}  // namespace dt
