// The surface test window TSurfaceTest as data: its form record, its
// controls in the order the window lists them, and the rules that place
// them when the window is shown. The window logic (surface_logic.h) keeps
// the enabled states, checks and texts; ShowControls puts them on the
// window's state, which every front end shows.
#pragma once

#include <span>

#include "forms/form.h"
#include "surface/surface_logic.h"

namespace dt {

// TSurfaceTest: "Surface test", 622 x 427 with a fixed border, MS Sans Serif
// 8 pt; the mode buttons on Panel1, the options, the disk's particulars, the
// bad-block counters, the clock and the map image (Image1).
const form::FormSpec& SurfaceTestForm();

namespace surface_window {

// A control whose state the window logic keeps, and where it keeps it.
struct LogicControl {
  const char* name;
  surface::Control surface::SurfaceControls::*state;
};
std::span<const LogicControl> LogicControls();

// The logic's enabled states, checks and texts onto the window's state.
void ShowControls(const surface::SurfaceControls& controls, form::FormState& s);

// FormShow, before the map layout: the window's outer size becomes the
// maximised client area less 3 pixels each way, and the client area inside
// it (less the frame's total width and height) is what the layout fills.
void LayoutArea(int maxClientWidth, int maxClientHeight, int frameWidth, int frameHeight,
                int* clientWidth, int* clientHeight);

// FormShow, after the map layout: FirstNErrors 15 pixels high, the image as
// large as the map, and the clock 2 pixels inside the right edge, though
// never left of 580. Returns the window's place: the outer top-left corner
// (1, 1) and the client size, which the window keeps.
form::Rect FormShow(form::FormState& s, const surface::MapLayout& layout);

}  // namespace surface_window
}  // namespace dt
