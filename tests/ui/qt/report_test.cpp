// The printed speed and time reports: printed to PDF and read back with
// pdftotext, for their texts and the places of their labels; the preview
// and the printer setup from the main window's buttons.
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include "gui_test_util.h"
#include "ui/qt/data_module.h"
#include "ui/qt/main_window.h"
#include "ui/qt/range_dialog.h"
#include "ui/qt/speed_report.h"
#include "ui/qt/time_report.h"

using namespace dt;
using namespace dt::ui;
using namespace dt::ui::test;

namespace {

// A word of the PDF's text with its box in millimetres from the page's
// top-left corner.
struct Word {
  QString text;
  QRectF mm;
};

// The words of a one-page PDF, read with pdftotext -bbox.
QVector<Word> PdfWords(const QString& pdf) {
  QProcess p;
  p.start(DT_PDFTOTEXT, {"-bbox", pdf, "-"});
  p.waitForFinished(60000);
  const QString html = QString::fromUtf8(p.readAllStandardOutput());
  QVector<Word> words;
  static const QRegularExpression re(
      R"re(<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">([^<]*)</word>)re");
  const double mmPerPt = 25.4 / 72;
  for (auto it = re.globalMatch(html); it.hasNext();) {
    const auto m = it.next();
    const QPointF a(m.captured(1).toDouble() * mmPerPt, m.captured(2).toDouble() * mmPerPt);
    const QPointF b(m.captured(3).toDouble() * mmPerPt, m.captured(4).toDouble() * mmPerPt);
    QString text = m.captured(5);
    text.replace("&amp;", "&").replace("&lt;", "<").replace("&gt;", ">").replace("&quot;", "\"");
    words.append({text, QRectF(a, b)});
  }
  return words;
}

// The text that starts at (left, top): the words of that line from there
// on, up to the first gap wider than `maxGap` millimetres.
QString LineAt(const QVector<Word>& words, double left, double top, double maxGap = 8) {
  QVector<Word> line;
  for (const Word& w : words)
    if (std::abs(w.mm.top() - top) < 1.5 && w.mm.left() > left - 1.5) line.append(w);
  std::sort(line.begin(), line.end(),
            [](const Word& a, const Word& b) { return a.mm.left() < b.mm.left(); });
  if (line.isEmpty() || std::abs(line[0].mm.left() - left) > 1.0) return QString();
  QStringList parts{line[0].text};
  for (int i = 1; i < line.size() && line[i].mm.left() - line[i - 1].mm.right() < maxGap; ++i)
    parts << line[i].text;
  return parts.join(' ');
}

QString Simplified(const QString& s) {
  return s.simplified();
}

}  // namespace

class ReportTest : public QObject {
  Q_OBJECT

 private:
  SimPlatform* sim_ = nullptr;
  std::unique_ptr<ScopedPlatform> platform_;
  std::unique_ptr<GuiApp> app_;
  TForm1* f_ = nullptr;
  QTemporaryDir dir_;

  void Run() {
    ModalWatcher okRange([this](QWidget* w) {
      QTimer::singleShot(0, w,
                         [this] { app_->forms().RangeForm->Get<QPushButton>("Button1")->click(); });
    });
    QTest::mouseClick(f_->Get<QPushButton>("Button1"), Qt::LeftButton);
    QVERIFY(WaitFor([this] { return !f_->Speed().Busy(); }));
  }

  // Prints a report with the main window's button into a PDF and reads it.
  QVector<Word> PrintToPdf(TReportPage* report, QPushButton* button, const QString& name) {
    const QString pdf = dir_.filePath(name);
    report->Printer()->setOutputFormat(QPrinter::PdfFormat);
    report->Printer()->setOutputFileName(pdf);
    QTest::mouseClick(button, Qt::LeftButton);
    if (!QFile::exists(pdf)) qWarning("no PDF written");
    return PdfWords(pdf);
  }

