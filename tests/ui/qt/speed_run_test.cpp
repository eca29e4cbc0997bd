// A read-speed run driven through the main window on a simulated machine:
// Start, the range dialog, the worker's steps on the GUI thread, the timer's
// requests, Stop, and the errors window at the end of a run with errors.
#include <QPointer>
#include <QtTest>
#include <atomic>
#include <thread>

#include "gui_test_util.h"
#include "ui/qt/data_module.h"
#include "ui/qt/errors_window.h"
#include "ui/qt/main_window.h"
#include "ui/qt/range_dialog.h"

using namespace dt;
using namespace dt::ui;
using namespace dt::ui::test;

class SpeedRunTest : public QObject {
  Q_OBJECT

 private:
  SimPlatform* sim_ = nullptr;
  std::unique_ptr<ScopedPlatform> platform_;
  std::unique_ptr<GuiApp> app_;
  TForm1* f_ = nullptr;

  void Open(const char* json) {
    auto m = Machine(json);
    sim_ = m.get();
    platform_ = std::make_unique<ScopedPlatform>(std::move(m));
    app_ = std::make_unique<GuiApp>();
    f_ = app_->forms().Form1;
    app_->Show();
    QVERIFY(QTest::qWaitForWindowExposed(f_));
  }

  // Presses Start and accepts the range dialog as the start fills it in.
  void StartRun() {
    ModalWatcher okRange([this](QWidget* w) {
      QCOMPARE(w, static_cast<QWidget*>(app_->forms().RangeForm));
      QTimer::singleShot(0, w,
                         [this] { app_->forms().RangeForm->Get<QPushButton>("Button1")->click(); });
    });
    QTest::mouseClick(f_->Get<QPushButton>("Button1"), Qt::LeftButton);
    QCOMPARE(okRange.Seen(), 1);
  }

  const PointTable& Points() const { return app_->forms().DataModule1->RxMemoryData1; }

 private slots:
  void cleanup() {
    app_.reset();
    platform_.reset();
    sim_ = nullptr;
  }

  void fullRunFillsLabelsPointsAndChart() {
    Open(kTwoDisks);
    QVERIFY(f_->Get<QComboBox>("ComboBox2")->currentText().startsWith("C: 64"));
    QVERIFY(f_->Get<QPushButton>("Button2")->isEnabled());
    StartRun();
    // Start has run on this thread; the worker's steps wait for the loop.
    QCOMPARE(f_->Get<QPushButton>("Button1")->text(), QString("Stop"));
    for (QPushButton* b : {f_->Get<QPushButton>("Button2"), f_->Get<QPushButton>("Button3"),
                           f_->Get<QPushButton>("Button4"), f_->Get<QPushButton>("Button5"),
                           f_->Get<QPushButton>("Button6"), f_->Get<QPushButton>("Button7"),
                           f_->Get<QPushButton>("Button8")})
      QVERIFY(!b->isEnabled());
    QVERIFY(f_->Get<QPushButton>("Button10")->isEnabled());
    QVERIFY(f_->Get<QPushButton>("Button11")->isEnabled());
    QCOMPARE(f_->Get<QLabel>("Label4")->text(), QString("BlokSize 512*256=131,072"));
    QCOMPARE(f_->Get<QLabel>("Label7")->text(), QString("Bloks 511"));
    QCOMPARE(f_->Get<QLabel>("Label5")->text(), QString("From  0"));
    QCOMPARE(f_->Get<QLabel>("Label6")->text(), QString("To    67,108,863"));
    QCOMPARE(f_->Get<QLabel>("DiskSz")->text(), QString("64.000 Mb"));

    QVERIFY(WaitFor([this] { return !f_->Speed().Busy(); }));
    QCOMPARE(f_->Get<QPushButton>("Button1")->text(), QString("Start"));
    for (QPushButton* b : {f_->Get<QPushButton>("Button2"), f_->Get<QPushButton>("Button3"),
                           f_->Get<QPushButton>("Button4"), f_->Get<QPushButton>("Button5"),
                           f_->Get<QPushButton>("Button6"), f_->Get<QPushButton>("Button7"),
                           f_->Get<QPushButton>("Button8")})
      QVERIFY(b->isEnabled());
    // 511 whole blocks and the short last one.
    QCOMPARE(Points().Size(), std::size_t{512});
    QCOMPARE(Points().At(511).Ps, 100.0);
    QCOMPARE(f_->Get<QLabel>("Label2")->text(), QString("100.0%"));
    QCOMPARE(f_->Get<QLabel>("Label10")->text(), QString("Cur.addr. 67,108,864"));
    QVERIFY(f_->Get<QLabel>("ElTime")->text().startsWith("Time 00:00:"));
    QCOMPARE(f_->Get<QLabel>("Label3")->text(), QString("Errors: 0"));

    // The last refresh comes from the timer after the end of the run.
    QTRY_COMPARE(f_->Get<LineChart>("DBChart1")->Chart()->ShownPoints(), 512);
    const auto* ax = f_->Get<LineChart>("DBChart1")->Chart()->AxisX();
    QVERIFY(ax->min() <= Points().At(0).Ps && ax->max() >= 100.0);
    const auto* ay = f_->Get<LineChart>("DBChart1")->Chart()->AxisY();
    double lo = 1e300, hi = 0;
    for (std::size_t i = 0; i < Points().Size(); ++i) {
      lo = std::min(lo, Points().At(i).Speed);
      hi = std::max(hi, Points().At(i).Speed);
    }
    QVERIFY(ay->min() <= lo && ay->max() >= hi);
    // The profile falls from 100 to 50 MB/s along the disk.
    QVERIFY(Points().At(10).Speed > Points().At(500).Speed);
    QVERIFY(!app_->forms().ErrListFrm->isVisible());
  }

