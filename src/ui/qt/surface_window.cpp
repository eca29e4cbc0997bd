#include "ui/qt/surface_window.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QThread>
#include <algorithm>

#include "device/device.h"
#include "device/notify.h"
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
// The errors window as the surface test uses it.

class TSurfaceTest::ErrorsAdapter : public surface::ErrorLog {
 public:
  explicit ErrorsAdapter(TErrListFrm* f) : f_(f) {}
  void Clear() override {
    if (f_) f_->Clear();
  }
  void Append(const std::string& line) override {
    if (f_) f_->AppendLine(line);
  }
  void Show() override {
    if (f_) f_->ShowModeless();
  }

 private:
  TErrListFrm* f_;
};

// ---------------------------------------------------------------------------
// The window

TSurfaceTest::TSurfaceTest(MainThread& mainThread, TErrListFrm* errors, QWidget* parent)
    : QDialog(parent), errors_(std::make_unique<ErrorsAdapter>(errors)), state_(SurfaceTestForm()) {
  built_ = std::make_unique<BuiltForm>(
      this, SurfaceTestForm(), [](const form::ControlSpec& c, QWidget* p) -> QWidget* {
        if (c.kind == form::Kind::Clock) return new ClockLabel(p);
        if (c.kind == form::Kind::Image) return new TSurfaceImage(p);
        return nullptr;
      });
  const BuiltForm& b = *built_;
  Panel1 = b.Get<QFrame>("Panel1");
  ReadTestButton = b.Get<QRadioButton>("ReadTestButton");
  WriteTestButton = b.Get<QRadioButton>("WriteTestButton");
  ReadAndWriteButton = b.Get<QRadioButton>("ReadAndWriteButton");
  WriteAndReadButton = b.Get<QRadioButton>("WriteAndReadButton");
  StartButton = b.Get<QPushButton>("StartButton");
  WriteToFile = b.Get<QCheckBox>("WriteToFile");
  LogErrors = b.Get<QCheckBox>("LogErrors");
  Button1 = b.Get<QPushButton>("Button1");
  FirstNErrors = b.Get<QCheckBox>("FirstNErrors");
  ErrorsNumber = b.Get<QLineEdit>("ErrorsNumber");
  Label11 = b.Get<QLabel>("Label11");
  Label1 = b.Get<QLabel>("Label1");
  TestRetry = b.Get<QLineEdit>("TestRetry");
  CurTestCycle = b.Get<QLabel>("CurTestCycle");
  Label5 = b.Get<QLabel>("Label5");
  TestedDiskName = b.Get<QLabel>("TestedDiskName");
  Label9 = b.Get<QLabel>("Label9");
  DiskSize = b.Get<QLabel>("DiskSize");
  Label10 = b.Get<QLabel>("Label10");
  DiskModel = b.Get<QLabel>("DiskModel");
  Label3 = b.Get<QLabel>("Label3");
  BlocksPerElement = b.Get<QLabel>("BlocksPerElement");
  Label2 = b.Get<QLabel>("Label2");
  WorkTime = b.Get<QLabel>("WorkTime");
  Label4 = b.Get<QLabel>("Label4");
  Label6 = b.Get<QLabel>("Label6");
  BadBlocksRead = b.Get<QLabel>("BadBlocksRead");
  Label7 = b.Get<QLabel>("Label7");
  BadBlocksWrite = b.Get<QLabel>("BadBlocksWrite");
  Label8 = b.Get<QLabel>("Label8");
  BadBlocksCompare = b.Get<QLabel>("BadBlocksCompare");
  CurrenElementInfo = b.Get<QLabel>("CurrenElementInfo");
  GradeAccessTime = b.Get<QCheckBox>("GradeAccessTime");
  RxClock1 = b.Get<ClockLabel>("RxClock1");
  Image1 = b.Get<TSurfaceImage>("Image1");
  Image1->OnMouseMove = [this](int x, int y) { Image1MouseMove(x, y); };

  connect(ReadTestButton, &QRadioButton::clicked, this, [this] { logic_->ReadTestButtonClick(); });
  connect(WriteTestButton, &QRadioButton::clicked, this,
          [this] { logic_->WriteTestButtonClick(); });
  connect(ReadAndWriteButton, &QRadioButton::clicked, this,
          [this] { logic_->ReadAndWriteButtonClick(); });
  connect(WriteAndReadButton, &QRadioButton::clicked, this,
          [this] { logic_->WriteAndReadButtonClick(); });
  connect(StartButton, &QPushButton::clicked, this, [this] { StartButtonClick(); });
  connect(WriteToFile, &QCheckBox::clicked, this,
          [this](bool on) { logic_->WriteToFileClick(on); });
  connect(LogErrors, &QCheckBox::clicked, this, [this](bool on) { logic_->LogErrorsClick(on); });
  connect(FirstNErrors, &QCheckBox::clicked, this,
          [this](bool on) { logic_->FirstNErrorsClick(on); });
  connect(Button1, &QPushButton::clicked, this, [this] { logic_->Button1Click(); });
  connect(GradeAccessTime, &QCheckBox::clicked, this,
          [this](bool on) { logic_->GradeAccessTimeClick(on); });
  connect(ErrorsNumber, &QLineEdit::textChanged, this, [this] { ErrorsNumberChange(); });
  connect(TestRetry, &QLineEdit::textChanged, this, [this] { TestRetryChange(); });

  // FormCreate: the logic starts the worker.
  surface::SurfaceView* view = this;
  logic_ = std::make_unique<surface::SurfaceTestLogic>(mainThread, *errors_, view);
  ControlsChanged();
  MapChanged();
}

