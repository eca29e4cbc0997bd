// "Get SMART" through the main window on a simulated machine whose disks
// answer from real ATA captures: the SMART window's text against
// disktest-cli, the padding before the IDENTIFY report, drive titles, the
// window's buttons, and the printed portrait and landscape reports.
#include <QClipboard>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QFontDialog>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QLocale>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QProcess>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QtTest>

#include "gui_test_util.h"
#include "ui/qt/data_module.h"
#include "ui/qt/main_window.h"
#include "ui/qt/range_dialog.h"
#include "ui/qt/smart_report_pages.h"
#include "ui/qt/smart_window.h"
#include "ui/qt/speed_report.h"
#include "ui/qt/time_report.h"

using namespace dt;
using namespace dt::ui;
using namespace dt::ui::test;

namespace {

const QString kCaptures = QString(DT_TESTDATA_DIR) + "/ata-captures/";

// Disks of the test machine.
enum Disk {
  kSamsung = 0,        // SAMSUNG HD501LJ, every command answers
  kNoIdentify = 1,     // the same drive, IDENTIFY fails
  kNoPassThrough = 2,  // a disk without ATA pass-through (loop device, NVMe)
  kNoData = 3,         // SAMSUNG HD501LJ, SMART READ DATA fails: 13 report lines
  kFirstCapture = 4,   // then one disk per capture file, in name order
};
// Last, since the physical list ends at a disk whose size cannot be read:
// a SMART report of 56 lines and one of 60 (no geometry; no driver version).
constexpr int kFiftySix = 15;
constexpr int kSixty = 16;

QStringList CaptureFiles() {
  return QDir(kCaptures).entryList({"*.cap"}, QDir::Files, QDir::Name);
}

QString MachineJson() {
  const QString samsung = kCaptures + "SAMSUNG_HD501LJ--CR100-12.cap";
  QStringList disks;
  disks << QString(R"({"capture": "%1"})").arg(samsung)
        << QString(R"({"capture": "%1", "fail": {"identify": 31}})").arg(samsung)
        << R"({"size": 8388608})"
        << QString(R"({"capture": "%1", "fail": {"data": 31}})").arg(samsung);
  for (const QString& f : CaptureFiles())
    disks << QString(R"({"capture": "%1"})").arg(kCaptures + f);
  disks << QString(R"({"capture": "%1", "fail": {"geometry": 31}})")
               .arg(kCaptures + "SAMSUNG_MMCQE28G8MUP--0VA_VAM08L1Q.cap")
        << QString(R"({"capture": "%1", "fail": {"version": 31, "geometry": 31}})").arg(samsung);
  return "{\"disks\": [\n" + disks.join(",\n") + "\n]}";
}

struct Options {
  bool reserved = false, help = false, identify = false, english = true;
};

QString Describe(int drive, const Options& o) {
  return QString("drive %1 reserved %2 help %3 identify %4 english %5")
      .arg(drive)
      .arg(o.reserved)
      .arg(o.help)
      .arg(o.identify)
      .arg(o.english);
}

// What the SMART window held while it was open.
struct Shown {
  QStringList memo;
  QString caption;
  bool modal = false;
  QPoint pos;
  bool atTop = false;  // the memo shows the report's first line
};

QString Run(const QString& program, const QStringList& args) {
  QProcess p;
  p.start(program, args);
  if (!p.waitForFinished(60000)) qFatal("%s did not finish", qPrintable(program));
  return QString::fromUtf8(p.readAllStandardOutput());
}

// The words of a PDF with their boxes in points, page by page
// (pdftotext -bbox).
struct Word {
  QString text;
  double xMin, yMin, xMax, yMax;
};
struct Page {
  double width = 0, height = 0;
  QList<Word> words;
};

QList<Page> PdfPages(const QString& pdf) {
  const QString html = Run(DT_PDFTOTEXT, {"-bbox", pdf, "-"});
  static const QRegularExpression pageRe(R"re(<page width="([\d.]+)" height="([\d.]+)">)re");
  static const QRegularExpression wordRe(
      R"re(<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">([^<]*)</word>)re");
  QList<Page> pages;
  for (const QString& part : html.split("</page>")) {
    const auto head = pageRe.match(part);
    if (!head.hasMatch()) continue;
    Page page;
    page.width = head.captured(1).toDouble();
    page.height = head.captured(2).toDouble();
    for (auto it = wordRe.globalMatch(part); it.hasNext();) {
      const auto m = it.next();
      QString text = m.captured(5);
      text.replace("&lt;", "<").replace("&gt;", ">").replace("&quot;", "\"").replace("&#39;", "'");
      text.replace("&amp;", "&");
      page.words.push_back({text, m.captured(1).toDouble(), m.captured(2).toDouble(),
                            m.captured(3).toDouble(), m.captured(4).toDouble()});
    }
    pages.push_back(page);
  }
  return pages;
}

// The index of the first word `text` of a page; -1 when there is none.
int Find(const Page& page, const QString& text) {
  for (int i = 0; i < page.words.size(); ++i)
    if (page.words[i].text == text) return i;
  return -1;
}

// The words on the same line as word `i`, left to right.
QList<Word> LineOf(const Page& page, int i) {
  QList<Word> line;
  for (const Word& w : page.words)
    if (qAbs(w.yMin - page.words[i].yMin) < 1) line << w;
  std::sort(line.begin(), line.end(), [](const Word& a, const Word& b) { return a.xMin < b.xMin; });
  return line;
}

QString Text(const QList<Word>& words) {
  QStringList t;
  for (const Word& w : words) t << w.text;
  return t.join(' ');
}

// The fonts a PDF uses, without their subset tags.
QStringList FontNames(const QString& pdf) {
  QStringList names;
  const QStringList lines = Run("pdffonts", {pdf}).split('\n');
  for (int i = 2; i < lines.size(); ++i) {
    const QString name = lines[i].section(' ', 0, 0).section('+', -1);
    if (!name.isEmpty() && !names.contains(name)) names << name;
  }
  names.sort();
  return names;
}

constexpr double kPointsPerMm = 72.0 / 25.4;

// 60 words "w001" .. "w060" (300 characters) in the given letter.
std::string LongLine(const QString& letter) {
  QStringList words;
  for (int i = 1; i <= 60; ++i) words << letter + QString("%1").arg(i, 3, 10, QChar('0'));
  return (words.join(' ') + ' ').toStdString();
}

}  // namespace

class SmartWindowTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir dir_;
  QString machineFile_;
  std::unique_ptr<ScopedPlatform> platform_;
  std::unique_ptr<GuiApp> app_;
  TForm1* f_ = nullptr;

  const Forms& F() const { return app_->forms(); }
  QString Temp(const QString& name) const { return dir_.filePath(name); }

  void Open(const std::string& json) {
    platform_ = std::make_unique<ScopedPlatform>(Machine(json));
    app_ = std::make_unique<GuiApp>();
    f_ = F().Form1;
    app_->Show();
    QVERIFY(QTest::qWaitForWindowExposed(f_));
    f_->Get<QCheckBox>("Physical")->setChecked(true);
  }

  // Chooses `drive` in the physical list; false when the list ends before
  // it (at a disk without a size).
  bool Select(int drive) {
    if (f_->Get<QComboBox>("ComboBox1")->count() <= drive) return false;
    f_->Get<QComboBox>("ComboBox1")->setCurrentIndex(drive);
    return true;
  }

  void SetOptions(const Options& o) {
    f_->Get<QCheckBox>("SmartReserv")->setChecked(o.reserved);
    f_->Get<QCheckBox>("HelpFlg")->setChecked(o.help);
    f_->Get<QCheckBox>("IdentFlg")->setChecked(o.identify);
    f_->Get<QCheckBox>("EnglishFlg")->setChecked(o.english);
  }

  // Presses "Get SMART" and closes the SMART window once it is shown;
  // `whileOpen` runs first, with the window open.
  Shown GetSmart(int drive, const Options& o, std::function<void()> whileOpen = {}) {
    const bool listed = Select(drive);
    SetOptions(o);
    Shown shown;
    ModalWatcher watcher([&](QWidget* w) {
      if (w != F().SMARTinfo) return;
      shown.memo = F().SMARTinfo->SMARTinfoTEXT->toPlainText().split('\n');
      shown.caption = w->windowTitle();
      shown.modal = w->isModal();
      shown.pos = w->pos();
      const QPlainTextEdit* memo = F().SMARTinfo->SMARTinfoTEXT;
      shown.atTop = memo->textCursor().position() == 0 && memo->verticalScrollBar()->value() == 0;
      QTimer::singleShot(0, w, [w, whileOpen] {
        if (whileOpen) whileOpen();
        w->close();
      });
    });
    // A disk that the list does not show gets the report the button would
    // give it.
    if (listed)
      QTest::mouseClick(f_->Get<QPushButton>("Button9"), Qt::LeftButton);
    else
      F().SMARTinfo->Logic().ShowReport(drive, f_->Logic().Smart());
    if (watcher.Seen() < 1) qFatal("the SMART window did not open");
    return shown;
  }

  QStringList Cli(int drive, const Options& o) {
    QStringList args{"--sim", machineFile_, "smart", QString::number(drive)};
    if (o.reserved) args << "--reserved";
    if (o.help) args << "--help-texts";
    if (o.identify) args << "--identify" << (o.english ? "en" : "ru");
    QStringList lines = Run(DT_CLI_EXE, args).split('\n');
    if (!lines.isEmpty() && lines.back().isEmpty()) lines.pop_back();
    return lines;
  }

  QStringList Records() const {
    QStringList out;
    for (const std::string& s : F().DataModule1->RxMemoryData2) out << QString::fromStdString(s);
    return out;
  }

  // Presses "Print" of the SMART window with both forms printing to PDF
  // files; returns the file of the form that printed, empty when none did.
  QString PrintChosen(const QString& name) {
    const QString portrait = Temp(name + "-portrait.pdf");
    const QString landscape = Temp(name + "-landscape.pdf");
    QFile::remove(portrait);
    QFile::remove(landscape);
    F().SmartRep->Printer()->setOutputFormat(QPrinter::PdfFormat);
    F().SmartRep->Printer()->setOutputFileName(portrait);
    F().SMARTrepLandscape->Printer()->setOutputFormat(QPrinter::PdfFormat);
    F().SMARTrepLandscape->Printer()->setOutputFileName(landscape);
    F().SMARTinfo->Get<QPushButton>("Button3")->click();
    const bool p = QFile::exists(portrait), l = QFile::exists(landscape);
    if (p == l) return {};
    return p ? portrait : landscape;
  }

 private slots:
  void initTestCase() {
    QVERIFY(dir_.isValid());
    QVERIFY2(QFile::exists(DT_PDFTOTEXT), "pdftotext (poppler-utils) is needed");
    QCOMPARE(CaptureFiles().size(), kFiftySix - kFirstCapture);
    machineFile_ = Temp("machine.json");
    QFile f(machineFile_);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(MachineJson().toUtf8());
  }

  void init() { Open(MachineJson().toStdString()); }

  void cleanup() {
    app_.reset();
    platform_.reset();
    f_ = nullptr;
  }

  void memoEqualsCliForEveryCombinationOfOptions() {
    for (int bits = 0; bits < 16; ++bits) {
      const Options o{(bits & 1) != 0, (bits & 2) != 0, (bits & 4) != 0, (bits & 8) != 0};
      const Shown shown = GetSmart(kSamsung, o);
      const QStringList cli = Cli(kSamsung, o);
      QVERIFY2(cli.size() > 60, qPrintable(Describe(kSamsung, o)));
      QVERIFY2(shown.memo == cli, qPrintable(Describe(kSamsung, o)));
      QVERIFY2(Records() == cli, qPrintable(Describe(kSamsung, o)));
      QCOMPARE(F().SMARTinfo->Logic().PrintReserved, o.reserved);
    }
  }

  void memoEqualsCliOnEveryCapture() {
    const QStringList files = CaptureFiles();
    for (int i = 0; i < files.size(); ++i) {
      // The reserved bytes and both languages across the drives.
      const Options o{i % 2 == 1, false, true, i % 3 != 0};
      const int drive = kFirstCapture + i;
      const Shown shown = GetSmart(drive, o);
      QVERIFY2(shown.memo == Cli(drive, o), qPrintable(files[i] + " " + Describe(drive, o)));
      // The title: model, firmware and serial as the report's identity
      // lines give them.
      const QStringList cli = Cli(drive, Options{});
      const QString model = cli.filter(QRegularExpression("^Model number: ")).value(0).mid(14, 40);
      const QString firmware = cli.filter(QRegularExpression("^Firmware rev: ")).value(0).mid(14);
      const QString serial = cli.filter(QRegularExpression("^Serial number: ")).value(0).mid(15);
      QCOMPARE(model.size(), 40);
      const QString title = QString::fromStdString(F().SmartRep->QRLabel1.Caption);
      QCOMPARE(title, model + " " + firmware + " " + serial + " ");
      QCOMPARE(title.size(), 40 + 1 + 8 + 1 + 20 + 1);
      QCOMPARE(QString::fromStdString(F().SMARTrepLandscape->QRLabel1.Caption), title);
    }
  }

  void windowOpensModalWithTheReport() {
    const Shown shown = GetSmart(kSamsung, Options{});
    QCOMPARE(shown.caption, QString("SMART info form"));
    QVERIFY(shown.modal);
    QCOMPARE(shown.pos, QPoint(1, 1));
    QVERIFY(shown.atTop);
    QVERIFY(!F().SMARTinfo->isVisible());
    // The report stays after closing, until the next click.
    QCOMPARE(F().SMARTinfo->SMARTinfoTEXT->toPlainText().split('\n'), Cli(kSamsung, Options{}));
    QCOMPARE(QString::fromStdString(F().SmartRep->QRLabel1.Caption),
             QString("SAMSUNG HD501LJ").leftJustified(40) + " CR100-12 S0MUJ1NQ110060       ");
    // The next report replaces it in the window and in the table.
    GetSmart(kNoData, Options{});
    QCOMPARE(Records(), Cli(kNoData, Options{}));
  }

  void paddingBeforeTheIdentifyReport_data() {
    QTest::addColumn<int>("drive");
    QTest::addColumn<int>("smartLines");
    QTest::addColumn<int>("padding");
    QTest::addColumn<bool>("identified");
    // Short reports are padded to 57 lines; longer ones get one empty line,
    // and so does one of exactly 56.
    QTest::newRow("9 lines, no pass-through") << int(kNoPassThrough) << 9 << 48 << false;
    QTest::newRow("13 lines, data failed") << int(kNoData) << 13 << 44 << true;
    QTest::newRow("56 lines") << kFiftySix << 56 << 1 << true;
    QTest::newRow("60 lines, IDENTIFY failed") << kSixty << 60 << 1 << false;
    QTest::newRow("64 lines") << int(kSamsung) << 64 << 1 << true;
  }

  void paddingBeforeTheIdentifyReport() {
    QFETCH(int, drive);
    QFETCH(int, smartLines);
    QFETCH(int, padding);
    QFETCH(bool, identified);
    const QStringList smart = GetSmart(drive, Options{}).memo;
    QCOMPARE(smart.size(), smartLines);
    for (bool english : {true, false}) {
      const Options o{false, false, true, english};
      const QStringList memo = GetSmart(drive, o).memo;
      QCOMPARE(memo.mid(0, smartLines), smart);
      for (int i = smartLines; i < smartLines + padding; ++i) QCOMPARE(memo[i], QString());
      if (identified) {
        QCOMPARE(memo[smartLines + padding],
                 QString(english ? "Identify Block Report" : "Identify Block"));
      } else {
        QCOMPARE(memo.size(), smartLines + padding);
      }
      QCOMPARE(memo, Cli(drive, o));
    }
  }

  // "Print health verdict" adds the section of `disktest-cli health` (less
  // its first line, the drive) after a blank line at the very end; off, the
  // report is as it was.
  void healthOptionEndsTheReportWithTheHealthSection() {
    const Options o{false, false, true, true};
    QVERIFY(!f_->Get<QCheckBox>("HealthFlg")->isChecked());
    QCOMPARE(GetSmart(kSamsung, o).memo, Cli(kSamsung, o));
    QStringList health = Run(DT_CLI_EXE, {"--sim", machineFile_, "health", "0"}).split('\n');
    if (!health.isEmpty() && health.back().isEmpty()) health.pop_back();
    QVERIFY(health.size() > 5);
    QCOMPARE(health[1], QString("Health"));
    health[0] = "";
    f_->Get<QCheckBox>("HealthFlg")->setChecked(true);
    const QStringList memo = GetSmart(kSamsung, o).memo;
    QCOMPARE(memo, Cli(kSamsung, o) + health);
    QCOMPARE(Records(), memo);
  }

  void drivesThatFailStillShowTheirReport() {
    const Options all{true, true, true, true};
    // IDENTIFY fails: the title is three blanks on both forms.
    Shown shown = GetSmart(kNoIdentify, all);
    QCOMPARE(shown.memo, Cli(kNoIdentify, all));
    QVERIFY(shown.memo.filter(QRegularExpression("^ID error : ")).size() == 1);
    QCOMPARE(QString::fromStdString(F().SmartRep->QRLabel1.Caption), QString("   "));
    QCOMPARE(QString::fromStdString(F().SMARTrepLandscape->QRLabel1.Caption), QString("   "));

    // No ATA pass-through at all, as a loop device or an NVMe disk.
    shown = GetSmart(kNoPassThrough, all);
    QCOMPARE(shown.memo, Cli(kNoPassThrough, all));
    QVERIFY(shown.memo.contains("No support SMART"));
    QCOMPARE(QString::fromStdString(F().SmartRep->QRLabel1.Caption), QString("   "));

    // An empty disk list: its caption names no drive that opens.
    f_->Get<QComboBox>("ComboBox1")->clear();
    SetOptions(Options{});
    ModalWatcher watcher([&](QWidget* w) {
      shown.memo = F().SMARTinfo->SMARTinfoTEXT->toPlainText().split('\n');
      QTimer::singleShot(0, w, [w] { w->close(); });
    });
    QTest::mouseClick(f_->Get<QPushButton>("Button9"), Qt::LeftButton);
    QCOMPARE(watcher.Seen(), 1);
    QCOMPARE(shown.memo.size(), 1);
    QVERIFY2(shown.memo[0].startsWith("Open Error "), qPrintable(shown.memo[0]));
  }

  void nvmeDiskShowsTheNvmeReportAndTitle() {
    // A machine of one NVMe disk, its report the same in the window and the CLI.
    const QString json = R"({"disks": [{"size": 8388608, "nvme": {"model": "Sim NVMe",
        "serial": "S1", "firmware": "F1", "percentage_used": 95}}]})";
    cleanup();
    Open(json.toStdString());
    const QString file = Temp("nvme.json");
    QFile f(file);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(json.toUtf8());
    f.close();
    const Options all{true, true, true, true};
    const Shown shown = GetSmart(0, all);
    QVERIFY(shown.memo.contains("Model number                         : Sim NVMe"));
    QVERIFY(shown.memo.contains("Percentage used                      : 95%"));
    QVERIFY(!shown.memo.contains("No support SMART"));
    QStringList cli = Run(DT_CLI_EXE, {"--sim", file, "smart", "0", "--reserved", "--help-texts",
                                       "--identify", "en"})
                          .split('\n');
    if (!cli.isEmpty() && cli.back().isEmpty()) cli.pop_back();
    QCOMPARE(shown.memo, cli);
    QCOMPARE(QString::fromStdString(F().SmartRep->QRLabel1.Caption), QString("Sim NVMe F1 S1 "));
  }

  void copyPutsTheWholeTextOnTheClipboard() {
    const Options o{true, false, true, false};  // with the Russian IDENTIFY report
    QString copied;
    QGuiApplication::clipboard()->clear();
    GetSmart(kSamsung, o, [&] {
      QTest::mouseClick(F().SMARTinfo->Get<QPushButton>("Button1"), Qt::LeftButton);
      copied = QGuiApplication::clipboard()->text();
    });
    QCOMPARE(copied.split('\n'), Cli(kSamsung, o));
  }

  void fontDialogChangesOnlyTheMemo() {
    GetSmart(kSamsung, Options{});
    const QString before = PrintChosen("font-before");
    QVERIFY(!before.isEmpty());
    const QFont printed = F().SMARTrepLandscape->DetailFont();

    int step = 0;
    QString shownFont;
    ModalWatcher watcher([&](QWidget* w) {
      if (auto* d = qobject_cast<QFontDialog*>(w)) {
        QTimer::singleShot(0, d, [d] { d->accept(); });
        shownFont = d->currentFont().family();
        QFont serif("Liberation Serif");  // fonts-liberation2, installed with the program
        serif.setPointSize(14);
        d->setCurrentFont(serif);
        return;
      }
      if (step++ == 0)
        QTimer::singleShot(0, w, [this] {
          QTest::mouseClick(F().SMARTinfo->Get<QPushButton>("Button4"), Qt::LeftButton);
        });
      else
        QTimer::singleShot(0, w, [w] { w->close(); });
    });
    Select(kSamsung);
    QTest::mouseClick(f_->Get<QPushButton>("Button9"), Qt::LeftButton);
    QCOMPARE(watcher.Seen(), 3);
    // The dialog opened on the memo's font.
    QCOMPARE(shownFont, QFontInfo(SmartMemoFont()).family());
    QCOMPARE(F().SMARTinfo->SMARTinfoTEXT->font().family(), QString("Liberation Serif"));
    QCOMPARE(F().SMARTinfo->SMARTinfoTEXT->font().pointSize(), 14);

    QCOMPARE(F().SMARTrepLandscape->DetailFont(), printed);
    const QStringList fonts = FontNames(before);
    QVERIFY2(fonts.size() == 2, qPrintable(fonts.join(", ")));
    QCOMPARE(FontNames(PrintChosen("font-after")), fonts);
  }

  void printedFormFollowsTheReservedOption_data() {
    QTest::addColumn<bool>("reserved");
    QTest::addColumn<bool>("english");
    QTest::newRow("portrait, Russian IDENTIFY") << true << false;
    QTest::newRow("landscape, English IDENTIFY") << false << true;
  }

  void printedFormFollowsTheReservedOption() {
    QFETCH(bool, reserved);
    QFETCH(bool, english);
    GetSmart(kSamsung, Options{reserved, true, true, english});
    const QString pdf = PrintChosen("report");
    QVERIFY2(pdf.endsWith(reserved ? "-portrait.pdf" : "-landscape.pdf"), qPrintable(pdf));
    const TSmartReportPage* form =
        reserved ? static_cast<TSmartReportPage*>(F().SmartRep) : F().SMARTrepLandscape;
    const QList<Page> pages = PdfPages(pdf);
    QVERIFY2(pages.size() >= 3, qPrintable(QString::number(pages.size())));

    const double a4Short = 210 * kPointsPerMm, a4Long = 297 * kPointsPerMm;
    const QString date = QLocale().toString(QDate::currentDate(), QLocale::ShortFormat);
    const double margin = 10 * kPointsPerMm;
    QString printed;
    for (int k = 0; k < pages.size(); ++k) {
      const Page& page = pages[k];
      QCOMPARE(qRound(page.width), qRound(reserved ? a4Short : a4Long));
      QCOMPARE(qRound(page.height), qRound(reserved ? a4Long : a4Short));
      // The header: the drive title at the margin, the date and time and
      // the page number at their places of the band, all on the top line.
      const int number = Find(page, "Page");
      QVERIFY(number >= 0);
      const QList<Word> header = LineOf(page, number);
      const double dateX = form->Spec().Find("QRSysData1")->leftMm * kPointsPerMm;
      const double pageX = form->Spec().Find("QRSysData2")->leftMm * kPointsPerMm;
      QList<Word> title, when;
      for (const Word& w : header) {
        if (w.xMin < dateX - 1)
          title << w;
        else if (w.xMin < pageX - 1)
          when << w;
      }
      QCOMPARE(Text(title), QString("SAMSUNG HD501LJ CR100-12 S0MUJ1NQ110060"));
      QVERIFY(qAbs(title[0].xMin - margin) < 1.5);
      QVERIFY(title.last().xMax < dateX);
      QVERIFY2(Text(when).startsWith(date + " "), qPrintable(Text(when)));
      QVERIFY(qAbs(when[0].xMin - dateX) < 1.5);
      QCOMPARE(Text(header.mid(header.size() - 2)), "Page " + QString::number(k + 1));
      QVERIFY(qAbs(header[header.size() - 2].xMin - pageX) < 1.5);
      QVERIFY(header[0].yMin > margin - 1 && header[0].yMin < margin + 4);
      const double headerBottom = header[0].yMax;
      // In reading order: by line, then from left to right.
      QList<Word> words = page.words;
      std::sort(words.begin(), words.end(), [](const Word& a, const Word& b) {
        return std::make_pair(qRound(a.yMin * 4), a.xMin) <
               std::make_pair(qRound(b.yMin * 4), b.xMin);
      });
      for (const Word& w : words) {
        if (w.yMax <= headerBottom) continue;
        printed += w.text;
        // Lines inside the margins, in the form's point size.
        QVERIFY(w.xMin > margin - 1 && w.xMax < page.width - margin + 1);
        QVERIFY(w.yMax < page.height - margin + 1);
        QVERIFY2(
            qAbs((w.yMax - w.yMin) - form->Spec().detail.points) < form->Spec().detail.points * 0.3,
            qPrintable(QString::number(w.yMax - w.yMin)));
      }
    }
    // Every character of every record, in order, across the page breaks.
    QString records = Records().join(QString());
    records.remove(QRegularExpression(R"(\s)"));
    QCOMPARE(printed, records);
  }

  void longLinesAreCutInPrintOnly() {
    GetSmart(kNoPassThrough, Options{});
    const std::string latin = LongLine("w"), cyrillic = LongLine("я");
    F().SMARTinfo->Logic().AddLine(latin);
    F().SMARTinfo->Logic().AddLine("");
    F().SMARTinfo->Logic().AddLine(cyrillic);
    const QStringList memo = F().SMARTinfo->SMARTinfoTEXT->toPlainText().split('\n');
    QCOMPARE(memo.mid(memo.size() - 3),
             QStringList({QString::fromStdString(latin), "", QString::fromStdString(cyrillic)}));
    QCOMPARE(memo.last().size(), 300);
    const QStringList records = Records();
    QCOMPARE(records.size(), memo.size());
    QCOMPARE(records.mid(records.size() - 3),
             QStringList({QString::fromStdString(latin).left(256), "",
                          QString::fromStdString(cyrillic).left(256)}));

    const QString pdf = PrintChosen("long");
    QVERIFY(pdf.endsWith("-landscape.pdf"));
    QStringList words;
    for (const Page& page : PdfPages(pdf))
      for (const Word& w : page.words) words << w.text;
    for (const QString& letter : {QString("w"), QString("я")}) {
      QVERIFY(words.contains(letter + "051"));
      QVERIFY(!words.contains(letter + "052"));
      // The 256th character begins the 52nd word.
      QCOMPARE(words[words.indexOf(letter + "051") + 1], letter);
    }
  }

  void emptyReportStillPrintsAPage() {
    F().DataModule1->RxMemoryData2.clear();
    F().SmartRep->QRLabel1.Caption = "   ";
    F().SMARTinfo->Logic().PrintReserved = true;
    const QString pdf = PrintChosen("empty");
    QVERIFY(pdf.endsWith("-portrait.pdf"));
    const QList<Page> pages = PdfPages(pdf);
    QCOMPARE(pages.size(), 1);
    const int number = Find(pages[0], "Page");
    QVERIFY(number > 0);
    QCOMPARE(pages[0].words.size(), number + 2);
    QCOMPARE(pages[0].words.last().text, QString("1"));
  }

  void previewAndPrinterSetupUseTheChosenForm() {
    for (bool reserved : {true, false}) {
      TSmartReportPage* expected =
          reserved ? static_cast<TSmartReportPage*>(F().SmartRep) : F().SMARTrepLandscape;
      QPrinter* previewed = nullptr;
      QPrinter* setUp = nullptr;
      int previewPages = 0;
      int step = 0;
      ModalWatcher watcher([&](QWidget* w) {
        if (auto* d = qobject_cast<QPrintPreviewDialog*>(w)) {
          previewed = d->printer();
          if (auto* view = d->findChild<QPrintPreviewWidget*>()) previewPages = view->pageCount();
          QCOMPARE(d->windowTitle(), QString("SMART report"));
          QTimer::singleShot(0, d, [d] { d->reject(); });
        } else if (auto* d = qobject_cast<QPrintDialog*>(w)) {
          setUp = d->printer();
          QTimer::singleShot(0, d, [d] { d->reject(); });
        } else if (w == F().SMARTinfo) {
          QPushButton* next[] = {F().SMARTinfo->Get<QPushButton>("Button2"),
                                 F().SMARTinfo->Get<QPushButton>("Button5"), nullptr};
          QPushButton* b = next[step++];
          QTimer::singleShot(0, w, [w, b] {
            if (b)
              QTest::mouseClick(b, Qt::LeftButton);
            else
              w->close();
          });
        }
      });
      Select(kSamsung);
      SetOptions(Options{reserved, false, false, true});
      QTest::mouseClick(f_->Get<QPushButton>("Button9"), Qt::LeftButton);
      QCOMPARE(watcher.Seen(), 5);
      QCOMPARE(previewed, expected->Printer());
      QCOMPARE(setUp, expected->Printer());
      QVERIFY(previewPages >= 1);
    }
  }

  void windowLayoutAndFixedPitchFonts() {
    TSMARTinfo* w = F().SMARTinfo;
    const QList<std::tuple<QPushButton*, QString, int, int>> buttons = {
        {w->Get<QPushButton>("Button1"), "Copy to clipboard", 8, 97},
        {w->Get<QPushButton>("Button2"), "Preview", 112, 75},
        {w->Get<QPushButton>("Button5"), "Printer setup", 192, 75},
        {w->Get<QPushButton>("Button3"), "Print", 272, 75},
        {w->Get<QPushButton>("Button4"), "Font", 352, 75}};
    for (const auto& [b, text, x, width] : buttons) {
      QCOMPARE(b->text(), text);
      QCOMPARE(b->geometry(), QRect(x, 1, width, 25));
    }
    QCOMPARE(w->Get<ClockLabel>("RxClock1")->x(), 536);
    QVERIFY(QTime::fromString(w->Get<ClockLabel>("RxClock1")->text(), "hh:mm:ss").isValid());
    QCOMPARE(w->SMARTinfoTEXT->pos(), QPoint(8, 32));
    QCOMPARE(w->SMARTinfoTEXT->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    QCOMPARE(w->SMARTinfoTEXT->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    QCOMPARE(w->SMARTinfoTEXT->lineWrapMode(), QPlainTextEdit::NoWrap);

    // The columns of the report line up only in a font whose characters,
    // Cyrillic included, are all equally wide.
    for (const QFont& font : {w->SMARTinfoTEXT->font(), F().SmartRep->DetailFont(),
                              F().SMARTrepLandscape->DetailFont()}) {
      const QFontMetricsF m(font);
      for (const char* c : {"i", "!", " ", "Ж", "я"})
        QCOMPARE(m.horizontalAdvance(QString::fromUtf8(c)), m.horizontalAdvance("W"));
    }
    QCOMPARE(F().SmartRep->DetailFont().pointSizeF(), 6.0);
    QCOMPARE(F().SMARTrepLandscape->DetailFont().pointSizeF(), 8.0);

    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    w->resize(700, 500);
    QCOMPARE(w->SMARTinfoTEXT->size(), QSize(680, 460));
    w->resize(200, 201);
    QCOMPARE(w->SMARTinfoTEXT->size(), QSize(180, 161));
    w->hide();
  }

  void speedReportsCarryTheDriveIdentity() {
    cleanup();
    Open(kTwoDisks);
    f_->Get<QComboBox>("ComboBox1")->setCurrentIndex(0);
    ModalWatcher okRange([this](QWidget* w) {
      if (w == F().RangeForm)
        QTimer::singleShot(0, w, [this] { F().RangeForm->Get<QPushButton>("Button1")->click(); });
    });
    QTest::mouseClick(f_->Get<QPushButton>("Button1"), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!f_->Speed().Busy(), 20000);
    QCOMPARE(okRange.Seen(), 1);
    // The simulated counter runs at 10 MHz: no processor clock in front.
    const QString identity = QString("ST9100821AS").leftJustified(40) + "  Firmware: 3.CME   " +
                             "  Serial: " + QString("5NJ0R13A").rightJustified(20);
    QCOMPARE(QString::fromStdString(F().Form2->QRLabel9.Caption), identity);
    QCOMPARE(QString::fromStdString(F().Form3->QRLabel9.Caption), identity);

    for (TReportPage* report :
         {static_cast<TReportPage*>(F().Form2), static_cast<TReportPage*>(F().Form3)}) {
      const QString pdf = Temp(report->objectName() + ".pdf");
      report->Printer()->setOutputFormat(QPrinter::PdfFormat);
      report->Printer()->setOutputFileName(pdf);
      if (report == F().Form2)
        f_->Get<QPushButton>("Button4")->click();
      else
        f_->Get<QPushButton>("Button7")->click();
      const QList<Page> pages = PdfPages(pdf);
      QCOMPARE(pages.size(), 1);
      const int model = Find(pages[0], "ST9100821AS");
      QVERIFY(model >= 0);
      // The title band: the date and time, then the label.
      const QString band = Text(LineOf(pages[0], model));
      QVERIFY2(band.endsWith(" ST9100821AS Firmware: 3.CME Serial: 5NJ0R13A"), qPrintable(band));
    }
  }
};

QTEST_MAIN(SmartWindowTest)
#include "smart_window_test.moc"
