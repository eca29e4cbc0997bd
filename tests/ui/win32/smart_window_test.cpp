// The SMART window and "Get SMART" on a simulated machine whose disk answers
// from a real ATA capture: the window against its description, the memo and
// the line table against disktest-cli run in this process on the same
// machine, the clipboard, the font dialog and printing without a printer.
#include "ui/win32/smart_window.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "app/smart_window_form.h"
#include "base/text.h"
#include "ui/cli/cli.h"
#include "ui/win32/data_module.h"
#include "ui/win32/smart_report_pages.h"
#include "win_test_util.h"

namespace dt::win::test {
namespace {

// Disk 0: a SAMSUNG HD501LJ from its capture; disk 1 answers no ATA command,
// as a loop device; disk 2 is an NVMe disk.
constexpr const char* kMachine = R"json({"disks": [
  {"capture": "SAMSUNG_HD501LJ--CR100-12.cap"},
  {"size": 8388608},
  {"size": 8388608,
   "nvme": {"model": "Corvale CV3 NVMe 4GB", "serial": "CV3A21K0774193", "firmware": "3B2QGXA7",
            "temperature_c": 38, "percentage_used": 3, "data_units_read": 31478112,
            "power_on_hours": 4127}}
]})json";

// The font dialog's face and size lists.
constexpr int kFaceList = 0x470;  // cmb1
constexpr int kSizeList = 0x472;  // cmb3

