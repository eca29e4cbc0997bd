// What a window's logic needs of a window, whatever toolkit draws it: the
// controls by their names in the window's description, their texts, checks
// and lists, the rules' state, click handlers, a timer and repaints. The Qt
// and the Win32 programs each implement it once for all their windows.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "forms/form.h"

namespace dt::app {

// One entry of a list control: the text shown and the data it carries.
struct ListItem {
  std::string text;
  std::string data;
};

struct Size {
  int width = 0;
  int height = 0;
};

class View {
 public:
  virtual ~View() = default;

  // The text of a control; of a list, the current item's text (its
  // placeholder when it has none).
  virtual std::string Text(const std::string& control) const = 0;
  // A label grows or shrinks to fit its new text; an edit with the focus
  // keeps its caret after the digits that stood before it (the numeric
  // edits lose what is not a digit as they are typed in).
  virtual void SetText(const std::string& control, const std::string& text) = 0;
  virtual bool Checked(const std::string& control) const = 0;
  // Replaces a list's items; the first becomes current.
  virtual void SetItems(const std::string& control, const std::vector<ListItem>& items) = 0;
  // Shows what the rules changed (see form::FormState).
  virtual void Apply(const form::FormState& state) = 0;

  // `handler` runs when a button is clicked or a check box changes.
  virtual void OnClick(const std::string& control, std::function<void()> handler) = 0;
  // `handler` runs when an edit's text changes.
  virtual void OnChange(const std::string& control, std::function<void()> handler) = 0;
  // `handler` runs when the focus leaves an edit for another control of the
  // window (not when the window itself loses the focus).
  virtual void OnLeave(const std::string& control, std::function<void()> handler) = 0;
  // Runs `tick` every `ms` milliseconds on the window's thread while the
  // window exists; `name` is the timer's name in the description.
  virtual void StartTimer(const std::string& name, int ms, std::function<void()> tick) = 0;

  // Shows the window modally and returns when it is closed; Close ends it.
  virtual void ShowModal() = 0;
  virtual void Close() = 0;

  virtual void MoveTo(int x, int y) = 0;
  // The window with its frame, and its client area.
  virtual Size OuterSize() const = 0;
  virtual Size ClientSize() const = 0;
  // A control's client area, and a new size for it (its corner stays).
  virtual Size ControlSize(const std::string& control) const = 0;
  virtual void Resize(const std::string& control, int width, int height) = 0;

  // A picture in place of a chart's curve (rgb rows from the top); an empty
  // picture gives the curve back.
  virtual void SetImage(const std::string& control, int width, int height,
                        const std::vector<std::uint8_t>& rgb) = 0;
  // A chart reads its source again.
  virtual void Refresh(const std::string& control) = 0;
  // Paints now, while the thread stays busy.
  virtual void RepaintAll() = 0;
  virtual void Repaint(const std::string& control) = 0;

  // Runs what waits for the window's thread (the worker's hand-overs among
  // it), waiting a moment for it when nothing waits, and returns.
  virtual void ServeEvents() = 0;
};

}  // namespace dt::app
