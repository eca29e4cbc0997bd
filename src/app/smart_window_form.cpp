#include "app/smart_window_form.h"

#include <array>

namespace dt {

namespace {

using form::ControlSpec;
using form::Kind;


// Ten points are eight pixels a character at 96 dpi, as the classic fixed
// system font.
constexpr const char* kMemoFamilies[] = {"Fixedsys", "Liberation Mono", "DejaVu Sans Mono",
                                         "Courier New"};
constexpr form::FontSpec kMemoFont{kMemoFamilies, 10, true};

constexpr ControlSpec C(Kind k, const char* name, const char* caption, int x, int y, int w, int h,
                        int id) {
  return ControlSpec{k, name, caption, "", {x, y, w, h}, false, "", id};
}

constexpr std::array kControls = {
    C(Kind::Button, "Button1", "Copy to clipboard", 8, 1, 97, 25, 101),
    C(Kind::Button, "Button2", "Preview", 112, 1, 75, 25, 102),
    C(Kind::Button, "Button5", "Printer setup", 192, 1, 75, 25, 103),
    C(Kind::Button, "Button3", "Print", 272, 1, 75, 25, 104),
    C(Kind::Button, "Button4", "Font", 352, 1, 75, 25, 105),
    C(Kind::Clock, "RxClock1", "", 536, 1, 81, 25, 106),
    ControlSpec{Kind::Memo, "SMARTinfoTEXT", "", "", {8, 32, 609, 393}, false, "", 107, true, true,
                false, 0, false, &kMemoFont},
};

constexpr form::FormSpec kForm{"SMARTinfo", "SMART info form", 630, 460,
                               form::kSansSerifFonts, 8, kControls};

}  // namespace

const form::FormSpec& SmartInfoForm() { return kForm; }

namespace smart_window {

form::Rect MemoRect(int clientWidth, int clientHeight) {
  const form::Rect memo = kForm.Find("SMARTinfoTEXT")->rect;
  return {memo.x, memo.y, clientWidth > 200 ? clientWidth - 20 : 180,
          clientHeight > 200 ? clientHeight - 40 : 160};
}

PrintedForm ChosenForm(bool reserved) {
  return reserved ? PrintedForm::Portrait : PrintedForm::Landscape;
}

}  // namespace smart_window
}  // namespace dt