// What `disktest-cli smart` prints, run in this process on the machine now.
std::vector<std::string> Cli(int drive, const SmartOptions& o) {
  std::vector<std::string> args{"disktest-cli", "smart", std::to_string(drive)};
  if (o.reserved) args.push_back("--reserved");
  if (o.help) args.push_back("--help-texts");
  if (o.identify) {
    args.push_back("--identify");
    args.push_back(o.english ? "en" : "ru");
  }
  std::ostringstream out, err;
  cli::Run(args, out, err);
  std::vector<std::string> lines;
  std::istringstream in(out.str());
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

bool HasCyrillic(const std::vector<std::string>& lines) {
  // Cyrillic letters are D0 xx and D1 xx in UTF-8.
  return std::any_of(lines.begin(), lines.end(), [](const std::string& l) {
    return l.find('\xD0') != std::string::npos || l.find('\xD1') != std::string::npos;
  });
}

std::wstring ClipboardText() {
  std::wstring text;
  if (!OpenClipboard(nullptr)) return text;
  if (HANDLE h = GetClipboardData(CF_UNICODETEXT)) {
    if (const auto* p = static_cast<const wchar_t*>(GlobalLock(h))) {
      text = p;
      GlobalUnlock(h);
    }
  }
  CloseClipboard();
  return text;
}

// What the SMART window showed when it opened.
struct Shown {
  std::vector<std::string> memo;
  bool modal = false;
  POINT corner{-1, -1};
  bool atTop = false;  // the caret and the view at the report's first line
};

class SmartWindowTest : public ::testing::Test {
 protected:
  ScopedWinNotifier notifier_;
  SmartWindowTest()
      : platform_(Machine(kMachine)),
        portrait_(&data_.RxMemoryData2),
        landscape_(&data_.RxMemoryData2) {
    window_.SetReports(&portrait_, &landscape_, &data_.RxMemoryData2);
  }

  // "Get SMART" of `drive`: once the window is open, `whileOpen` runs in it
  // and the window is closed; `onDialog` answers every dialog or message
  // box that opens meanwhile.
  Shown GetSmart(int drive, const SmartOptions& o, std::function<void()> whileOpen = {},
                 std::function<void(HWND)> onDialog = {}) {
    Shown shown;
    bool opened = false;
    ModalWatcher watcher(
        [&](HWND w) {
          if (w != window_.hwnd()) {
            if (onDialog) onDialog(w);
            return;
          }
          // The window shows again when a dialog over it closes.
          if (opened) return;
          opened = true;
          const HWND memo = window_.SMARTinfoTEXT->hwnd();
          shown.memo = window_.SMARTinfoTEXT->Lines();
          shown.modal = window_.IsModal();
          RECT r;
          GetWindowRect(window_.hwnd(), &r);
          shown.corner = {r.left, r.top};
          DWORD start = 1, end = 1;
          SendMessageW(memo, EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                       reinterpret_cast<LPARAM>(&end));
          shown.atTop =
              start == 0 && end == 0 && SendMessageW(memo, EM_GETFIRSTVISIBLELINE, 0, 0) == 0;
          window_.Post([this, whileOpen] {
            if (whileOpen) whileOpen();
            PostMessageW(window_.hwnd(), WM_CLOSE, 0, 0);
          });
        },
        [this]() -> HWND {
          const auto boxes = DialogBoxes();
          if (!boxes.empty()) return boxes.front();
          return window_.Visible() && IsWindowEnabled(window_.hwnd()) ? window_.hwnd() : nullptr;
        });
    window_.Logic().ShowReport(drive, o);
    EXPECT_TRUE(opened);
    EXPECT_FALSE(window_.Visible());
    return shown;
  }

  ScopedPlatform platform_;
  TDataModule1 data_;
  TSMARTinfo window_;
  TSmartRep portrait_;
  TSMARTrepLandscape landscape_;
};

TEST_F(SmartWindowTest, IsBuiltFromItsDescriptionWithAFixedPitchMemo) {
  ExpectMatchesDescription(window_, {"SMARTinfoTEXT"});
  // The memo follows the window's client size, down to its least size.
  for (const SIZE outer : {SIZE{700, 500}, SIZE{150, 150}}) {
    SetWindowPos(window_.hwnd(), nullptr, 0, 0, outer.cx, outer.cy, SWP_NOMOVE | SWP_NOZORDER);
    const SIZE client = window_.ClientSize();
    const form::Rect want = smart_window::MemoRect(client.cx, client.cy);
    const RECT memo = window_.SMARTinfoTEXT->Place();
    EXPECT_EQ(memo.left, want.x);
    EXPECT_EQ(memo.top, want.y);
    EXPECT_EQ(memo.right - memo.left, want.width) << outer.cx;
    EXPECT_EQ(memo.bottom - memo.top, want.height) << outer.cy;
  }

  // The report's columns line up only in a face whose characters, Cyrillic
  // included, are all there and equally wide.
  const HFONT font = window_.SMARTinfoTEXT->Font();
  HDC dc = GetDC(window_.hwnd());
  const HGDIOBJ old = SelectObject(dc, font);
  TEXTMETRICW tm{};
  GetTextMetricsW(dc, &tm);
  EXPECT_EQ(tm.tmPitchAndFamily & TMPF_FIXED_PITCH, 0) << "a variable pitch";
  EXPECT_EQ(tm.tmHeight - tm.tmInternalLeading, PointsToPixels(10));
  SIZE w{};
  GetTextExtentPoint32W(dc, L"W", 1, &w);
  for (const wchar_t* c : {L"i", L"!", L" ", L"\u0416", L"\u044f"}) {
    SIZE s{};
    GetTextExtentPoint32W(dc, c, 1, &s);
    EXPECT_EQ(s.cx, w.cx) << Utf8(c);
  }
  WORD glyphs[2] = {};
  GetGlyphIndicesW(dc, L"\u0416\u044f", 2, glyphs, GGI_MARK_NONEXISTING_GLYPHS);
  EXPECT_NE(glyphs[0], 0xFFFF) << FaceOf(font) << " has no Cyrillic";
  EXPECT_NE(glyphs[1], 0xFFFF) << FaceOf(font) << " has no Cyrillic";
  SelectObject(dc, old);
  ReleaseDC(window_.hwnd(), dc);

  // Preview, Print and Printer setup act on the form for the report's width.
  window_.Logic().PrintReserved = true;
  EXPECT_EQ(window_.Logic().Chosen(), smart_window::PrintedForm::Portrait);
  window_.Logic().PrintReserved = false;
  EXPECT_EQ(window_.Logic().Chosen(), smart_window::PrintedForm::Landscape);
}

TEST_F(SmartWindowTest, MemoAndLineTableEqualTheCliForEveryCombinationOfOptions) {
  const std::string title = PadRight("SAMSUNG HD501LJ", 40) + " CR100-12 S0MUJ1NQ110060       ";
  for (int bits = 0; bits < 16; ++bits) {
    const SmartOptions o{(bits & 1) != 0, (bits & 2) != 0, (bits & 4) != 0, (bits & 8) != 0};
    SCOPED_TRACE(testing::Message() << "reserved " << o.reserved << " help " << o.help
                                    << " identify " << o.identify << " english " << o.english);
    portrait_.QRLabel1.Caption = landscape_.QRLabel1.Caption = "";
    const Shown shown = GetSmart(0, o);
    const std::vector<std::string> cli = Cli(0, o);
    ASSERT_GT(cli.size(), 60u);
    EXPECT_EQ(shown.memo, cli);
    // The attribute help texts and the Russian IDENTIFY report are in Russian.
    EXPECT_EQ(HasCyrillic(cli), o.help || (o.identify && !o.english));
    std::vector<std::string> records;
    for (const std::string& line : cli) records.push_back(LeftChars(line, app::kSmartRecordChars));
    EXPECT_EQ(data_.RxMemoryData2, records);
    EXPECT_EQ(window_.Logic().PrintReserved, o.reserved);
    EXPECT_EQ(portrait_.QRLabel1.Caption, title);
    EXPECT_EQ(landscape_.QRLabel1.Caption, title);
    EXPECT_TRUE(shown.modal);
    EXPECT_EQ(shown.corner.x, smart_window::kShowLeft);
    EXPECT_EQ(shown.corner.y, smart_window::kShowTop);
    EXPECT_TRUE(shown.atTop);
  }
  // The report stays in the window after it closed, until the next one.
  EXPECT_EQ(window_.SMARTinfoTEXT->Lines(), Cli(0, SmartOptions{true, true, true, true}));
}

// With the health option the report ends with a blank line and the section
// that `disktest-cli health` prints after its first line (the drive).
TEST_F(SmartWindowTest, HealthOptionEndsTheReportWithTheHealthSection) {
  SmartOptions o;
  o.identify = true;
  o.health = true;
  const Shown shown = GetSmart(0, o);
  std::ostringstream out, err;
  cli::Run({"disktest-cli", "health", "0"}, out, err);
  std::vector<std::string> want = Cli(0, o);
  std::istringstream in(out.str());
  std::string line;
  std::getline(in, line);
  want.push_back("");
  while (std::getline(in, line)) want.push_back(line);
  ASSERT_GT(want.size(), Cli(0, o).size() + 5);
  EXPECT_EQ(want[Cli(0, o).size() + 1], "Health");
  EXPECT_EQ(shown.memo, want);
  EXPECT_EQ(data_.RxMemoryData2, want);
}

TEST_F(SmartWindowTest, ADiskWithoutPassThroughShowsItsFailuresAndLongLinesAreCutInTheTable) {
  const SmartOptions all{true, true, true, false};
  const Shown shown = GetSmart(1, all);
  EXPECT_EQ(shown.memo, Cli(1, all));
  EXPECT_NE(std::find(shown.memo.begin(), shown.memo.end(), "No support SMART"), shown.memo.end());
  EXPECT_EQ(portrait_.QRLabel1.Caption, "   ");
  EXPECT_EQ(landscape_.QRLabel1.Caption, "   ");

  // 300 Cyrillic letters: whole in the memo, 256 of them in the record.
  std::string cyrillic;
  for (int i = 0; i < 300; ++i) cyrillic += i % 2 ? "\xD1\x8F" : "\xD0\x96";
  window_.Logic().AddLine(cyrillic);
  EXPECT_EQ(window_.SMARTinfoTEXT->Lines().back(), cyrillic);
  EXPECT_EQ(data_.RxMemoryData2.back(), cyrillic.substr(0, 2 * app::kSmartRecordChars));
  EXPECT_EQ(data_.RxMemoryData2.size(), shown.memo.size() + 1);
}

// An NVMe disk shows the controller's report, as the CLI prints it, and
// the printed pages are titled with the controller's identity.
TEST_F(SmartWindowTest, AnNvmeDiskShowsTheNvmeReport) {
  const Shown shown = GetSmart(2, SmartOptions{});
  EXPECT_EQ(shown.memo, Cli(2, SmartOptions{}));
  for (const char* l : {"NVMe controller (Identify Controller)",
                        "Data units read                      : 31,478,112 [16.1 TB]",
                        "Power-on hours                       : 4,127"})
    EXPECT_NE(std::find(shown.memo.begin(), shown.memo.end(), l), shown.memo.end()) << l;
  EXPECT_EQ(std::find(shown.memo.begin(), shown.memo.end(), "No support SMART"), shown.memo.end());
  EXPECT_EQ(portrait_.QRLabel1.Caption, "Corvale CV3 NVMe 4GB 3B2QGXA7 CV3A21K0774193 ");
}

TEST_F(SmartWindowTest, CopyPutsTheWholeTextOnTheClipboard) {
  const SmartOptions o{true, false, true, false};  // with the Russian IDENTIFY report
  if (OpenClipboard(nullptr)) {
    EmptyClipboard();
    CloseClipboard();
  }
  std::wstring copied;
  GetSmart(0, o, [&] {
    Click(window_.Get<Button>("Button1"));
    copied = ClipboardText();
  });
  std::string want;
  for (const std::string& line : Cli(0, o)) want += (want.empty() ? "" : "\r\n") + line;
  EXPECT_EQ(copied, Wide(want));
}

TEST_F(SmartWindowTest, FontDialogOpensOnTheMemosFontAndTheMemoTakesTheChoice) {
  const std::string before = FaceOf(window_.SMARTinfoTEXT->Font());
  // Another face that every test machine has (fonts-liberation2).
  const std::string other = before == "Liberation Mono" ? "Liberation Serif" : "Liberation Mono";
  std::string caption, shownFace;
  bool offered = false;
  int dialogs = 0;
  GetSmart(
      0, SmartOptions{}, [&] { Click(window_.Get<Button>("Button4")); },
      [&](HWND d) {
        ++dialogs;
        caption = WindowText(d);
        shownFace = WindowText(GetDlgItem(d, kFaceList));
        const HWND faces = GetDlgItem(d, kFaceList);
        const LRESULT i = SendMessageW(faces, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                       reinterpret_cast<LPARAM>(Wide(other).c_str()));
        offered = i != CB_ERR;
        SendMessageW(faces, CB_SETCURSEL, static_cast<WPARAM>(i), 0);
        SendMessageW(d, WM_COMMAND, MAKEWPARAM(kFaceList, CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(faces));
        const HWND sizes = GetDlgItem(d, kSizeList);
        SendMessageW(sizes, CB_SELECTSTRING, static_cast<WPARAM>(-1),
                     reinterpret_cast<LPARAM>(L"14"));
        SendMessageW(d, WM_COMMAND, MAKEWPARAM(kSizeList, CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(sizes));
        Answer(d, IDOK);
      });
  EXPECT_EQ(dialogs, 1);
  EXPECT_EQ(caption, smart_window::kFontDialogTitle);
  EXPECT_EQ(shownFace, before);
  ASSERT_TRUE(offered) << other << " is not offered";
  const HFONT font = window_.SMARTinfoTEXT->Font();
  EXPECT_EQ(FaceOf(font), other);
  EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageW(window_.SMARTinfoTEXT->hwnd(), WM_GETFONT, 0, 0)),
            font);
  LOGFONTW lf{};
  GetObjectW(font, sizeof lf, &lf);
  EXPECT_EQ(-lf.lfHeight, PointsToPixels(14));
}

TEST_F(SmartWindowTest, PrintWithoutAPrinterEndsWithAMessage) {
  std::vector<std::string> texts;
  bool stillOpen = false;
  GetSmart(
      0, SmartOptions{},
      [&] {
        Click(window_.Get<Button>("Button3"));
        stillOpen = window_.Visible() && IsWindowEnabled(window_.hwnd());
      },
      [&](HWND box) {
        texts.push_back(BoxText(box));
        Answer(box, IDCANCEL);
      });
  EXPECT_TRUE(stillOpen);
  ASSERT_FALSE(texts.empty()) << "no message";
  EXPECT_NE(texts.back(), "");
}

}  // namespace
}  // namespace dt::win::test
