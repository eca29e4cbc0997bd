// Helpers for windows laid out in fixed pixel positions.
#pragma once

#include <QSize>
#include <QWidget>

namespace dt::ui {

// The size of the window with its frame. Before the window is shown, and on
// platforms without window decorations, it is the client size.
inline QSize OuterSize(const QWidget* w) {
  const QRect frame = w->frameGeometry();
  const QRect client = w->geometry();
  if (!w->isVisible() || frame.width() < client.width() || frame.height() < client.height())
    return w->size();
  return w->size() + (frame.size() - client.size());
}

}  // namespace dt::ui
