#include "speedtest/range_dialog_form.h"

#include <array>

namespace dt {

namespace {

using form::ControlSpec;
using form::Kind;

constexpr ControlSpec Auto(const char* name, const char* caption, int x, int y, int id) {
  return ControlSpec{Kind::Label, name, caption, "", {x, y, 0, 0}, true, "", id};
}
constexpr ControlSpec C(Kind k, const char* name, const char* caption, int x, int y, int w, int h,
                        int id) {
  return ControlSpec{k, name, caption, "", {x, y, w, h}, false, "", id};
}

constexpr std::array kControls = {
    Auto("Label3", "Total", 16, 12, 101),
    Auto("Label4", "0", 64, 12, 102),
    Auto("Label1", "From", 16, 36, 103),
    Auto("Label2", "To", 248, 36, 104),
    C(Kind::Edit, "Edit1", "0", 16, 56, 161, 21, 105),
    Auto("Label7", "byte", 184, 60, 106),
    C(Kind::Edit, "Edit2", "0", 16, 84, 161, 21, 107),
    Auto("Label5", "%", 184, 88, 108),
    C(Kind::Edit, "Edit3", "1", 248, 56, 161, 21, 109),
    Auto("Label8", "Byte", 416, 60, 110),
    C(Kind::Edit, "Edit4", "1", 248, 84, 161, 21, 111),
    Auto("Label6", "%", 416, 88, 112),
    C(Kind::DefaultButton, "Button1", "Ok", 136, 120, 75, 25, 113),
    C(Kind::Button, "Button2", "Cancel", 272, 120, 75, 25, 114),
};

constexpr form::FormSpec kForm{"RangeForm", "Range Select",      488, 163, {}, 0,
                               kControls,   form::Border::Dialog};

}  // namespace

const form::FormSpec& RangeDialogForm() {
  return kForm;
}

namespace range_dialog {

Texts ModelTexts(const RangeModel& model, bool from, bool to) {
  Texts texts{{"Label4", model.Label4}};
  if (from) {
    texts.emplace_back("Edit1", model.Edit1);
    texts.emplace_back("Edit2", model.Edit2);
  }
  if (to) {
    texts.emplace_back("Edit3", model.Edit3);
    texts.emplace_back("Edit4", model.Edit4);
  }
  return texts;
}

Texts FieldLeft(RangeModel& model, const std::string& name, const std::string& text) {
  if (name == "Edit1") {
    model.Edit1 = text;
    model.Edit1Exit();
  } else if (name == "Edit2") {
    model.Edit2 = text;
    model.Edit2Exit();
  } else if (name == "Edit3") {
    model.Edit3 = text;
    model.Edit3Exit();
  } else if (name == "Edit4") {
    model.Edit4 = text;
    model.Edit4Exit();
  } else {
    return {};
  }
  const bool from = name == "Edit1" || name == "Edit2";
  return ModelTexts(model, from, !from);
}

}  // namespace range_dialog
}  // namespace dt
