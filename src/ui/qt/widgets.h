// Small helpers the Qt windows share.
#pragma once

#include <QComboBox>
#include <QString>
#include <string>

namespace dt::ui {

inline QString Q(const std::string& s) {
  return QString::fromStdString(s);
}

// The text a list shows: its selected item, or its caption while it is empty.
inline std::string ComboText(const QComboBox* box) {
  if (box->currentIndex() < 0) return box->placeholderText().toStdString();
  return box->currentText().toStdString();
}

}  // namespace dt::ui