  // The eight labels sit where the layout says, with the texts given.
  void CheckLabels(const QVector<Word>& words, const TReportPage* r, const QStringList& texts) {
    const ReportLabel* labels[] = {&r->QRLabel1, &r->QRLabel2, &r->QRLabel3, &r->QRLabel4,
                                   &r->QRLabel5, &r->QRLabel6, &r->QRLabel7, &r->QRLabel8};
    for (int i = 0; i < 8; ++i) {
      QCOMPARE(QString::fromStdString(labels[i]->Caption), texts[i]);
      QCOMPARE(LineAt(words, labels[i]->LeftMm, labels[i]->TopMm), Simplified(texts[i]));
    }
  }

 private slots:
  void initTestCase() {
    if (QString(DT_PDFTOTEXT).isEmpty()) QSKIP("pdftotext (poppler-utils) is not installed");
    QVERIFY(dir_.isValid());
  }

  void init() {
    auto m = Machine(kTwoDisks);
    sim_ = m.get();
    platform_ = std::make_unique<ScopedPlatform>(std::move(m));
    app_ = std::make_unique<GuiApp>();
    f_ = app_->forms().Form1;
    app_->Show();
    QVERIFY(QTest::qWaitForWindowExposed(f_));
  }
  void cleanup() {
    app_.reset();
    platform_.reset();
  }

  void layoutsAreThoseOfTheTwoPages() {
    const TForm2* s = app_->forms().Form2;
    const TForm3* t = app_->forms().Form3;
    QCOMPARE(s->QRLabel1.LeftMm, 12.7);
    QCOMPARE(s->QRLabel4.LeftMm, 95.25);
    QCOMPARE(s->QRLabel8.TopMm, 44.45);
    QCOMPARE(s->QRLabel7.TopMm, 44.45);
    QCOMPARE(s->QRLabel9.LeftMm, 10 + 40.2);
    QCOMPARE(t->QRLabel1.LeftMm, 14.8);
    QCOMPARE(t->QRLabel5.LeftMm, 82.55);
    QCOMPARE(t->QRLabel9.LeftMm, 10 + 72.0);
    QVERIFY((s->Spec().chart->place == page::RectMm{12.7, 50.8, 272.5, 145}));
    QVERIFY((t->Spec().chart->place == page::RectMm{12.7, 52.9, 271.2, 144.7}));
    QCOMPARE(s->QRDBChart1()->title(), QString("Disk speed"));
    QCOMPARE(t->QRDBChart1()->title(), QString("Read block time"));
    QCOMPARE(s->QRDBChart1()->Series()->pen().color(), QColor(Qt::black));
    QVERIFY(!s->QRDBChart1()->AxisY()->isGridLineVisible());
    QCOMPARE(t->QRDBChart1()->Series()->pen().style(), Qt::DashDotDotLine);
    QCOMPARE(t->QRDBChart1()->AxisX()->linePen().style(), Qt::DashDotDotLine);
    auto* p = app_->forms().Form2->Printer();
    QCOMPARE(p->pageLayout().orientation(), QPageLayout::Landscape);
    QCOMPARE(p->pageLayout().pageSize().id(), QPageSize::A4);
    QCOMPARE(p->pageLayout().margins(QPageLayout::Millimeter), QMarginsF(10, 10, 10, 10));
    QCOMPARE(p->docName(), QString("Disk speed"));
  }

  void speedReportBeforeAnyRunShowsTheInitialCaptions() {
    const QVector<Word> words =
        PrintToPdf(app_->forms().Form2, f_->Get<QPushButton>("Button4"), "speed0.pdf");
    QVERIFY(!words.isEmpty());
    CheckLabels(words, app_->forms().Form2,
                {"BlokSize", "Blocks", "Errors: 0", "Disk Size Unknow ", "Minimal time 10 ms",
                 "From", "to", "Disk C: "});
    QVERIFY(!LineAt(words, 10.0, 10.0).isEmpty());  // date and time of printing
    QVERIFY(!LineAt(words, 0, 0).contains("Disk speed"));
    bool title = false;
    for (const Word& w : words) title |= w.text == "speed" && w.mm.top() > 50.8;
    QVERIFY(title);
  }

