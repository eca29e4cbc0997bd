#include "ui/qt/surface_window.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QThread>
#include <algorithm>

#include "base/notify.h"
#include "device/device.h"
#include "speedtest/read_speed_run.h"
#include "surface/surface_window_form.h"
#include "ui/qt/errors_window.h"
#include "ui/qt/main_window.h"
#include "ui/qt/widgets.h"

namespace dt::ui {

namespace {

// Serves the worker's steps while the GUI thread waits for it.
void PumpEvents() {
  QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  QThread::msleep(1);
}

}  // namespace

// ---------------------------------------------------------------------------
// Image1

TSurfaceImage::TSurfaceImage(QWidget* parent) : QWidget(parent) {
  setMouseTracking(true);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void TSurfaceImage::TakeAll(const surface::MapImage& map) {
  picture_ = QImage(std::max(map.Width(), 1), std::max(map.Height(), 1), QImage::Format_RGB32);
  picture_.fill(Qt::white);
  TakeRect(map, QRect(0, 0, map.Width(), map.Height()));
  resize(map.Width(), map.Height());
  update();
}

void TSurfaceImage::TakeRect(const surface::MapImage& map, const QRect& r) {
  const QRect area = r.intersected(QRect(0, 0, map.Width(), map.Height()))
                         .intersected(QRect(QPoint(0, 0), picture_.size()));
  if (area.isEmpty()) return;
  for (int y = area.top(); y <= area.bottom(); ++y) {
    const std::uint8_t* src = map.Bits() + static_cast<std::size_t>(y) * map.BytesPerLine() +
                              static_cast<std::size_t>(area.left()) * 3;
    auto* dst = reinterpret_cast<QRgb*>(picture_.scanLine(y)) + area.left();
    for (int x = 0; x < area.width(); ++x, src += 3) dst[x] = qRgb(src[0], src[1], src[2]);
  }
  update(area);
}

void TSurfaceImage::SetLegend(std::vector<surface::LegendEntry> legend) {
  if (legend == legend_) return;
  legend_ = std::move(legend);
  update();
}

void TSurfaceImage::paintEvent(QPaintEvent* e) {
  QPainter p(this);
  p.fillRect(e->rect(), Qt::white);
  p.drawImage(e->rect().topLeft(), picture_, e->rect());
  if (legend_.empty()) return;
  // A swatch and its text a line, in a framed white box at the top right.
  const QFontMetrics fm = p.fontMetrics();
  const int line = fm.height() + 2;
  int textWidth = 0;
  for (const surface::LegendEntry& l : legend_)
    textWidth = std::max(textWidth, fm.horizontalAdvance(Q(l.text)));
  const int w = 8 + 12 + 6 + textWidth + 8;
  const int h = 6 + line * static_cast<int>(legend_.size()) + 4;
  const QRect box(width() - w - 4, 4, w, h);
  p.fillRect(box, Qt::white);
  p.setPen(Qt::black);
  p.drawRect(box.adjusted(0, 0, -1, -1));
  int y = box.top() + 6;
  for (const surface::LegendEntry& l : legend_) {
    const QRect swatch(box.left() + 8, y + (line - 12) / 2, 12, 12);
    p.fillRect(swatch, QColor(l.colour.r, l.colour.g, l.colour.b));
    p.drawRect(swatch.adjusted(0, 0, -1, -1));
    p.drawText(QRect(swatch.right() + 7, y, textWidth + 2, line), Qt::AlignVCenter | Qt::AlignLeft,
               Q(l.text));
    y += line;
  }
}

void TSurfaceImage::mouseMoveEvent(QMouseEvent* e) {
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
  const QPoint at = e->position().toPoint();
#else
  const QPoint at = e->pos();
#endif
  if (OnMouseMove) OnMouseMove(at.x(), at.y());
  QWidget::mouseMoveEvent(e);
}

// ---------------------------------------------------------------------------
// The window

TSurfaceTest::TSurfaceTest(MainThread& mainThread, TErrListFrm* errors, QWidget* parent)
    : QDialog(parent), errors_(errors) {
  built_ = std::make_unique<BuiltForm>(
      this, SurfaceTestForm(), [](const form::ControlSpec& c, QWidget* p) -> QWidget* {
        if (c.kind == form::Kind::Clock) return new ClockLabel(p);
        if (c.kind == form::Kind::Image) return new TSurfaceImage(p);
        return nullptr;
      });
  view_ = std::make_unique<QtView>(this, *built_);
  image_ = built_->Get<TSurfaceImage>("Image1");
  image_->OnMouseMove = [this](int x, int y) { window_->MapMouseMove(x, y); };
  app::SurfaceWindowHost& host = *this;
  window_ = std::make_unique<app::SurfaceWindow>(*view_, host, mainThread, errors_);
}

TSurfaceTest::~TSurfaceTest() {
  window_.reset();
}

int TSurfaceTest::ShowModal() {
  setWindowModality(parentWidget() ? Qt::WindowModal : Qt::ApplicationModal);
  return exec();
}

void TSurfaceTest::ShowMap(const surface::MapImage& map) {
  image_->TakeAll(map);
}

void TSurfaceTest::ShowCell(const surface::MapImage& map, int left, int top, int width,
                            int height) {
  image_->TakeRect(map, QRect(left, top, width, height));
}

void TSurfaceTest::ShowLegend(const std::vector<surface::LegendEntry>& legend) {
  image_->SetLegend(legend);
}

void TSurfaceTest::ScreenArea(app::Size* maxClient, app::Size* frame) {
  // The frame is known once the window has been on the screen; until then
  // the last one seen is used (none before the first showing).
  if (isVisible()) {
    const QRect outer = frameGeometry();
    const QRect inner = geometry();
    if (outer.width() >= inner.width() && outer.height() >= inner.height())
      frame_ = QMargins(inner.left() - outer.left(), inner.top() - outer.top(),
                        outer.right() - inner.right(), outer.bottom() - inner.bottom());
  }
  QScreen* s = screen();
  if (!s) s = QGuiApplication::primaryScreen();
  const QRect avail = s ? s->availableGeometry() : QRect(0, 0, 800, 600);
  *frame = {frame_.left() + frame_.right(), frame_.top() + frame_.bottom()};
  *maxClient = {avail.width() - frame->width, avail.height() - frame->height};
}

void TSurfaceTest::PlaceWindow(const form::Rect& place) {
  const QSize size(place.width, place.height);
  if (minimumSize() != size || maximumSize() != size) setFixedSize(size);
  move(place.x, place.y);
}

void TSurfaceTest::showEvent(QShowEvent* e) {
  if (!e->spontaneous()) window_->FormShow();
  QDialog::showEvent(e);
}

void TSurfaceTest::hideEvent(QHideEvent* e) {
  QDialog::hideEvent(e);
  if (!e->spontaneous()) window_->FormHide();
}

void TSurfaceTest::keyPressEvent(QKeyEvent* e) {
  // Escape does not close the window; only its close button does.
  if (e->key() == Qt::Key_Escape) {
    e->accept();
    return;
  }
  QDialog::keyPressEvent(e);
}

void ShowSurfaceWindow(const Forms& forms, const DriveRef& drive) {
  TSurfaceTest& window = *forms.SurfaceTest;
  surface::SurfaceHandOver(drive, window.Logic(), [&window] { window.ShowModal(); }, PumpEvents);
}

}  // namespace dt::ui
