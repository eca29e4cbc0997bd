// The surface test window on a simulated machine: the hand-over from the main
// window, the questions before a writing test, the numeric edits and option
// rules as the widgets show them, a run drawn live into the map, Stop, and
// closing the window while the worker is inside a run.
#include <QtTest>
#include <atomic>
#include <chrono>
#include <thread>

#include "device/device.h"
#include "gui_test_util.h"
#include "ui/qt/errors_window.h"
#include "ui/qt/main_window.h"
#include "ui/qt/range_dialog.h"
#include "ui/qt/surface_window.h"

using namespace dt;
using namespace dt::ui;
using namespace dt::ui::test;

namespace {

// Disk 0 answers IDENTIFY from a capture of a real drive; disk 1 has
// unreadable sectors; E is a CD.
std::string MachineJson() {
  return std::string(R"({"perf_frequency": 10000000, "disks": [
    {"size": 67108864, "capture": ")") +
         DT_TESTDATA_DIR + R"(/ata-captures/SAMSUNG_HD501LJ--CR100-12.cap"},
    {"size": 8388608, "speed": {"start_mbps": 4, "end_mbps": 4, "latency_ms": 0.1},
     "unreadable": [[2048, 2055], [9000, 9000]]}],
   "volumes": [
    {"name": "C", "label": "SYSTEM", "fs": "NTFS", "disk": 0, "offset": 0, "size": 67108864},
    {"name": "D", "label": "DATA", "fs": "FAT32", "disk": 1, "offset": 0, "size": 8388608},
    {"name": "E", "label": "DEMO_CD", "fs": "CDFS", "size": 2097152}]})";
}

QRgb RasterPixel(const surface::MapImage& m, int x, int y) {
  const surface::Rgb c = m.Pixel(x, y);
  return qRgb(c.r, c.g, c.b);
}

}  // namespace

class SurfaceWindowTest : public QObject {
  Q_OBJECT

 private:
  SimPlatform* sim_ = nullptr;
  std::unique_ptr<ScopedPlatform> platform_;
  std::unique_ptr<GuiApp> app_;
  TForm1* f_ = nullptr;
  TSurfaceTest* w_ = nullptr;

  surface::SurfaceTestLogic& Logic() { return w_->Logic(); }
  surface::SurfaceState& State() { return w_->Logic().State(); }

  // Selects a drive in the main window: a physical disk by number, or a
  // logical drive by its letter.
  void Select(bool physical, int index) {
    f_->Get<QCheckBox>("Physical")->setChecked(physical);
    (physical ? f_->Get<QComboBox>("ComboBox1") : f_->Get<QComboBox>("ComboBox2"))
        ->setCurrentIndex(index);
  }

  // Presses "Surface test" and runs `inside` in the modal window; returns
  // when the hand-over has closed the disk.
  void HandOver(const std::function<void()>& inside) {
    bool shown = false;
    ModalWatcher watcher([&](QWidget* w) {
      if (w != w_) return;
      shown = true;
      inside();
      if (w_->isVisible()) w_->close();
    });
    QTest::mouseClick(f_->Get<QPushButton>("Button11"), Qt::LeftButton);
    QVERIFY(shown);
  }

  // Shows the window for `path`, opened here for writing, without the main
  // window's modal loop.
  void ShowFor(const std::string& path, std::int64_t blocks) {
    surface::TestedDisk disk;
    QVERIFY(surface::OpenTestedPath(path, &disk, true));
    disk.model = "Model";
    disk.blocks = blocks;
    disk.bytes = -1;
    Logic().SetTestedDisk(std::move(disk));
    w_->show();
    QVERIFY(QTest::qWaitForWindowExposed(w_));
  }

  // Moves the mouse over the map image (through the window, so that the
  // widget gets a move event and not only a new cursor position).
  void MouseOverMap(int x, int y) {
    QTest::mouseMove(w_->windowHandle(), w_->Get<TSurfaceImage>("Image1")->mapTo(w_, QPoint(x, y)));
  }

  void WaitForRunEnd() {
    QTRY_COMPARE_WITH_TIMEOUT(w_->Get<QPushButton>("StartButton")->text(), QString("Start"), 30000);
    QTRY_VERIFY(!Logic().Busy());
  }