  void reportsOfAPhysicalRunNameTheDiskAndItsIdentity() {
    f_->Get<QCheckBox>("Physical")->setChecked(true);
    sim_->SetPerfFrequency(2400000000);
    Run();
    const QString model = QString::fromStdString(app_->forms().Form2->QRLabel9.Caption);
    QVERIFY2(model.startsWith("CPU 2,400.00 MHz  "), qPrintable(model));
    QVERIFY2(model.contains("  Firmware: ") && model.contains("  Serial: "), qPrintable(model));
    QCOMPARE(QString::fromStdString(app_->forms().Form3->QRLabel9.Caption), model);

    // Settings changed after the run show in the labels as they are now;
    // the disk is the one tested, not the one selected now.
    f_->Get<QCheckBox>("Physical")->setChecked(false);
    const QStringList texts = {f_->Get<QLabel>("Label4")->text(),
                               f_->Get<QLabel>("Label7")->text(),
                               f_->Get<QLabel>("Label3")->text(),
                               "Disk Size " + f_->Get<QLabel>("DiskSz")->text(),
                               "Minimal time 10 ms",
                               f_->Get<QLabel>("Label5")->text(),
                               f_->Get<QLabel>("Label6")->text(),
                               "Disk HDD0: "};
    QCOMPARE(texts[0], QString("BlokSize 512*256=131,072"));
    for (auto [report, button, name] :
         {std::tuple<TReportPage*, QPushButton*, QString>{
              app_->forms().Form2, f_->Get<QPushButton>("Button4"), "speed1.pdf"},
          {app_->forms().Form3, f_->Get<QPushButton>("Button7"), "time1.pdf"}}) {
      const QVector<Word> words = PrintToPdf(report, button, name);
      CheckLabels(words, report, texts);
      // The model comes blank-padded to 40 characters from the drive.
      QCOMPARE(LineAt(words, report->QRLabel9.LeftMm, report->QRLabel9.TopMm, 100),
               Simplified(model));
    }
  }

  void previewAndPrinterSetupUseTheReportsPrinter() {
    // The dialogs live only while they are open: keep what they showed.
    bool preview = false, setup = false;
    QPrinter* printer = nullptr;
    ModalWatcher watcher([&](QWidget* w) {
      preview = qobject_cast<QPrintPreviewDialog*>(w) != nullptr;
      setup = qobject_cast<QPrintDialog*>(w) != nullptr;
      if (auto* d = qobject_cast<QPrintDialog*>(w)) printer = d->printer();
      QTimer::singleShot(0, w, [w] { w->close(); });
    });
    QTest::mouseClick(f_->Get<QPushButton>("Button6"), Qt::LeftButton);
    QVERIFY(preview);
    QCOMPARE(QString::fromStdString(app_->forms().Form3->QRLabel1.Caption), QString("BlokSize"));
    QTest::mouseClick(f_->Get<QPushButton>("Button2"), Qt::LeftButton);
    QVERIFY(setup);
    QCOMPARE(printer, app_->forms().Form2->Printer());
    QTest::mouseClick(f_->Get<QPushButton>("Button5"), Qt::LeftButton);
    QCOMPARE(printer, app_->forms().Form3->Printer());
    QCOMPARE(watcher.Seen(), 3);
  }

  void printWithoutAPrinterAsksForOneFirst() {
    QPrinter* p = app_->forms().Form3->Printer();
    p->setOutputFormat(QPrinter::PdfFormat);
    p->setOutputFileName(QString());
    bool asked = false;
    ModalWatcher watcher([&](QWidget* w) {
      asked = qobject_cast<QPrintDialog*>(w) != nullptr;
      QTimer::singleShot(0, w, [w] { w->close(); });
    });
    QVERIFY(!app_->forms().Form3->Print(f_));
    QVERIFY(asked);
  }
};

QTEST_MAIN(ReportTest)
#include "report_test.moc"