TSurfaceTest::~TSurfaceTest() {
  // A run still under way hands its last steps to this window: stop it and
  // serve them, up to its end-of-run step, before the worker is ended (the
  // worker leaves its busy state before it hands that step over).
  logic_->FormHide();
  while (logic_->Busy() || logic_->Running()) PumpEvents();
  logic_->SetView(nullptr);
  logic_.reset();
}

int TSurfaceTest::ShowModal() {
  setWindowModality(parentWidget() ? Qt::WindowModal : Qt::ApplicationModal);
  return exec();
}

void TSurfaceTest::SetEdit(QLineEdit* edit, const std::string& utf8) {
  const QString text = Q(utf8);
  if (edit->text() == text) return;
  // The edit loses the characters the logic removed; the caret stays after
  // the characters that were before it.
  const QString old = edit->text();
  int caret = 0;
  for (int i = 0; i < edit->cursorPosition() && i < old.size(); ++i)
    if (old[i].isDigit()) ++caret;
  edit->setText(text);
  edit->setCursorPosition(std::min<int>(caret, static_cast<int>(text.size())));
}

void TSurfaceTest::ControlsChanged() {
  surface_window::ShowControls(logic_->Controls(), state_);
  const bool was = syncing_;
  syncing_ = true;
  SetEdit(ErrorsNumber, state_["ErrorsNumber"].text);
  SetEdit(TestRetry, state_["TestRetry"].text);
  built_->Apply(state_);
  syncing_ = was;
  Image1->SetLegend(logic_->Legend());
}

void TSurfaceTest::StatusChanged() {
  // Only what the logic changed reaches the widgets.
  ControlsChanged();
}

void TSurfaceTest::MapChanged() {
  Image1->TakeAll(logic_->Map().Image());
}

void TSurfaceTest::CellChanged(int left, int top, int width, int height) {
  Image1->TakeRect(logic_->Map().Image(), QRect(left, top, width, height));
}

QSize TSurfaceTest::MaximisedClientSize() {
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
  return QSize(avail.width() - frame_.left() - frame_.right(),
               avail.height() - frame_.top() - frame_.bottom());
}

void TSurfaceTest::FormShow() {
  const QSize maxClient = MaximisedClientSize();
  int clientWidth = 0, clientHeight = 0;
  surface_window::LayoutArea(maxClient.width(), maxClient.height(), frame_.left() + frame_.right(),
                             frame_.top() + frame_.bottom(), &clientWidth, &clientHeight);
  const surface::MapLayout l = logic_->FormShow(clientWidth, clientHeight);
  const form::Rect place = surface_window::FormShow(state_, l);
  const QSize size(place.width, place.height);
  if (minimumSize() != size || maximumSize() != size) setFixedSize(size);
  built_->Apply(state_);
  move(place.x, place.y);
}

void TSurfaceTest::FormHide() {
  logic_->FormHide();
}

void TSurfaceTest::showEvent(QShowEvent* e) {
  if (!e->spontaneous()) FormShow();
  QDialog::showEvent(e);
}

void TSurfaceTest::hideEvent(QHideEvent* e) {
  QDialog::hideEvent(e);
  if (!e->spontaneous()) FormHide();
}

void TSurfaceTest::keyPressEvent(QKeyEvent* e) {
  // Escape does not close the window; only its close button does.
  if (e->key() == Qt::Key_Escape) {
    e->accept();
    return;
  }
  QDialog::keyPressEvent(e);
}

void TSurfaceTest::StartButtonClick() {
  logic_->StartButtonClick();
}

void TSurfaceTest::ErrorsNumberChange() {
  if (syncing_) return;
  logic_->ErrorsNumberChange(ErrorsNumber->text().toStdString());
}

void TSurfaceTest::TestRetryChange() {
  if (syncing_) return;
  logic_->TestRetryChange(TestRetry->text().toStdString());
}

void TSurfaceTest::Image1MouseMove(int x, int y) {
  logic_->Image1MouseMove(x, y);
}

void ShowSurfaceWindow(const Forms& forms, const DriveSelection& drive) {
  TSurfaceTest& window = *forms.SurfaceTest;
  surface::SurfaceHandOver(drive, window.Logic(), [&window] { window.ShowModal(); }, PumpEvents);
}

}  // namespace dt::ui