  QList<QWidget*> RunDisabled() const {
    return {w_->Get<QRadioButton>("ReadTestButton"),
            w_->Get<QRadioButton>("WriteTestButton"),
            w_->Get<QRadioButton>("ReadAndWriteButton"),
            w_->Get<QRadioButton>("WriteAndReadButton"),
            w_->Get<QCheckBox>("WriteToFile"),
            w_->Get<QCheckBox>("LogErrors"),
            w_->Get<QPushButton>("Button1"),
            w_->Get<QCheckBox>("FirstNErrors"),
            w_->Get<QLineEdit>("ErrorsNumber"),
            w_->Get<QLineEdit>("TestRetry"),
            w_->Get<QLabel>("Label11")};
  }

 private slots:
  void init() {
    auto m = Machine(MachineJson());
    sim_ = m.get();
    platform_ = std::make_unique<ScopedPlatform>(std::move(m));
    app_ = std::make_unique<GuiApp>();
    f_ = app_->forms().Form1;
    w_ = app_->forms().SurfaceTest;
    QVERIFY(w_);
    app_->Show();
    QVERIFY(QTest::qWaitForWindowExposed(f_));
  }

  void cleanup() {
    if (app_ && w_->isVisible()) w_->hide();
    app_.reset();
    platform_.reset();
    sim_ = nullptr;
  }

  void controlsOfANewWindow() {
    QCOMPARE(w_->windowTitle(), QString("Surface test"));
    QVERIFY(!w_->isVisible());
    QVERIFY(w_->Get<QRadioButton>("ReadTestButton")->isChecked());
    QCOMPARE(w_->Get<QRadioButton>("ReadAndWriteButton")->text(), QString("Read&&Write"));
    QCOMPARE(w_->Get<QRadioButton>("ReadAndWriteButton")->toolTip(),
             QString("Read and write data test"));
    QVERIFY(!w_->Get<QRadioButton>("WriteAndReadButton")->isEnabled());
    QCOMPARE(w_->Get<QCheckBox>("WriteToFile")->toolTip(),
             QString("Write read data to file rd.dat"));
    QVERIFY(!w_->Get<QCheckBox>("WriteToFile")->isChecked());
    QVERIFY(w_->Get<QCheckBox>("LogErrors")->isChecked() &&
            w_->Get<QCheckBox>("FirstNErrors")->isChecked());
    QCOMPARE(w_->Get<QLineEdit>("ErrorsNumber")->text(), QString("5000"));
    QCOMPARE(w_->Get<QLineEdit>("TestRetry")->text(), QString("1"));
    QCOMPARE(w_->Get<QLabel>("CurTestCycle")->text(), QString("(1)"));
    QCOMPARE(w_->Get<QLabel>("TestedDiskName")->text(), QString("Unknown"));
    QCOMPARE(w_->Get<QLabel>("WorkTime")->text(), QString("00:00:00 (00:00:00) 00.0000%"));
    QCOMPARE(w_->Get<QLabel>("BadBlocksCompare")->text(), QString("0 (00.0000%)"));
    QCOMPARE(w_->Get<QPushButton>("StartButton")->font().pixelSize(), 16);
    QVERIFY(w_->Get<QPushButton>("StartButton")->font().bold());
    // The radio buttons sit in one group, read first.
    for (QRadioButton* r :
         {w_->Get<QRadioButton>("WriteTestButton"), w_->Get<QRadioButton>("ReadAndWriteButton"),
          w_->Get<QRadioButton>("WriteAndReadButton")})
      QVERIFY(r->parentWidget() == w_->Get<QFrame>("Panel1") &&
              r->y() > w_->Get<QRadioButton>("ReadTestButton")->y());
  }

