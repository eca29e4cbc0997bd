// The main window's controls and modes, and the resize rules of the main
// window, the time chart window and the errors window.
#include <QScrollBar>
#include <QtTest>

#include "device/device.h"
#include "gui_test_util.h"
#include "ui/qt/data_module.h"
#include "ui/qt/errors_window.h"
#include "ui/qt/main_window.h"
#include "ui/qt/time_view.h"

using namespace dt;
using namespace dt::ui;
using namespace dt::ui::test;

class WindowsTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<ScopedPlatform> platform_;
  std::unique_ptr<GuiApp> app_;
  TForm1* f_ = nullptr;

 private slots:
  void init() {
    platform_ = std::make_unique<ScopedPlatform>(Machine(kTwoDisks));
    app_ = std::make_unique<GuiApp>();
    f_ = app_->forms().Form1;
    app_->Show();
    QVERIFY(QTest::qWaitForWindowExposed(f_));
  }
  void cleanup() {
    app_.reset();
    platform_.reset();
  }

  void controlsHaveTheirCaptionsPlacesAndStates() {
    QVERIFY(f_->windowTitle().startsWith("Disk read speed ("));
    QVERIFY(f_->windowTitle().endsWith(")"));
    QCOMPARE(f_->pos(), QPoint(1, 1));
    struct Expect {
      const char* name;
      const char* text;
      QRect rect;  // an empty height: only the position is fixed
      bool enabled;
      bool visible;
    };
    const Expect expected[] = {
        {"ComboBox2", nullptr, {0, 0, 169, 19}, true, true},
        {"ComboBox1", nullptr, {0, 0, 169, 19}, true, false},
        {"DriveComboBox1", nullptr, {0, 0, 169, 19}, true, false},
        {"Edit1", "500", {0, 21, 89, 16}, true, true},
        {"BlockSizeFlg", "Block Size", {0, 37, 85, 15}, true, true},
        {"Button1", "Start", {120, 40, 41, 41}, true, true},
        {"Label5", "From", {0, 53, 0, 0}, true, true},
        {"Label6", "to", {0, 66, 0, 0}, true, true},
        {"PercentFlg", "Print progress in %", {0, 81, 105, 16}, true, true},
        {"Button11", "Surface test", {0, 96, 97, 17}, true, true},
        {"Button9", "Get SMART", {96, 24, 65, 17}, false, true},
        {"HelpFlg", "Print help", {104, 80, 65, 17}, false, true},
        {"IdentFlg", "Include Identyfy Block Report", {104, 96, 161, 15}, false, true},
        {"CheckBox1", "Real Time", {172, 0, 90, 17}, true, true},
        {"CheckBox2", "Bloksize 2**x", {172, 16, 90, 17}, true, true},
        {"CheckBox3", "CheckBox3", {172, 32, 90, 17}, true, true},
        {"CheckBox4", "Force 0", {172, 48, 90, 17}, true, true},
        {"Physical", "Physical disk", {172, 64, 90, 17}, true, true},
        {"ErrMsgEn", "Error messages", {172, 80, 90, 17}, true, true},
        {"Label8", "Speed", {264, 0, 81, 0}, true, true},
        {"Button2", "Printer  setup", {264, 16, 81, 17}, true, true},
        {"Button3", "Preview", {264, 32, 81, 17}, true, true},
        {"Button4", "Print", {264, 48, 81, 17}, true, true},
        {"Label11", "Err1", {264, 64, 0, 0}, true, true},
        {"Edit2", "10", {328, 64, 17, 17}, true, false},
        {"SmartReserv", "Print SMART reserved bytes", {264, 80, 153, 17}, false, true},
        {"EnglishFlg", "Englesh Identify block report", {264, 96, 161, 15}, false, true},
        {"HealthFlg", "Print health verdict", {430, 96, 137, 15}, false, true},
        {"Label9", "Time", {345, 0, 73, 0}, true, true},
        {"Button5", "Printer setup", {345, 16, 75, 17}, true, true},
        {"Button6", "Preview", {345, 32, 75, 17}, true, true},
        {"Button7", "Print", {345, 48, 75, 17}, true, true},
        {"Button8", "View", {345, 64, 75, 17}, true, true},
        {"Label3", "Errors: 0", {430, 0, 0, 0}, true, true},
        {"Label2", "0%", {504, 0, 0, 0}, true, true},
        {"Label4", "BlokSize", {430, 16, 0, 0}, true, true},
        {"Label7", "Blocks", {430, 32, 0, 0}, true, true},
        {"Label1", "Disk size", {430, 48, 0, 0}, true, true},
        {"DiskSz", "Unknow ", {478, 48, 0, 0}, true, true},
        {"Label10", "Address", {430, 64, 0, 0}, true, true},
        {"ElTime", "Time 00:00:00 (00:00:00)", {430, 80, 0, 0}, true, true},
        {"RxClock1", nullptr, {568, 0, 57, 17}, true, true},
        {"Button10", "Errors", {568, 80, 59, 17}, true, true},
        {"DBChart1", nullptr, {0, 111, 0, 0}, true, true},
    };
    for (const Expect& e : expected) {
      auto* w = f_->findChild<QWidget*>(e.name);
      QVERIFY2(w, e.name);
      if (e.text) {
        QString text;
        if (auto* b = qobject_cast<QAbstractButton*>(w)) text = b->text();
        if (auto* l = qobject_cast<QLabel*>(w)) text = l->text();
        if (auto* le = qobject_cast<QLineEdit*>(w)) text = le->text();
        QCOMPARE(text, QString(e.text));
      }
      QCOMPARE(w->pos(), e.rect.topLeft());
      if (e.rect.width() > 0) QCOMPARE(w->width(), e.rect.width());
      if (e.rect.height() > 0) QCOMPARE(w->height(), e.rect.height());
      QVERIFY2(w->isEnabled() == e.enabled, e.name);
      QVERIFY2(w->isVisible() == e.visible, e.name);
    }
    QVERIFY(f_->Get<QCheckBox>("PercentFlg")->isChecked());
    QVERIFY(f_->Get<QCheckBox>("CheckBox1")->isChecked());
    QVERIFY(f_->Get<QCheckBox>("CheckBox2")->isChecked());
    QVERIFY(f_->Get<QCheckBox>("EnglishFlg")->isChecked());
    QVERIFY(!f_->Get<QCheckBox>("HealthFlg")->isChecked());
    QVERIFY(!f_->Get<QCheckBox>("CheckBox3")->isChecked() &&
            !f_->Get<QCheckBox>("CheckBox4")->isChecked());
    QCOMPARE(f_->Get<QLineEdit>("Edit1")->toolTip(), QString("Blok count or block size"));
    QCOMPARE(f_->Get<QCheckBox>("CheckBox3")->toolTip(),
             QString("Begin - End, Begin+1- End-1,...,End-1 - Begin+1, End - Begin"));
    QCOMPARE(f_->Get<QLabel>("ElTime")->toolTip(), QString("Elapsed (remaining) time"));
    QCOMPARE(f_->Get<QLineEdit>("Edit2")->toolTip(), QString("Minimal time (in milliseconds)"));
    QCOMPARE(f_->findChild<QTimer*>("Timer1")->interval(), 100);
    QVERIFY(f_->findChild<QTimer*>("Timer1")->isActive());
    QCOMPARE(f_->Get<LineChart>("DBChart1")->Chart()->title(), QString("Speed of disk"));
    QVERIFY(!f_->Get<LineChart>("DBChart1")->Chart()->legend()->isVisible());
    QCOMPARE(f_->Get<LineChart>("DBChart1")->Chart()->Series()->pen().color(), QColor(Qt::red));
    QVERIFY(!f_->Get<LineChart>("DBChart1")->Chart()->Series()->pointsVisible());
  }

  void listsShowEveryDriveAndTheFirstIsSelected() {
    const auto logical = FillLogicalList();
    QCOMPARE(f_->Get<QComboBox>("ComboBox2")->count(), static_cast<int>(logical.size()));
    QCOMPARE(f_->Get<QComboBox>("ComboBox2")->currentIndex(), 0);
    QCOMPARE(f_->Get<QComboBox>("ComboBox2")->currentText(),
             QString::fromStdString(logical[0].text));
    QVERIFY(f_->Get<QComboBox>("ComboBox2")->itemText(1).startsWith("D: 8"));
    QVERIFY(f_->Get<QComboBox>("ComboBox2")->itemText(1).endsWith("[DATA] FAT32"));
    const auto physical = FillPhysicalList();
    QCOMPARE(f_->Get<QComboBox>("ComboBox1")->count(), static_cast<int>(physical.size()));
    QCOMPARE(f_->Get<QComboBox>("ComboBox1")->itemText(0),
             QString::fromStdString(physical[0].text));
    QVERIFY(f_->Get<QComboBox>("ComboBox1")->itemText(0).startsWith("HDD0  "));
    QCOMPARE(f_->Get<QComboBox>("DriveComboBox1")->currentText(), QString("C:"));
  }

  void physicalSwitchRebuildsTheListAndTheSmartControls() {
    QWidget* smart[] = {f_->Get<QPushButton>("Button9"),   f_->Get<QCheckBox>("HelpFlg"),
                        f_->Get<QCheckBox>("SmartReserv"), f_->Get<QCheckBox>("IdentFlg"),
                        f_->Get<QCheckBox>("EnglishFlg"),  f_->Get<QCheckBox>("HealthFlg")};
    f_->Get<QComboBox>("ComboBox2")->setCurrentIndex(1);
    QTest::mouseClick(f_->Get<QCheckBox>("Physical"), Qt::LeftButton);
    QVERIFY(f_->Get<QCheckBox>("Physical")->isChecked());
    QVERIFY(f_->Get<QComboBox>("ComboBox1")->isVisible());
    QVERIFY(!f_->Get<QComboBox>("ComboBox2")->isVisible());
    QCOMPARE(f_->Get<QComboBox>("ComboBox1")->geometry(), QRect(0, 0, 169, 19));
    QCOMPARE(f_->Get<QComboBox>("ComboBox1")->currentIndex(), 0);
    for (QWidget* w : smart) QVERIFY(w->isEnabled());
    QCOMPARE(f_->Settings().drive.Physical(), true);
    QCOMPARE(f_->Settings().drive.number, 0);

    f_->Get<QComboBox>("ComboBox1")->setCurrentIndex(1);
    QTest::mouseClick(f_->Get<QCheckBox>("Physical"), Qt::LeftButton);
    QVERIFY(!f_->Get<QCheckBox>("Physical")->isChecked());
    QVERIFY(!f_->Get<QComboBox>("ComboBox1")->isVisible());
    QVERIFY(f_->Get<QComboBox>("ComboBox2")->isVisible());
    // The list was rebuilt: the selection is back on the first drive.
    QCOMPARE(f_->Get<QComboBox>("ComboBox2")->currentIndex(), 0);
    for (QWidget* w : smart) QVERIFY(!w->isEnabled());
    QCOMPARE(f_->Settings().drive.kind, DriveRef::Kind::Logical);
  }

  // The limits of the resize rules are window sizes with the frame; the
  // sizes given to resize() are client sizes.
  static QSize Frame(QWidget* w) { return w->frameGeometry().size() - w->size(); }
  static void ResizeOuter(QWidget* w, int width, int height) {
    w->resize(QSize(width, height) - Frame(w));
  }

  void mainWindowChartFollowsTheWindowSize() {
    // The chart takes the client area below the controls, less a margin.
    f_->resize(800, 600);
    QCOMPARE(f_->Get<LineChart>("DBChart1")->size(), QSize(798, 487));
    QCOMPARE(f_->Get<LineChart>("DBChart1")->pos(), QPoint(0, 111));
    ResizeOuter(f_, 200, 300);
    QCOMPARE(f_->Get<LineChart>("DBChart1")->size(), QSize(200, 200));
    ResizeOuter(f_, 211, 344);
    QCOMPARE(f_->Get<LineChart>("DBChart1")->size(), QSize(209, 231) - Frame(f_));
    ResizeOuter(f_, 210, 343);
    QCOMPARE(f_->Get<LineChart>("DBChart1")->size(), QSize(200, 200));
  }

  void timeWindowChartFollowsTheWindowSize() {
    TForm4* w = app_->forms().Form4;
    QCOMPARE(w->windowTitle(), QString("TimeView"));
    QCOMPARE(w->DBChart1->Chart()->title(), QString("Time of disk"));
    QCOMPARE(w->DBChart1->geometry(), QRect(0, 20, 630, 413));
    QCOMPARE(w->RxClock1->pos(), QPoint(568, 0));
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    QCOMPARE(w->pos(), QPoint(1, 1));
    ResizeOuter(w, 700, 500);
    QCOMPARE(w->DBChart1->size(), QSize(690, 448));
    ResizeOuter(w, 210, 312);
    QCOMPARE(w->DBChart1->size(), QSize(200, 260));
    ResizeOuter(w, 211, 313);
    QCOMPARE(w->DBChart1->size(), QSize(201, 261));
    w->hide();
  }

  void errorsWindowMemoNeverShrinksBelowItsFloor() {
    TErrListFrm* w = app_->forms().ErrListFrm;
    QCOMPARE(w->windowTitle(), QString("Errors"));
    // Before any test the memo holds its initial line.
    QCOMPARE(w->Lines(), QStringList{"Memo1"});
    QCOMPARE(w->Memo1->pos(), QPoint(0, 16));
    QCOMPARE(w->RxClock1->geometry(), QRect(0, 0, 73, 17));
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    QCOMPARE(w->pos(), QPoint(1, 1));
    ResizeOuter(w, 600, 400);
    QCOMPARE(w->Memo1->size(), QSize(590, 355));
    ResizeOuter(w, 120, 90);
    QCOMPARE(w->Memo1->size(), QSize(210, 105));
    ResizeOuter(w, 221, 151);
    QCOMPARE(w->Memo1->size(), QSize(211, 106));
    ResizeOuter(w, 220, 150);
    QCOMPARE(w->Memo1->size(), QSize(210, 105));
    w->hide();
    // Clearing and appending: one line per error, no leading blank line.
    w->Clear();
    w->AppendLine(std::string("first"));
    w->AppendLine(QString("second"));
    QCOMPARE(w->Lines(), (QStringList{"first", "second"}));
  }

  void errorsWindowShowsTheNewestLinesFromTheirBeginnings() {
    TErrListFrm* w = app_->forms().ErrListFrm;
    w->Clear();
    for (int i = 1; i <= 60; ++i)
      w->AppendLine(QString("%1 at 23.8 % 511,705,088 (999,424)  size 1,048,576 (2,048)  Error "
                            "Code = 5 Input/output error, a line wider than the window")
                        .arg(i));
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    QScrollBar* h = w->Memo1->horizontalScrollBar();
    QScrollBar* v = w->Memo1->verticalScrollBar();
    QTRY_VERIFY(h->maximum() > 0);
    QTRY_COMPARE(h->value(), 0);
    QVERIFY(v->maximum() > 0);
    QCOMPARE(v->value(), v->maximum());
    w->hide();
  }

  void errorsButtonShowsTheErrorsWindowModally() {
    bool modal = false;
    ModalWatcher watcher([&](QWidget* w) {
      QCOMPARE(w, static_cast<QWidget*>(app_->forms().ErrListFrm));
      modal = true;
      QTimer::singleShot(0, w, [w] { w->close(); });
    });
    QTest::mouseClick(f_->Get<QPushButton>("Button10"), Qt::LeftButton);
    QCOMPARE(watcher.Seen(), 1);
    QVERIFY(modal);
  }

  void viewButtonShowsTheTimeWindowWithTheTable() {
    auto& table = app_->forms().DataModule1->RxMemoryData1;
    table.Append(SpeedPoint{1000, 50.0, 1e6});
    table.Append(SpeedPoint{3000, 100.0, 2e6});
    int shown = -1;
    ModalWatcher watcher([&](QWidget* w) {
      QCOMPARE(w, static_cast<QWidget*>(app_->forms().Form4));
      shown = app_->forms().Form4->DBChart1->Chart()->ShownPoints();
      QTimer::singleShot(0, w, [w] { w->close(); });
    });
    QTest::mouseClick(f_->Get<QPushButton>("Button8"), Qt::LeftButton);
    QCOMPARE(shown, 2);
    auto* ay = app_->forms().Form4->DBChart1->Chart()->AxisY();
    QVERIFY(ay->min() <= 1000 && ay->max() >= 3000);
  }
};

QTEST_MAIN(WindowsTest)
#include "windows_test.moc"
