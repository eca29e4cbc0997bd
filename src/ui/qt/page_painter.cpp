#include "ui/qt/page_painter.h"

#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>

namespace dt::ui {

QFont PageFont(const page::Font& font) {
  QFont f(font.family);
  if (font.fixedPitch) {
    f.setStyleHint(QFont::TypeWriter);
    f.setFixedPitch(true);
  }
  f.setPointSizeF(font.points);
  f.setBold(font.bold);
  return f;
}

void SetUpPrinter(QPrinter* printer, const page::PageSpec& spec) {
  const double m = spec.marginMm;
  printer->setPageLayout(QPageLayout(QPageSize(QPageSize::A4),
                                     spec.orientation == page::Orientation::Portrait
                                         ? QPageLayout::Portrait
                                         : QPageLayout::Landscape,
                                     QMarginsF(m, m, m, m), QPageLayout::Millimeter));
  printer->setFullPage(true);
  printer->setDocName(QString::fromUtf8(spec.jobName));
}

}  // namespace dt::ui