  void handOverOfAPhysicalDiskShowsTheCapturedModel() {
    Select(true, 0);
    HandOver([this] {
      QCOMPARE(w_->Get<QLabel>("TestedDiskName")->text(), QString("\\\\.\\PHYSICALDRIVE0"));
      QCOMPARE(w_->Get<QLabel>("DiskModel")->text().trimmed(), QString("SAMSUNG HD501LJ"));
      QVERIFY(w_->Get<QRadioButton>("WriteTestButton")->isEnabled() &&
              w_->Get<QRadioButton>("ReadAndWriteButton")->isEnabled());
      QVERIFY(DiskLease::Taken());
      // Every sector of the 64 MiB disk, not only its 8 whole cylinders.
      QCOMPARE(State().DiskBlocks.load(), std::int64_t{131072});
      QCOMPARE(w_->Get<QLabel>("DiskSize")->text(), QString("64.00 Mb"));
      // The window fills the screen less 3 pixels, then shrinks around the map.
      const QRect avail = w_->screen()->availableGeometry();
      const QSize frame = w_->frameGeometry().size() - w_->size();
      const QSize client = avail.size() - 2 * frame - QSize(3, 3);
      QCOMPARE(w_->frameGeometry().topLeft(), QPoint(1, 1));
      QCOMPARE(w_->Get<TSurfaceImage>("Image1")->geometry(),
               QRect(0, 85, w_->width(), w_->height() - 88));
      QVERIFY(w_->width() <= client.width() - 3 && w_->width() + 11 > client.width() - 3);
      QVERIFY(w_->height() <= client.height() - 5 && w_->height() + 11 > client.height() - 5);
    });
    QVERIFY(!DiskLease::Taken());
    QCOMPARE(sim_->OpenHandleCount(), 0);
  }

  void handOverOfLogicalDrives() {
    Select(false, 0);
    HandOver([this] {
      QCOMPARE(w_->Get<QLabel>("TestedDiskName")->text(), QString("\\\\.\\C:"));
      QCOMPARE(w_->Get<QLabel>("DiskModel")->text(), QString("[SYSTEM] NTFS"));
      QCOMPARE(State().SectorsPerBlock.load(), 1);
    });
    Select(false, 2);
    HandOver([this] {
      QCOMPARE(w_->Get<QLabel>("DiskModel")->text(), QString("[DEMO_CD] CDFS"));
      QCOMPARE(State().SectorsPerBlock.load(), 4);
      QCOMPARE(State().DiskBlocks.load(), std::int64_t{1024});
    });
    QCOMPARE(sim_->OpenHandleCount(), 0);
  }

  void questionsPerModeAndDisk_data() {
    QTest::addColumn<bool>("physical");
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("mode");  // 0 read, 1 write, 3 read and write
    QTest::addColumn<QStringList>("questions");
    const QString rw = "Test can destroy data on disk. Continue?";
    const QString wr = "Test destroy all data on disk. Continue?";
    const QString sure = "Are you sure?";
    const QString sys = "This disk can be system. Are you really sure?";
    QTest::newRow("read") << true << 0 << 0 << QStringList{};
    QTest::newRow("write disk 0") << true << 0 << 1 << QStringList{wr, sure, sys};
    QTest::newRow("write disk 1") << true << 1 << 1 << QStringList{wr, sure};
    QTest::newRow("read&write C") << false << 0 << 3 << QStringList{rw, sure, sys};
    QTest::newRow("read&write D") << false << 1 << 3 << QStringList{rw, sure};
  }

  void questionsPerModeAndDisk() {
    QFETCH(bool, physical);
    QFETCH(int, index);
    QFETCH(int, mode);
    QFETCH(QStringList, questions);
    Select(physical, index);
    // Every question answered Yes starts the run; a No to any of them ends
    // the click with nothing changed.
    for (int noAt = -1; noAt < static_cast<int>(questions.size()); ++noAt) {
      QStringList seen;
      HandOver([&] {
        QAbstractButton* b[] = {w_->Get<QRadioButton>("ReadTestButton"),
                                w_->Get<QRadioButton>("WriteTestButton"), nullptr,
                                w_->Get<QRadioButton>("ReadAndWriteButton")};
        QTest::mouseClick(b[mode], Qt::LeftButton);
        QCOMPARE(static_cast<int>(State().TestMode.load()), mode);
        sim_->SetRequestHook([](int, std::int64_t, bool) {
          std::this_thread::sleep_for(std::chrono::milliseconds(1));
        });
        ModalWatcher answer([&](QWidget* box) {
          BoxRecord rec;
          const bool no = static_cast<int>(seen.size()) == noAt;
          AnswerBox(box, no ? QMessageBox::No : QMessageBox::Yes, &rec);
          QCOMPARE(rec.caption, QString("Warning"));
          seen << rec.text;
        });
        QTest::mouseClick(w_->Get<QPushButton>("StartButton"), Qt::LeftButton);
        const bool started = noAt < 0;
        QCOMPARE(w_->Get<QPushButton>("StartButton")->text(), QString(started ? "Stop" : "Start"));
        QCOMPARE(w_->Get<QRadioButton>("ReadTestButton")->isEnabled(), !started);
      });
      sim_->SetRequestHook(nullptr);
      QCOMPARE(seen, noAt < 0 ? questions : questions.mid(0, noAt + 1));
    }
  }

