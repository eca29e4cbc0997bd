// Builds a window's widgets from its description (forms/form.h) and shows
// the state that the core's rules give it. The Qt program writes no caption,
// hint, position or rule of its own.
#pragma once

#include <QFont>
#include <QString>
#include <QWidget>
#include <functional>
#include <map>
#include <stdexcept>
#include <string>

#include "forms/form.h"

namespace dt::ui {

// The widgets of one built form, by control name.
class BuiltForm {
 public:
  // Builds every control of `spec` on `form` and gives `form` its name,
  // title, font and client size. Kinds that only the window knows (charts,
  // the clock, images) come from `custom`; a Timer control makes no widget.
  // A fixed border leaves only the close button in the title bar.
  using Custom = std::function<QWidget*(const form::ControlSpec&, QWidget* parent)>;
  BuiltForm(QWidget* form, const form::FormSpec& spec, const Custom& custom = {});

  // The widget of a control, as its class; throws when there is none.
  template <class W>
  W* Get(const std::string& name) const {
    const auto it = widgets_.find(name);
    W* w = it == widgets_.end() ? nullptr : dynamic_cast<W*>(it->second);
    if (!w) throw std::logic_error("no widget " + name + " of that kind");
    return w;
  }

  // Shows what differs between `state` and what was shown last: visibility,
  // enabled state, checks, texts and places. A property that the rules did
  // not change is left as the user set it.
  void Apply(const form::FormState& state);

 private:
  // Puts a control at `r`; one placed after another counts from that one's
  // right edge as shown.
  void SetRect(QWidget* w, const form::ControlSpec& c, const form::Rect& r) const;

  const form::FormSpec& spec_;
  std::map<std::string, QWidget*> widgets_;
  form::FormState shown_;
};

// The form's font: its families in order of preference at its point size.
// The layouts are made for the narrow MS Sans Serif; where that is missing,
// a slightly condensed Arial-like face keeps captions inside their controls.
QFont FormFont(const form::FormSpec& spec);

// A control's own font.
QFont ControlFont(const form::FontSpec& spec);

// A label's text with the doubled "&&" of the descriptions as one "&".
QString Caption(const char* text);

}  // namespace dt::ui
