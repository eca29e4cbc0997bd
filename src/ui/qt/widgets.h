// Small helpers for laying out the windows' controls at fixed positions.
#pragma once

#include <QLabel>
#include <QString>
#include <QWidget>
#include <string>

namespace dt::ui {

inline QString Q(const std::string& s) { return QString::fromStdString(s); }

// Names a control and puts it at its place (left, top, width, height).
template <class W>
W* Place(W* w, const char* name, int x, int y, int width, int height) {
  w->setObjectName(name);
  w->setGeometry(x, y, width, height);
  return w;
}

// A label that sizes itself to its text.
inline QLabel* AutoLabel(QWidget* parent, const char* name, const char* text, int x, int y) {
  auto* l = new QLabel(text, parent);
  l->setObjectName(name);
  l->move(x, y);
  l->adjustSize();
  return l;
}

}  // namespace dt::ui
