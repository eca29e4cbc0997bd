// Program start and the Qt services of the core: the command line, the
// windows, message boxes and questions asked from a worker thread, and steps
// handed to the GUI thread.
#include <QtTest>
#include <atomic>
#include <thread>

#include "gui_test_util.h"
#include "ui/qt/main_window.h"
#include "ui/qt/qt_main_thread.h"
#include "ui/qt/qt_notifier.h"

using namespace dt;
using namespace dt::ui;
using namespace dt::ui::test;

class AppTest : public QObject {
  Q_OBJECT

 private slots:
  void startCreatesEveryWindowAndShowsOnlyTheMainOne() {
    ScopedPlatform machine(Machine(kTwoDisks));
    GuiApp app;
    const Forms& f = app.forms();
    QVERIFY(f.Form1 && f.Form2 && f.DataModule1 && f.Form3 && f.RangeForm && f.Form4 &&
            f.ErrListFrm);
    app.Show();
    QVERIFY(QTest::qWaitForWindowExposed(f.Form1));
    int shown = 0;
    for (QWidget* w : QApplication::topLevelWidgets()) shown += w->isVisible();
    QCOMPARE(shown, 1);
    // The worker exists from the start: a run can begin at once.
    QVERIFY(!f.Form1->Speed().Busy());
  }

  void boxesAskedFromAWorkerAppearOnTheGuiThread() {
    QtNotifier notifier;
    SetNotifier(&notifier);
    QList<BoxRecord> boxes;
    QList<bool> onGuiThread, modal;
    int answer = 0;
    ModalWatcher watcher(
        [&](QWidget* w) {
          BoxRecord r;
          onGuiThread << (QThread::currentThread() == qApp->thread());
          modal << w->isModal();
          auto* box = qobject_cast<QMessageBox*>(w);
          QVERIFY(box);
          // An OK / Cancel box for messages, Yes / No for questions.
          const bool question = box->button(QMessageBox::Yes) != nullptr;
          QCOMPARE(box->button(QMessageBox::Ok) != nullptr, !question);
          QCOMPARE(box->button(QMessageBox::Cancel) != nullptr, !question);
          QCOMPARE(box->button(QMessageBox::No) != nullptr, question);
          AnswerBox(
              w,
              question ? (answer++ == 0 ? QMessageBox::Yes : QMessageBox::No) : QMessageBox::Cancel,
              &r);
          boxes << r;
        },
        [] {
          QWidget* w = QApplication::activeModalWidget();
          return w ? w : ModelessBox();
        });
    std::atomic<int> stage{0};
    bool yes = false, no = true;
    std::thread worker([&] {
      Notify().ShowMessage("System error (read error)", "Error Code = 5");
      stage = 1;  // returns only once the box is closed
      yes = Notify().Confirm("Warning", "Write to the disk?");
      no = Notify().Confirm("Warning", "Really?");
      stage = 2;
    });
    QTRY_COMPARE_WITH_TIMEOUT(stage.load(), 2, 10000);
    worker.join();
    SetNotifier(nullptr);
    QCOMPARE(boxes.size(), 3);
    QCOMPARE(boxes[0].caption, QString("System error (read error)"));
    QCOMPARE(boxes[0].text, QString("Error Code = 5"));
    QCOMPARE(boxes[1].caption, QString("Warning"));
    QVERIFY(yes);
    QVERIFY(!no);
    QCOMPARE(onGuiThread, (QList<bool>{true, true, true}));
    // A worker's message leaves the windows working; its questions do not.
    QCOMPARE(modal, (QList<bool>{false, true, true}));
  }

  void stepsRunOnTheGuiThreadWhileTheWorkerWaits() {
    QtMainThread main;
    std::atomic<int> order{0};
    int ranAt = -1;
    bool onGui = false;
    std::thread worker([&] {
      main.Synchronize([&] {
        onGui = QThread::currentThread() == qApp->thread();
        ranAt = order++;
      });
      order++;  // after the step, never before
    });
    QTRY_COMPARE(order.load(), 2);
    worker.join();
    QVERIFY(onGui);
    QCOMPARE(ranAt, 0);
    // From the GUI thread itself a step runs at once.
    bool inline_ = false;
    main.Synchronize([&] { inline_ = true; });
    QVERIFY(inline_);
  }
};

QTEST_MAIN(AppTest)
#include "app_test.moc"
