// What the Qt program needs to print the page descriptions (forms/page.h):
// their fonts, their paper and the printer set up for them.
#pragma once

#include <QColor>
#include <QFont>
#include <QPrinter>
#include <cstdint>

#include "forms/page.h"

namespace dt::ui {

QFont PageFont(const page::Font& font);

// `printer` for the page: A4 in its orientation with its margins, the job
// named, drawn on the full paper.
void SetUpPrinter(QPrinter* printer, const page::PageSpec& spec);

inline QColor Rgb(std::uint32_t rgb) {
  return QColor::fromRgb(static_cast<QRgb>(rgb));
}

}  // namespace dt::ui