  void chartIsReReadOnlyWhenTold() {
    Open(kTwoDisks);
    f_->Get<QCheckBox>("CheckBox1")->setChecked(false);  // no live refresh
    f_->Get<LineChart>("DBChart1")->Refresh();
    QCOMPARE(f_->Get<LineChart>("DBChart1")->Chart()->ShownPoints(), 0);
    StartRun();
    QVERIFY(WaitFor([this] { return !f_->Speed().Busy(); }));
    // Without "Real Time" the chart is refreshed once, at the end.
    QTRY_COMPARE(f_->Get<LineChart>("DBChart1")->Chart()->ShownPoints(), 512);
    app_->forms().DataModule1->RxMemoryData1.Append(SpeedPoint{5, 100.0, 1.0});
    QTest::qWait(300);
    QCOMPARE(f_->Get<LineChart>("DBChart1")->Chart()->ShownPoints(), 512);
    f_->Get<LineChart>("DBChart1")->Refresh();
    QCOMPARE(f_->Get<LineChart>("DBChart1")->Chart()->ShownPoints(), 513);
  }

  void stopEndsTheRunWithoutTheErrorsWindow() {
    Open(kTwoDisks);
    f_->Get<QCheckBox>("Physical")->setChecked(true);
    f_->Get<QComboBox>("ComboBox1")->setCurrentIndex(1);  // the disk with bad sectors at 1 MiB
    f_->Get<QLineEdit>("Edit1")->setText("2");            // 2 MiB blocks, read as two requests each
    std::atomic<int> reads{0};
    std::atomic<bool> release{false};
    sim_->SetRequestHook([&](int, std::int64_t, bool) {
      // The worker halts before the first read of the third block until the
      // test has pressed Stop.
      if (++reads == 5)
        while (!release.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    });
    StartRun();
    QTRY_COMPARE_WITH_TIMEOUT(reads.load(), 5, 20000);
    QCOMPARE(f_->Get<QPushButton>("Button1")->text(), QString("Stop"));
    QTest::mouseClick(f_->Get<QPushButton>("Button1"), Qt::LeftButton);
    release = true;
    QVERIFY(WaitFor([this] { return !f_->Speed().Busy(); }));
    QCOMPARE(f_->Get<QPushButton>("Button1")->text(), QString("Start"));
    QVERIFY(f_->Get<QPushButton>("Button3")->isEnabled());
    // The third block, under way when Stop came, is not recorded and its
    // second half is not read.
    QCOMPARE(reads.load(), 5);
    QCOMPARE(Points().Size(), std::size_t{2});
    // The bad sectors at 1 MiB and 4.4 MiB were read before the stop ...
    QTRY_COMPARE(f_->Get<QLabel>("Label3")->text(), QString("Errors: 2"));
    QCOMPARE(app_->forms().ErrListFrm->Lines().size(), 2);
    // ... but a stopped run does not open the errors window.
    QTest::qWait(400);
    QVERIFY(!app_->forms().ErrListFrm->isVisible());
    QTRY_COMPARE(f_->Get<LineChart>("DBChart1")->Chart()->ShownPoints(), 2);
    sim_->SetRequestHook(nullptr);
  }

  void runWithErrorsShowsTheErrorsWindow() {
    Open(kTwoDisks);
    f_->Get<QCheckBox>("Physical")->setChecked(true);
    f_->Get<QComboBox>("ComboBox1")->setCurrentIndex(1);
    f_->Get<QLineEdit>("Edit1")->setText("4");  // 1 MiB blocks
    QStringList shown;
    bool modal = false;
    ModalWatcher watcher([&](QWidget* w) {
      if (w == app_->forms().RangeForm) {
        QTimer::singleShot(
            0, w, [this] { app_->forms().RangeForm->Get<QPushButton>("Button1")->click(); });
        return;
      }
      QCOMPARE(w, static_cast<QWidget*>(app_->forms().ErrListFrm));
      modal = w->isModal();
      shown = app_->forms().ErrListFrm->Lines();
      QTimer::singleShot(0, w, [w] { w->close(); });
    });
    QTest::mouseClick(f_->Get<QPushButton>("Button1"), Qt::LeftButton);
    QVERIFY(WaitFor([this] { return !f_->Speed().Busy(); }));
    QTRY_COMPARE(watcher.Seen(), 2);
    QVERIFY(modal);
    // Sectors 2048-2055 lie in the second block, sector 9000 in the fifth.
    // The physical disk's size is its whole cylinders: 8,225,280 bytes.
    QCOMPARE(shown.size(), 2);
    QVERIFY2(shown[0].startsWith("1 at 12.7 % 1,048,576 (2,048)  size 1,048,576 (2,048)  Error "
                                 "Code = "),
             qPrintable(shown[0]));
    QVERIFY2(shown[1].startsWith("2 at 51.0 % 4,194,304 (8,192)  size 1,048,576 (2,048)  "),
             qPrintable(shown[1]));
    QCOMPARE(f_->Get<QLabel>("Label3")->text(), QString("Errors: 2"));
    QCOMPARE(f_->Get<QLabel>("Label11")->text(), QString("Errors: 0"));
  }

  void errorBoxesOfTheWorkerWaitForTheUser() {
    Open(kTwoDisks);
    f_->Get<QCheckBox>("Physical")->setChecked(true);
    f_->Get<QComboBox>("ComboBox1")->setCurrentIndex(1);
    f_->Get<QLineEdit>("Edit1")->setText("4");
    QTest::mouseClick(f_->Get<QCheckBox>("ErrMsgEn"), Qt::LeftButton);
    ModalWatcher windows([&](QWidget* w) {
      if (w == app_->forms().RangeForm) {
        QTimer::singleShot(
            0, w, [this] { app_->forms().RangeForm->Get<QPushButton>("Button1")->click(); });
        return;
      }
      QCOMPARE(w, static_cast<QWidget*>(app_->forms().ErrListFrm));
      QTimer::singleShot(0, w, [w] { w->close(); });
    });
    QStringList captions;
    int pointsAtBox = -1, pointsLater = -1, boxesLater = -1;
    ModalWatcher boxes(
        [&](QWidget* w) {
          auto* box = qobject_cast<QMessageBox*>(w);
          captions << box->windowTitle();
          if (captions.size() > 1) {
            BoxRecord r;
            AnswerBox(w, QMessageBox::Ok, &r);
            return;
          }
          // The first box stays open a while: the worker waits for it, so
          // nothing more is read or recorded meanwhile.
          pointsAtBox = static_cast<int>(Points().Size());
          QTimer::singleShot(300, box, [&, box] {
            pointsLater = static_cast<int>(Points().Size());
            boxesLater = static_cast<int>(captions.size());
            box->button(QMessageBox::Ok)->click();
          });
        },
        [] { return ModelessBox(); });
    QTest::mouseClick(f_->Get<QPushButton>("Button1"), Qt::LeftButton);
    QVERIFY(WaitFor([this] { return !f_->Speed().Busy(); }));
    QVERIFY(pointsAtBox >= 0);
    QCOMPARE(pointsLater, pointsAtBox);
    QCOMPARE(boxesLater, 1);
    QCOMPARE(captions, (QStringList{"System error (read error)", "System error (read error)"}));
  }

  // A read-error box is modal to no window: the main window keeps working,
  // and Stop pressed while the box is open ends the run once it is closed.
  // Closing the main window with a box open waits for the box, and ends.
  void stopWorksWhileAReadErrorBoxIsOpen() {
    Open(kTwoDisks);
    f_->Get<QCheckBox>("Physical")->setChecked(true);
    f_->Get<QComboBox>("ComboBox1")->setCurrentIndex(1);
    f_->Get<QLineEdit>("Edit1")->setText(
        "4");  // 1 MiB blocks: sectors 2048-2055 fail in the second
    f_->Get<QCheckBox>("ErrMsgEn")->setChecked(true);
    std::atomic<int> reads{0};
    sim_->SetRequestHook([&](int, std::int64_t, bool) { ++reads; });
    // A modal box (or the errors window) would hold this test inside its own
    // loop: closed at once, it lets the test fail instead of hanging.
    ModalWatcher modal([this](QWidget* w) {
      if (w != app_->forms().RangeForm) QTimer::singleShot(0, w, [w] { w->close(); });
    });
    StartRun();
    QPointer<QMessageBox> box;
    QVERIFY(WaitFor([&] { return (box = ModelessBox()) != nullptr; }));
    QCOMPARE(box->windowTitle(), QString("System error (read error)"));
    QVERIFY(!QApplication::activeModalWidget());
    QCOMPARE(reads.load(), 2);
    QCOMPARE(Points().Size(), std::size_t{1});

    QTest::mouseClick(f_->Get<QPushButton>("Button1"), Qt::LeftButton);
    QTest::qWait(200);
    // The worker still waits for the box.
    QVERIFY(box);
    QVERIFY(f_->Speed().Busy());
    QCOMPARE(reads.load(), 2);
    box->button(QMessageBox::Ok)->click();
    QVERIFY(WaitFor([this] { return !f_->Speed().Busy(); }));
    QVERIFY(f_->Speed().LastStats().stopped);
    QCOMPARE(f_->Get<QPushButton>("Button1")->text(), QString("Start"));
    // The failed block was read whole and is recorded; nothing after it.
    QCOMPARE(reads.load(), 2);
    QCOMPARE(Points().Size(), std::size_t{2});
    QTest::qWait(300);
    QVERIFY(!ModelessBox());
    QVERIFY(!app_->forms().ErrListFrm->isVisible());

    // Again, and the main window is closed while the box is open.
    StartRun();
    QVERIFY(WaitFor([&] { return (box = ModelessBox()) != nullptr; }));
    QTimer::singleShot(200, box, [box] { box->button(QMessageBox::Ok)->click(); });
    f_->close();
    QVERIFY(!f_->Speed().Busy());
    QVERIFY(f_->Speed().LastStats().stopped);
    QCOMPARE(reads.load(), 4);
    sim_->SetRequestHook(nullptr);
  }

  void realTimeOffDuringARunStopsTheTimeDisplayAtOnce() {
    // A slow disk: the run takes half a minute of simulated time.
    Open(R"json({"perf_frequency": 10000000,
      "disks": [{"size": 67108864, "speed": {"start_mbps": 2, "end_mbps": 2}}],
      "volumes": [{"name": "C", "label": "SLOW", "fs": "NTFS", "disk": 0, "size": 67108864}]})json");
    std::atomic<int> reads{0};
    std::atomic<bool> release{false};
    sim_->SetRequestHook([&](int, std::int64_t, bool) {
      if (++reads == 100)
        while (!release.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    });
    StartRun();
    QVERIFY(WaitFor([&] { return reads.load() == 100; }));
    // Some 6 of the 32 seconds have passed.
    QVERIFY(WaitFor(
        [&] { return f_->Get<QLabel>("ElTime")->text().startsWith("Time 00:00:06 (00:00:2"); }));
    QTest::mouseClick(f_->Get<QCheckBox>("CheckBox1"), Qt::LeftButton);
    QVERIFY(!f_->Get<QCheckBox>("CheckBox1")->isChecked());
    const QString shown = f_->Get<QLabel>("ElTime")->text();
    const int chartPoints = f_->Get<LineChart>("DBChart1")->Chart()->ShownPoints();
    release = true;
    QVERIFY(WaitFor([this] { return !f_->Speed().Busy(); }));
    // No time text and no chart refresh after the click, until the end of
    // the run refreshes the chart once more.
    QCOMPARE(f_->Get<QLabel>("ElTime")->text(), shown);
    QVERIFY(chartPoints < 512);
    QTRY_COMPARE(f_->Get<LineChart>("DBChart1")->Chart()->ShownPoints(), 512);
    sim_->SetRequestHook(nullptr);
  }

  void closingTheWindowStopsTheRun() {
    Open(kTwoDisks);
    std::atomic<int> reads{0};
    sim_->SetRequestHook([&](int, std::int64_t, bool) {
      ++reads;
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    });
    StartRun();
    QTRY_VERIFY(reads.load() > 3);
    f_->close();
    QVERIFY(!f_->Speed().Busy());
    QVERIFY(Points().Size() < 512);
    QCOMPARE(f_->Get<QPushButton>("Button1")->text(), QString("Start"));
    sim_->SetRequestHook(nullptr);
  }
};

QTEST_MAIN(SpeedRunTest)
#include "speed_run_test.moc"
