// Window descriptions that every front end renders: a form record and a
// constant table of control records (kind, name, caption, hint, place and
// initial state), in the order the window lists its controls, like the form
// files of classic desktop tools. A toolkit builds its widgets from the table
// and keeps no caption, position or rule of its own; the rules that change a
// window's controls work on a FormState, which a toolkit shows with one
// "apply state" loop.
#pragma once

#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <vector>

namespace dt::form {

enum class Kind : std::uint8_t {
  Label,          // static text; autoSize: as wide as its text
  CentredLabel,   // static text centred in its width
  Button,
  DefaultButton,  // Enter presses it; in its form Enter presses a focused button
  CheckBox,
  RadioButton,
  Edit,           // one-line edit
  ComboBox,       // drop-down list; caption: the text shown while it is empty
  DriveSelector,  // the toolkit's drive list
  Panel,          // a raised frame that groups controls
  Memo,           // multi-line text, unwrapped, with both scroll bars
  Chart,          // line chart; caption: its title
  Image,          // picture (the surface map)
  Clock,          // time of day
  Timer,          // no widget; rect.width holds the interval in milliseconds
};

// Left, top, width and height in form pixels (96 dpi).
struct Rect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
};

// A font of a control's own, in place of the form's: its families in order
// of preference, the point size, and whether it must be fixed-pitch (a
// fixed-pitch face stands in when none of the families is there).
struct FontSpec {
  std::span<const char* const> families;
  int points = 0;
  bool fixedPitch = false;
};

struct ControlSpec {
  Kind kind;
  const char* name;
  const char* caption;  // "" for none; "&&" shows one ampersand
  const char* hint;     // tooltip, "" for none
  Rect rect;
  bool autoSize = false;   // width and height follow the text
  const char* parent = "";  // "" for the form itself
  int id = 0;               // control id, unique in the form (Win32 needs one)
  bool visible = true;
  bool enabled = true;
  bool checked = false;
  // A font of its own: pixel size (0: the form's) and weight.
  int fontPixels = 0;
  bool bold = false;
  // Null for the form's font (fontPixels and bold still apply).
  const FontSpec* font = nullptr;
  // Placed after an earlier control of the same parent: rect.x is then the
  // gap between that control's right edge and this one, so that a value
  // follows its caption however wide the caption's text comes out.
  const char* rightOf = "";
};

// How the user may size a window.
enum class Border : std::uint8_t {
  Sizeable,  // a frame that sizes
  Fixed,     // a fixed single border with only the close button
  SizeGrip,  // a frame that sizes, with a size grip in the bottom-right corner
  Dialog,    // a dialog frame that keeps the client size
};

// The windows' font: the narrow MS Sans Serif of the classic desktop, and
// the faces that stand in for it where it is missing.
inline constexpr const char* kSansSerifFonts[] = {"MS Sans Serif", "Microsoft Sans Serif",
                                                  "Liberation Sans", "Arial"};

struct FormSpec {
  const char* name;   // "Form1"
  const char* title;  // caption of the window
  int clientWidth;
  int clientHeight;
  // The font families in order of preference, and the point size; none:
  // the system's dialog font.
  std::span<const char* const> fontFamilies;
  int fontPoints;
  std::span<const ControlSpec> controls;
  Border border = Border::Sizeable;

  // The control of that name, or null.
  const ControlSpec* Find(const std::string& name) const;
};

// What is wrong with a description: duplicate names or ids, a control
// outside the form or its parent, a parent or a control placed after that is
// unknown or comes after its child. Empty when it is sound.
std::vector<std::string> CheckForm(const FormSpec& form);

// The state of one control that the rules change.
struct ControlState {
  bool visible = true;
  bool enabled = true;
  bool checked = false;
  std::string text;
  Rect rect;
};

// The state of every control of a window, by name, starting from its
// description.
class FormState {
 public:
  explicit FormState(const FormSpec& form);
  ControlState& operator[](const std::string& name);
  const ControlState& operator[](const std::string& name) const;
  const FormSpec& Spec() const { return *form_; }

 private:
  const FormSpec* form_;
  std::map<std::string, ControlState> controls_;
};

}  // namespace dt::form
