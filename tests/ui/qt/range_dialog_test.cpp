// The range dialog through its widgets: leaving fields, "Invalid range",
// conversion errors, Ok and Cancel.
#include <QtTest>

#include "gui_test_util.h"
#include "ui/qt/qt_notifier.h"
#include "ui/qt/range_dialog.h"

using namespace dt;
using namespace dt::ui;
using namespace dt::ui::test;

class RangeDialogTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<QtNotifier> notifier_;
  std::unique_ptr<TRangeForm> d_;

  // Types `text` into a field and leaves it with Tab, as a user does.
  void Enter(QLineEdit* e, const QString& text) {
    // A message box may have taken the activation: give it back first.
    d_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(d_.get()));
    e->setFocus(Qt::MouseFocusReason);
    QTRY_VERIFY(e->hasFocus());
    e->selectAll();
    QTest::keyClicks(e, text);
    QTest::keyClick(e, Qt::Key_Tab);
    QVERIFY(!e->hasFocus());
  }

  // Opens the dialog as the read-speed start does, for a disk of `size`.
  void Open(std::int64_t size) {
    d_->Model().Prepare(size);
    d_->show();
    d_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(d_.get()));
  }

 private slots:
  void init() {
    notifier_ = std::make_unique<QtNotifier>();
    SetNotifier(notifier_.get());
    d_ = std::make_unique<TRangeForm>();
  }
  void cleanup() {
    d_.reset();
    SetNotifier(nullptr);
    notifier_.reset();
  }

  void showsWhatTheStartPrepared() {
    QCOMPARE(d_->windowTitle(), QString("Range Select"));
    QCOMPARE(d_->size(), QSize(488, 163));
    Open(1000000000);
    QCOMPARE(d_->Get<QLabel>("Label4")->text(), QString("1000000000"));
    QCOMPARE(d_->Get<QLineEdit>("Edit1")->text(), QString("0"));
    QCOMPARE(d_->Get<QLineEdit>("Edit2")->text(), QString("0"));
    QCOMPARE(d_->Get<QLineEdit>("Edit3")->text(), QString("999999999"));
    QCOMPARE(d_->Get<QLineEdit>("Edit4")->text(), QString("100"));
    QCOMPARE(d_->Get<QLabel>("Label3")->text(), QString("Total"));
    QCOMPARE(d_->Get<QLabel>("Label7")->text(), QString("byte"));
    QCOMPARE(d_->Get<QLabel>("Label8")->text(), QString("Byte"));
    QCOMPARE(d_->Get<QPushButton>("Button1")->text(), QString("Ok"));
    QCOMPARE(d_->Get<QPushButton>("Button2")->text(), QString("Cancel"));
  }

  void leavingAFieldAlignsItAndFillsItsPair() {
    Open(1000000000);
    Enter(d_->Get<QLineEdit>("Edit1"), "1000");
    QCOMPARE(d_->Get<QLineEdit>("Edit1")->text(), QString("512"));
    QCOMPARE(d_->Model().RangeStart, 512);
    QCOMPARE(d_->Get<QLineEdit>("Edit2")->text(),
             QString::fromStdString(d_->Model().PercentText(512)));
    Enter(d_->Get<QLineEdit>("Edit3"), "1000");
    QCOMPARE(d_->Get<QLineEdit>("Edit3")->text(), QString("511"));
    Enter(d_->Get<QLineEdit>("Edit3"), "1023");
    QCOMPARE(d_->Get<QLineEdit>("Edit3")->text(), QString("1023"));
    Enter(d_->Get<QLineEdit>("Edit3"), "1024");
    QCOMPARE(d_->Get<QLineEdit>("Edit3")->text(), QString("1023"));
    QCOMPARE(d_->Model().RangeEnd, 1023);
    Enter(d_->Get<QLineEdit>("Edit2"), "50");
    QCOMPARE(d_->Model().RangeStart, 499999744);
    QCOMPARE(d_->Get<QLineEdit>("Edit1")->text(), QString("499999744"));
    QCOMPARE(d_->Get<QLineEdit>("Edit2")->text(), QString("49.9999744"));
    // 10^9 is a whole number of sectors: 100 % is the last byte.
    Enter(d_->Get<QLineEdit>("Edit4"), "100");
    QCOMPARE(d_->Model().RangeEnd, 999999999);
    QCOMPARE(d_->Get<QLineEdit>("Edit4")->text(), QString("100.0000000"));
  }

  void hundredPercentOfAWholeSectorDiskIsItsLastByte() {
    Open(1048576);
    Enter(d_->Get<QLineEdit>("Edit4"), "100");
    QCOMPARE(d_->Get<QLineEdit>("Edit3")->text(), QString("1048575"));
    QCOMPARE(d_->Get<QLineEdit>("Edit4")->text(), QString("100.0000000"));
    // A disk of 1,000,000 bytes ends inside its last sector: 100 % is the
    // end of the last whole sector.
    d_ = std::make_unique<TRangeForm>();
    Open(1000000);
    Enter(d_->Get<QLineEdit>("Edit4"), "100");
    QCOMPARE(d_->Get<QLineEdit>("Edit3")->text(), QString("999935"));
  }

  void aFieldNotLeftGivesNoValue() {
    Open(1000000000);
    Enter(d_->Get<QLineEdit>("Edit1"), "4096");
    // Return in a field presses "Ok" without leaving the field: what was
    // typed there is not taken over.
    d_->Get<QLineEdit>("Edit3")->setFocus(Qt::MouseFocusReason);
    QTRY_VERIFY(d_->Get<QLineEdit>("Edit3")->hasFocus());
    d_->Get<QLineEdit>("Edit3")->selectAll();
    QTest::keyClicks(d_->Get<QLineEdit>("Edit3"), "8191");
    QTest::keyClick(d_->Get<QLineEdit>("Edit3"), Qt::Key_Return);
    QVERIFY(!d_->isVisible());
    QVERIFY(d_->Model().RangeAccepted);
    QCOMPARE(d_->Model().RangeStart, 4096);
    QCOMPARE(d_->Model().RangeEnd, 999999999);
  }

  void notANumberShowsTheConversionErrorAndKeepsTheValues() {
    Open(1000000000);
    Enter(d_->Get<QLineEdit>("Edit1"), "1000");
    BoxRecord box;
    ModalWatcher watcher([&](QWidget* w) { AnswerBox(w, QMessageBox::Ok, &box); });
    Enter(d_->Get<QLineEdit>("Edit1"), "12x");
    QTRY_COMPARE(watcher.Seen(), 1);
    QCOMPARE(box.text, QString("'12x' is not a valid integer value"));
    QCOMPARE(d_->Model().RangeStart, 512);
    QCOMPARE(d_->Get<QLineEdit>("Edit2")->text(),
             QString::fromStdString(d_->Model().PercentText(512)));
    QCOMPARE(d_->Get<QLineEdit>("Edit1")->text(), QString("12x"));
    Enter(d_->Get<QLineEdit>("Edit2"), "half");
    QTRY_COMPARE(watcher.Seen(), 2);
    QCOMPARE(box.text, QString("'half' is not a valid floating point value"));
    QCOMPARE(d_->Model().RangeStart, 512);
  }

  void invalidRangeKeepsTheDialogOpen() {
    Open(1000000000);
    Enter(d_->Get<QLineEdit>("Edit1"), "4096");
    Enter(d_->Get<QLineEdit>("Edit3"), "4607");  // one sector: valid
    Enter(d_->Get<QLineEdit>("Edit3"), "4096");  // aligned to 4095: below the start
    BoxRecord box;
    ModalWatcher watcher([&](QWidget* w) { AnswerBox(w, QMessageBox::Cancel, &box); });
    QTest::mouseClick(d_->Get<QPushButton>("Button1"), Qt::LeftButton);
    QCOMPARE(watcher.Seen(), 1);
    QCOMPARE(box.caption, QString("Data Error"));
    QCOMPARE(box.text, QString("Invalid range"));
    QVERIFY(d_->isVisible());
    QVERIFY(!d_->Model().RangeAccepted);
    QCOMPARE(d_->Get<QLineEdit>("Edit1")->text(), QString("4096"));
    QCOMPARE(d_->Get<QLineEdit>("Edit3")->text(), QString("4095"));

    // A To beyond the disk is refused as well, whichever button closes the box.
    Enter(d_->Get<QLineEdit>("Edit3"), "1000000512");
    QTest::mouseClick(d_->Get<QPushButton>("Button1"), Qt::LeftButton);
    QTRY_COMPARE(watcher.Seen(), 2);
    QCOMPARE(box.text, QString("Invalid range"));
    QVERIFY(d_->isVisible());

    Enter(d_->Get<QLineEdit>("Edit3"), "8191");
    QTest::mouseClick(d_->Get<QPushButton>("Button1"), Qt::LeftButton);
    QVERIFY(!d_->isVisible());
    QVERIFY(d_->Model().RangeAccepted);
    QCOMPARE(d_->Model().RangeStart, 4096);
    QCOMPARE(d_->Model().RangeEnd, 8191);
    QCOMPARE(watcher.Seen(), 2);
  }

  void cancelAfterEditingRejects() {
    Open(1000000000);
    Enter(d_->Get<QLineEdit>("Edit1"), "4096");
    QTest::mouseClick(d_->Get<QPushButton>("Button2"), Qt::LeftButton);
    QVERIFY(!d_->isVisible());
    QVERIFY(!d_->Model().RangeAccepted);
  }

  void closingByTheTitleBarLeavesTheRangeUnaccepted() {
    Open(1000000000);
    Enter(d_->Get<QLineEdit>("Edit1"), "4096");
    d_->close();
    QVERIFY(!d_->Model().RangeAccepted);
  }
};

QTEST_MAIN(RangeDialogTest)
#include "range_dialog_test.moc"
