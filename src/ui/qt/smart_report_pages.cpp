#include "ui/qt/smart_report_pages.h"

#include <QDateTime>
#include <QFontMetricsF>
#include <QLocale>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QTextLayout>
#include <QTextOption>
#include <algorithm>
#include <memory>

#include "ata/smart_report_form.h"
#include "ui/qt/page_painter.h"

namespace dt::ui {

TSmartReportPage::TSmartReportPage(const page::PageSpec& spec,
                                   const std::vector<std::string>* lines, QObject* parent)
    : QObject(parent),
      Caption(QString::fromUtf8(spec.caption)),
      spec_(spec),
      lines_(lines),
      printer_(QPrinter::HighResolution) {
  setObjectName(spec.name);
  const page::LabelSpec& title = *spec.Find("QRLabel1");
  QRLabel1.Caption = title.caption;
  QRLabel1.LeftMm = title.leftMm;
  QRLabel1.TopMm = title.topMm;
  SetUpPrinter(&printer_, spec);
}

TSmartReportPage::~TSmartReportPage() = default;

QFont TSmartReportPage::DetailFont() const {
  return PageFont(spec_.detail);
}

bool TSmartReportPage::PrinterSetup(QWidget* parent) {
  QPrintDialog dialog(&printer_, parent);
  return dialog.exec() == QDialog::Accepted;
}

void TSmartReportPage::Preview(QWidget* parent) {
  QPrintPreviewDialog dialog(&printer_, parent);
  dialog.setWindowTitle(Caption);
  connect(&dialog, &QPrintPreviewDialog::paintRequested, this,
          [this](QPrinter* p) { PaintPages(p); });
  dialog.resize(page::kPreviewWidth, page::kPreviewHeight);
  dialog.exec();
}

bool TSmartReportPage::Print(QWidget* parent) {
  const bool noPrinter = printer_.outputFormat() == QPrinter::PdfFormat
                             ? printer_.outputFileName().isEmpty()
                             : !printer_.isValid();
  if (noPrinter && !PrinterSetup(parent)) return false;
  return PaintPages(&printer_) > 0;
}

double TSmartReportPage::DrawHeader(QPainter* p, double dotsPerMm, const QString& now, int number) {
  double height = 0;
  for (const page::LabelSpec& l : spec_.labels) {
    if (l.band != page::Band::PageHeader) continue;
    const QFont font = PageFont(l.font);
    p->setFont(font);
    const QFontMetricsF m(font, p->device());
    // The header's one caption is the drive title, QRLabel1.
    QString text = QString::fromStdString(QRLabel1.Caption);
    if (l.shows == page::Shows::PrintTime)
      text = now;
    else if (l.shows == page::Shows::PageNumber)
      text = QString::fromUtf8(l.caption) + QString::number(number);
    p->drawText(QPointF(l.leftMm * dotsPerMm, l.topMm * dotsPerMm + m.ascent()), text);
    height = std::max(height, m.lineSpacing() * spec_.headerLines);
  }
  return height;
}

int TSmartReportPage::PaintPages(QPrinter* printer) {
  printer->setFullPage(true);
  QPainter p;
  if (!p.begin(printer)) return 0;
  p.setRenderHint(QPainter::TextAntialiasing, true);
  p.setPen(Qt::black);

  const double dotsPerMm = printer->resolution() / 25.4;
  const QRectF paper = printer->pageLayout().fullRectPixels(printer->resolution());
  const double margin = spec_.marginMm * dotsPerMm;
  const double width = paper.width() - 2 * margin;
  const double bottom = paper.height() - margin;
  // One time for every page of the job.
  const QString now = QLocale().toString(QDateTime::currentDateTime(), QLocale::ShortFormat);
  const double top = margin + DrawHeader(&p, dotsPerMm, now, 1);

  // Every record word-wrapped to the width inside the margins.
  const QFont font = DetailFont();
  QTextOption option(Qt::AlignLeft);
  option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  std::vector<std::unique_ptr<QTextLayout>> texts;
  std::vector<double> heights;
  for (const std::string& record : *lines_) {
    auto text = std::make_unique<QTextLayout>(QString::fromStdString(record), font, printer);
    text->setTextOption(option);
    double height = 0;
    text->beginLayout();
    for (QTextLine line = text->createLine(); line.isValid(); line = text->createLine()) {
      line.setLineWidth(width);
      line.setPosition(QPointF(0, height));
      height += line.height();
    }
    text->endLayout();
    heights.push_back(height);
    texts.push_back(std::move(text));
  }

  const std::vector<page::Placed> placed =
      page::PlaceRecords(heights, QFontMetricsF(font, printer).lineSpacing(), top, bottom);
  int shown = 0;
  for (std::size_t i = 0; i < placed.size(); ++i) {
    if (placed[i].page != shown) {
      printer->newPage();
      shown = placed[i].page;
      DrawHeader(&p, dotsPerMm, now, shown + 1);
    }
    texts[i]->draw(&p, QPointF(margin, placed[i].top));
  }
  p.end();
  return page::PageCount(placed);
}

TSmartRep::TSmartRep(const std::vector<std::string>* lines, QObject* parent)
    : TSmartReportPage(SmartReportPage(), lines, parent) {}

TSMARTrepLandscape::TSMARTrepLandscape(const std::vector<std::string>* lines, QObject* parent)
    : TSmartReportPage(SmartReportLandscapePage(), lines, parent) {}

}  // namespace dt::ui
