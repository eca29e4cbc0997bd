#include "surface/ui/surface_window.h"

#include <QCoreApplication>
#include <QFontInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QThread>
#include <algorithm>

#include "app/widgets.h"
#include "device/device.h"
#include "device/notify.h"
#include "speedtest/speed_test.h"
#include "speedtest/ui/errors_window.h"
#include "speedtest/ui/main_window.h"

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

void TSurfaceImage::paintEvent(QPaintEvent* e) {
  QPainter p(this);
  p.fillRect(e->rect(), Qt::white);
  p.drawImage(e->rect().topLeft(), picture_, e->rect());
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
    : QDialog(parent), errors_(std::make_unique<ErrorsAdapter>(errors)) {
  setObjectName("SurfaceTest");
  setWindowTitle("Surface test");
  // A fixed border with only the close button.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
  QFont f;
  f.setFamilies({"MS Sans Serif", "Microsoft Sans Serif", "Liberation Sans", "Arial"});
  f.setPointSize(8);
  if (!QFontInfo(f).family().contains("Sans Serif")) f.setStretch(90);
  setFont(f);

  // The mode buttons, in one group.
  Panel1 = Place(new QFrame(this), "Panel1", 0, 0, 89, 70);
  Panel1->setFrameShape(QFrame::Panel);
  Panel1->setFrameShadow(QFrame::Raised);
  auto radio = [this](const char* name, const char* hint, int i) {
    auto* r = Place(new QRadioButton(Panel1), name, 4, 3 + 16 * i, 83, 16);
    r->setToolTip(hint);
    return r;
  };
  ReadTestButton = radio("ReadTestButton", "Read only test", 0);
  WriteTestButton = radio("WriteTestButton", "Write only test", 1);
  ReadAndWriteButton = radio("ReadAndWriteButton", "Read and write data test", 2);
  WriteAndReadButton = radio("WriteAndReadButton", "Write to disk test data and verify", 3);

  StartButton = Place(new QPushButton(this), "StartButton", 93, 4, 90, 33);
  QFont bold = StartButton->font();
  bold.setBold(true);
  bold.setPixelSize(16);
  StartButton->setFont(bold);
  StartButton->setAutoDefault(false);
  WriteToFile = Place(new QCheckBox(this), "WriteToFile", 93, 41, 92, 16);
  WriteToFile->setToolTip("Write read data to file rd.dat");
  Button1 = Place(new QPushButton(this), "Button1", 93, 60, 90, 21);
  Button1->setAutoDefault(false);

  LogErrors = Place(new QCheckBox(this), "LogErrors", 192, 3, 100, 16);
  FirstNErrors = Place(new QCheckBox(this), "FirstNErrors", 192, 21, 62, 17);
  ErrorsNumber = Place(new QLineEdit(this), "ErrorsNumber", 254, 20, 44, 18);
  Label11 = AutoLabel(this, "Label11", "errors", 302, 22);
  Label1 = AutoLabel(this, "Label1", "Test retry count", 192, 44);
  TestRetry = Place(new QLineEdit(this), "TestRetry", Label1->geometry().right() + 5, 42, 36, 18);
  CurTestCycle = AutoLabel(this, "CurTestCycle", "", TestRetry->geometry().right() + 5, 44);
  CurrenElementInfo = AutoLabel(this, "CurrenElementInfo", "", 192, 69);

  Label5 = AutoLabel(this, "Label5", "Disk", 345, 3);
  TestedDiskName = AutoLabel(this, "TestedDiskName", "", 0, 3);
  Label10 = AutoLabel(this, "Label10", "Model", 345, 16);
  DiskModel = AutoLabel(this, "DiskModel", "", 0, 16);
  Label9 = AutoLabel(this, "Label9", "Disk size", 345, 29);
  DiskSize = AutoLabel(this, "DiskSize", "", 0, 29);
  Label3 = AutoLabel(this, "Label3", "Blocks per element", 345, 42);
  BlocksPerElement = AutoLabel(this, "BlocksPerElement", "", 0, 42);
  Label2 = AutoLabel(this, "Label2", "Time", 345, 55);
  WorkTime = AutoLabel(this, "WorkTime", "", 0, 55);
  PlaceValue(Label5, TestedDiskName);
  PlaceValue(Label10, DiskModel);
  PlaceValue(Label9, DiskSize);
  PlaceValue(Label3, BlocksPerElement);
  PlaceValue(Label2, WorkTime);

  Label4 = AutoLabel(this, "Label4", "Bad blocks", 522, 3);
  Label6 = AutoLabel(this, "Label6", "read", 522, 16);
  BadBlocksRead = AutoLabel(this, "BadBlocksRead", "", 566, 16);
  Label7 = AutoLabel(this, "Label7", "write", 522, 29);
  BadBlocksWrite = AutoLabel(this, "BadBlocksWrite", "", 566, 29);
  Label8 = AutoLabel(this, "Label8", "compare", 522, 42);
  BadBlocksCompare = AutoLabel(this, "BadBlocksCompare", "", 566, 42);

  RxClock1 = Place(new ClockLabel(this), "RxClock1", 580, 2, 57, 17);

  Image1 = Place(new TSurfaceImage(this), "Image1", surface::kImageLeft, surface::kImageTop, 0, 0);
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
  connect(ErrorsNumber, &QLineEdit::textChanged, this, [this] { ErrorsNumberChange(); });
  connect(TestRetry, &QLineEdit::textChanged, this, [this] { TestRetryChange(); });

  // FormCreate: the logic starts the worker.
  surface::SurfaceView* view = this;
  logic_ = std::make_unique<surface::SurfaceTestLogic>(mainThread, *errors_, view);
  ControlsChanged();
  StatusChanged();
  MapChanged();
  resize(622, 427);
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

void TSurfaceTest::PlaceValue(QLabel* caption, QLabel* value) {
  value->move(caption->geometry().right() + 6, caption->y());
}

void TSurfaceTest::SetLabel(QLabel* label, const surface::Control& c) {
  label->setEnabled(c.enabled);
  const QString text = Q(c.text);
  if (label->text() != text) {
    label->setText(text);
    label->adjustSize();
  }
}

void TSurfaceTest::SetEdit(QLineEdit* edit, const surface::Control& c) {
  edit->setEnabled(c.enabled);
  const QString text = Q(c.text);
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
  const surface::SurfaceControls& c = logic_->Controls();
  const bool was = syncing_;
  syncing_ = true;
  auto button = [](QAbstractButton* b, const surface::Control& k) {
    b->setText(Q(k.text));
    b->setEnabled(k.enabled);
    if (b->isCheckable()) b->setChecked(k.checked);
  };
  button(ReadTestButton, c.ReadTestButton);
  button(WriteTestButton, c.WriteTestButton);
  button(ReadAndWriteButton, c.ReadAndWriteButton);
  button(WriteAndReadButton, c.WriteAndReadButton);
  button(StartButton, c.StartButton);
  button(WriteToFile, c.WriteToFile);
  button(LogErrors, c.LogErrors);
  button(Button1, c.Button1);
  button(FirstNErrors, c.FirstNErrors);
  SetEdit(ErrorsNumber, c.ErrorsNumber);
  SetEdit(TestRetry, c.TestRetry);
  SetLabel(Label11, c.Label11);
  SetLabel(TestedDiskName, c.TestedDiskName);
  SetLabel(DiskSize, c.DiskSize);
  SetLabel(DiskModel, c.DiskModel);
  SetLabel(BlocksPerElement, c.BlocksPerElement);
  syncing_ = was;
  StatusChanged();
}

void TSurfaceTest::StatusChanged() {
  const surface::SurfaceControls& c = logic_->Controls();
  SetLabel(BadBlocksRead, c.BadBlocksRead);
  SetLabel(BadBlocksWrite, c.BadBlocksWrite);
  SetLabel(BadBlocksCompare, c.BadBlocksCompare);
  SetLabel(WorkTime, c.WorkTime);
  SetLabel(CurTestCycle, c.CurTestCycle);
  SetLabel(CurrenElementInfo, c.CurrenElementInfo);
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
  FirstNErrors->resize(FirstNErrors->width(), 15);
  // The maximised client area less 3 pixels each way becomes the outer
  // size; the map layout then fits the client area around the map.
  const QSize maxClient = MaximisedClientSize();
  const int clientWidth = maxClient.width() - 3 - frame_.left() - frame_.right();
  const int clientHeight = maxClient.height() - 3 - frame_.top() - frame_.bottom();
  const surface::MapLayout l = logic_->FormShow(clientWidth, clientHeight);
  const QSize size(l.ClientWidth, l.ClientHeight);
  if (minimumSize() != size || maximumSize() != size) setFixedSize(size);
  Image1->setGeometry(surface::kImageLeft, surface::kImageTop, l.ImageWidth, l.ImageHeight);
  RxClock1->move(std::max(l.ClientWidth - RxClock1->width() - 2, 580), RxClock1->y());
  move(1, 1);
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

// ---------------------------------------------------------------------------
// TForm1.Button11Click

void SurfaceTestClicked(const Forms& forms) {
  TForm1& main = *forms.Form1;
  // The read-speed run holds the disk handle that the hand-over would open.
  if (main.Speed().Busy()) {
    Notify().ShowMessage("Surface test", SpeedTest::BusyText());
    return;
  }
  TSurfaceTest& window = *forms.SurfaceTest;
  surface::SurfaceHandOver(
      main.Settings().drive, window.Logic(), [&window] { window.ShowModal(); }, PumpEvents);
}

}  // namespace dt::ui