  void numericEditsAndOptionRules() {
    ShowFor("\\\\.\\PHYSICALDRIVE1", 100);
    QTest::keyClick(w_->Get<QLineEdit>("ErrorsNumber"), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(w_->Get<QLineEdit>("ErrorsNumber"), Qt::Key_Delete);
    QCOMPARE(State().ErrorsLimit.load(), 0);
    QTest::keyClicks(w_->Get<QLineEdit>("ErrorsNumber"), "12a3");
    QCOMPARE(w_->Get<QLineEdit>("ErrorsNumber")->text(), QString("123"));
    QCOMPARE(w_->Get<QLineEdit>("ErrorsNumber")->cursorPosition(), 3);
    QCOMPARE(State().ErrorsLimit.load(), 123);

    // A number beyond 32 bits: the conversion error, and the old value stays.
    BoxRecord rec;
    ModalWatcher ok([&](QWidget* box) { AnswerBox(box, QMessageBox::Ok, &rec); });
    w_->Get<QLineEdit>("TestRetry")->setText("7");
    QCOMPARE(State().ReadTarget.load(), std::int64_t{700});
    w_->Get<QLineEdit>("TestRetry")->setText("x99999999999");
    QCOMPARE(ok.Seen(), 1);
    QCOMPARE(rec.text, QString("'99999999999' is not a valid integer value"));
    QCOMPARE(w_->Get<QLineEdit>("TestRetry")->text(), QString("99999999999"));
    QCOMPARE(State().RetryCount.load(), 7);

    // Unticking "Errors log" greys "Log first ", its edit and "errors".
    QTest::mouseClick(w_->Get<QCheckBox>("LogErrors"), Qt::LeftButton);
    QVERIFY(!State().LogErrorsOn.load());
    QVERIFY(!w_->Get<QCheckBox>("FirstNErrors")->isEnabled() &&
            !w_->Get<QLineEdit>("ErrorsNumber")->isEnabled() &&
            !w_->Get<QLabel>("Label11")->isEnabled());
    QTest::mouseClick(w_->Get<QCheckBox>("LogErrors"), Qt::LeftButton);
    QTest::mouseClick(w_->Get<QCheckBox>("FirstNErrors"), Qt::LeftButton);
    QVERIFY(!State().FirstNOnly.load());
    QVERIFY(w_->Get<QCheckBox>("FirstNErrors")->isEnabled() &&
            !w_->Get<QLineEdit>("ErrorsNumber")->isEnabled() &&
            w_->Get<QLabel>("Label11")->isEnabled());

    // A disk open only for reading: the writing modes are disabled.
    surface::TestedDisk readOnly;
    readOnly.path = "\\\\.\\PHYSICALDRIVE1";
    readOnly.readOnly = true;
    readOnly.blocks = 100;
    Logic().SetTestedDisk(std::move(readOnly));
    QVERIFY(!w_->Get<QRadioButton>("WriteTestButton")->isEnabled() &&
            !w_->Get<QRadioButton>("ReadAndWriteButton")->isEnabled());
  }

  void aReadRunDrawsTheMapLiveAndLogsItsErrors() {
    ShowFor("\\\\.\\PHYSICALDRIVE1", 16384);
    const surface::MapImage& raster = Logic().Map().Image();
    const std::int64_t perCell = State().BlocksPerCell.load();
    const int columns = State().MapColumns;
    auto cellOf = [&](std::int64_t block) -> const surface::TMapCell& {
      const std::int64_t i = block / perCell;
      return State().Cell(static_cast<int>(i / columns), static_cast<int>(i % columns));
    };
    const surface::TMapCell& first = cellOf(0);
    const surface::TMapCell& bad = cellOf(2048);
    const surface::TMapCell& late = cellOf(12000);

    // The worker halts half-way until the map has been looked at.
    std::atomic<bool> halfway{false}, release{false};
    sim_->SetRequestHook([&](int, std::int64_t offset, bool) {
      if (offset >= 4 * 1024 * 1024 && !halfway.exchange(true))
        while (!release.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    });
    QTest::mouseClick(w_->Get<QPushButton>("StartButton"), Qt::LeftButton);
    QCOMPARE(w_->Get<QPushButton>("StartButton")->text(), QString("Stop"));
    for (QWidget* c : RunDisabled()) QVERIFY2(!c->isEnabled(), qPrintable(c->objectName()));
    QVERIFY(w_->Get<QPushButton>("StartButton")->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(halfway.load(), 20000);
    QTest::qWait(50);
    const QImage& shown = w_->Get<TSurfaceImage>("Image1")->Picture();
    QCOMPARE(shown.pixel(first.Left + 5, first.Top + 5), qRgb(255, 255, 0));
    QCOMPARE(shown.pixel(late.Left + 5, late.Top + 5), qRgb(255, 255, 255));
    release = true;
    WaitForRunEnd();

    for (QWidget* c : RunDisabled())
      QCOMPARE(c->isEnabled(), c != w_->Get<QRadioButton>("WriteAndReadButton"));
    // The window shows exactly what the raster holds.
    QCOMPARE(shown.size(), QSize(raster.Width(), raster.Height()));
    for (int y = 0; y < raster.Height(); ++y)
      for (int x = 0; x < raster.Width(); ++x)
        if (shown.pixel(x, y) != RasterPixel(raster, x, y))
          QFAIL(qPrintable(QString("pixel %1,%2 differs").arg(x).arg(y)));
    // The failing cell starts red under a dark B; a clean cell is yellow.
    QVERIFY(bad.BadPixels > 12);  // the red run reaches the top of the B
    QCOMPARE(shown.pixel(bad.Left, bad.Top), qRgb(255, 0, 0));
    QCOMPARE(shown.pixel(bad.Left + 2, bad.Top + 1), qRgb(127, 0, 0));
    QCOMPARE(shown.pixel(late.Left + 5, late.Top + 5), qRgb(255, 255, 0));

    const QStringList lines = app_->forms().ErrListFrm->Lines();
    QCOMPARE(lines.size(), 9);
    QVERIFY2(lines[0].startsWith("1 read error at 2,048 Error Code = "), qPrintable(lines[0]));

    // The mouse over the failing cell.
    MouseOverMap(bad.Left + 4, bad.Top + 4);
    QTRY_VERIFY(w_->Get<QLabel>("CurrenElementInfo")
                    ->text()
                    .endsWith(QString("% %1 bad blocks").arg(bad.BadBlocks.load())));
    MouseOverMap(first.Left + 1, first.Top + 1);
    QTRY_COMPARE(w_->Get<QLabel>("CurrenElementInfo")->text(), QString("0.00% "));

    // "Grade access time": every cell takes its slowest band's colour and a
    // framed legend stands at the top right; unticked, the map is yellow
    // again and the legend gone.
    QVERIFY(w_->Get<QCheckBox>("GradeAccessTime")->isEnabled() &&
            !w_->Get<QCheckBox>("GradeAccessTime")->isChecked());
    QTest::mouseClick(w_->Get<QCheckBox>("GradeAccessTime"), Qt::LeftButton);
    QVERIFY(w_->Get<QCheckBox>("GradeAccessTime")->isChecked());
    const surface::Rgb band = surface::GradeColor(late.SlowestBand.load(), 6);
    QCOMPARE(shown.pixel(late.Left + 5, late.Top + 5), qRgb(band.r, band.g, band.b));
    QCOMPARE(w_->Get<TSurfaceImage>("Image1")->grab().toImage().pixel(
                 w_->Get<TSurfaceImage>("Image1")->width() - 5, 4),
             qRgb(0, 0, 0));
    QTest::mouseClick(w_->Get<QCheckBox>("GradeAccessTime"), Qt::LeftButton);
    QCOMPARE(shown.pixel(late.Left + 5, late.Top + 5), qRgb(255, 255, 0));
    QCOMPARE(w_->Get<TSurfaceImage>("Image1")->grab().toImage().pixel(
                 w_->Get<TSurfaceImage>("Image1")->width() - 5, 4),
             RasterPixel(raster, w_->Get<TSurfaceImage>("Image1")->width() - 5, 4));

    // "Show errors log" opens the errors window without blocking.
    QTest::mouseClick(w_->Get<QPushButton>("Button1"), Qt::LeftButton);
    QVERIFY(app_->forms().ErrListFrm->isVisible());
    QCOMPARE(app_->forms().ErrListFrm->windowModality(), Qt::NonModal);
    app_->forms().ErrListFrm->hide();
  }

  void stopEndsTheRun() {
    ShowFor("\\\\.\\PHYSICALDRIVE0", 131072);
    std::atomic<int> requests{0};
    sim_->SetRequestHook([&](int, std::int64_t, bool) {
      ++requests;
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    });
    QTest::mouseClick(w_->Get<QPushButton>("StartButton"), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(requests.load() >= 5, 20000);
    QTest::mouseClick(w_->Get<QPushButton>("StartButton"), Qt::LeftButton);
    WaitForRunEnd();
    QVERIFY(State().ReadDone.load() < State().DiskBlocks.load());
    QVERIFY(w_->Get<QRadioButton>("ReadTestButton")->isEnabled());
    const int after = requests.load();
    QTest::qWait(50);
    QCOMPARE(requests.load(), after);
  }

  void closingDuringARunServesTheWorkerAndClosesTheDisk() {
    Select(true, 0);
    std::atomic<int> requests{0};
    sim_->SetRequestHook([&](int, std::int64_t, bool) {
      ++requests;
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    });
    HandOver([&] {
      QTest::mouseClick(w_->Get<QPushButton>("StartButton"), Qt::LeftButton);
      QTRY_VERIFY_WITH_TIMEOUT(requests.load() >= 5, 20000);
      // The worker goes on handing cells to the window while it closes.
      w_->close();
    });
    QVERIFY(!DiskLease::Taken());
    QVERIFY(!Logic().Busy());
    QVERIFY(State().ReadDone.load() < State().DiskBlocks.load());
    QTRY_COMPARE(w_->Get<QPushButton>("StartButton")->text(), QString("Start"));
    QCOMPARE(sim_->OpenHandleCount(), 0);
  }

  void theProgramCanEndDuringARun() {
    ShowFor("\\\\.\\PHYSICALDRIVE0", 131072);
    std::atomic<int> requests{0};
    sim_->SetRequestHook([&](int, std::int64_t, bool) {
      ++requests;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    });
    QTest::mouseClick(w_->Get<QPushButton>("StartButton"), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(requests.load() >= 3, 20000);
    // The window stops the run and serves its last steps before it goes.
    app_.reset();
    const int after = requests.load();
    QVERIFY(after < 1024);  // a whole pass makes one request a cell, thousands
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    QCOMPARE(requests.load(), after);
  }

  void refusedWhileAReadSpeedRunIsUnderWay() {
    std::atomic<bool> release{false};
    sim_->SetRequestHook([&](int, std::int64_t, bool) {
      while (!release.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    });
    ModalWatcher okRange([this](QWidget* w) {
      if (w == app_->forms().RangeForm)
        QTimer::singleShot(
            0, w, [this] { app_->forms().RangeForm->Get<QPushButton>("Button1")->click(); });
    });
    QTest::mouseClick(f_->Get<QPushButton>("Button1"), Qt::LeftButton);
    QVERIFY(f_->Speed().Busy());
    const int open = sim_->OpenHandleCount();

    BoxRecord rec;
    ModalWatcher refuse([&](QWidget* box) {
      if (box != w_) AnswerBox(box, QMessageBox::Ok, &rec);
    });
    QTest::mouseClick(f_->Get<QPushButton>("Button11"), Qt::LeftButton);
    QCOMPARE(rec.text, QString(SpeedTest::BusyText()));
    QVERIFY(!w_->isVisible());
    QCOMPARE(sim_->OpenHandleCount(), open);  // the speed run's disk only

    release = true;
    QTRY_VERIFY_WITH_TIMEOUT(!f_->Speed().Busy(), 20000);
    QVERIFY(!f_->Speed().LastStats().stopped);
  }
};

QTEST_MAIN(SurfaceWindowTest)
#include "surface_window_test.moc"
