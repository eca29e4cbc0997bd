// The printed reports of the Windows program: pages drawn into enhanced
// metafiles and read back record by record (every text with its place, the
// chart's line), the print without a printer, and the preview window driven
// through its buttons.
#include <gtest/gtest.h>
#include <windows.h>
#include <winspool.h>

#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "forms/preview_form.h"
#include "speedtest/report_forms.h"
#include "ui/win32/data_module.h"
#include "ui/win32/notifier.h"
#include "ui/win32/report_page.h"
#include "ui/win32/smart_report_pages.h"
#include "win_test_util.h"

namespace dt::win::test {
namespace {

// A text of a metafile with its top-left corner and width in millimetres
// from the paper's edge.
struct Text {
  std::string text;
  double left = 0;
  double top = 0;
  double width = 0;
};

// What a page drew: its texts in drawing order and its polylines' points in
// millimetres.
struct Drawn {
  PageDevice device;
  std::vector<Text> texts;
  std::vector<std::pair<DWORD, DWORD>> pens;  // the style and width of every pen made
  std::vector<std::vector<POINT>> polylines;

  const Text* Find(const std::string& s) const {
    for (const Text& t : texts)
      if (t.text == s) return &t;
    return nullptr;
  }
};

// Draws a page into an enhanced metafile on the screen's resolution and
// reads its records back.
template <class Draw>
Drawn DrawToMetafile(const page::RectMm& paper, Draw&& draw) {
  HDC screen = GetDC(nullptr);
  const RECT frame{0, 0, static_cast<LONG>(paper.width * 100),
                   static_cast<LONG>(paper.height * 100)};
  HDC dc = CreateEnhMetaFileW(screen, nullptr, &frame, nullptr);
  const PageDevice device = DeviceOf(dc);
  draw(dc);
  HENHMETAFILE emf = CloseEnhMetaFile(dc);
  ReleaseDC(nullptr, screen);
  std::vector<BYTE> bits(GetEnhMetaFileBits(emf, 0, nullptr));
  GetEnhMetaFileBits(emf, static_cast<UINT>(bits.size()), bits.data());
  DeleteEnhMetaFile(emf);

  Drawn drawn;
  drawn.device = device;
  for (std::size_t at = 0; at + sizeof(EMR) <= bits.size();) {
    const auto* r = reinterpret_cast<const ENHMETARECORD*>(bits.data() + at);
    if (r->nSize == 0) break;
    if (r->iType == EMR_EXTTEXTOUTW) {
      const auto* t = reinterpret_cast<const EMREXTTEXTOUTW*>(r);
      const auto* chars = reinterpret_cast<const wchar_t*>(bits.data() + at + t->emrtext.offString);
      double width = 0;
      if (t->emrtext.offDx) {
        const auto* dx = reinterpret_cast<const INT*>(bits.data() + at + t->emrtext.offDx);
        for (DWORD i = 0; i < t->emrtext.nChars; ++i) width += dx[i];
      }
      drawn.texts.push_back({Utf8(std::wstring(chars, t->emrtext.nChars)),
                             (t->emrtext.ptlReference.x - device.originX) / device.dotsPerMmX,
                             (t->emrtext.ptlReference.y - device.originY) / device.dotsPerMmY,
                             width / device.dotsPerMmX});
    } else if (r->iType == EMR_EXTCREATEPEN) {
      // EMR, ihPen, offBmi, cbBmi, offBits, cbBits, then the pen.
      const auto* pen = reinterpret_cast<const EXTLOGPEN32*>(bits.data() + at + 28);
      drawn.pens.emplace_back(pen->elpPenStyle, pen->elpWidth);
    } else if (r->iType == EMR_CREATEPEN) {
      // Wine records an extended pen so too, with its style and width.
      const auto* pen = reinterpret_cast<const EMRCREATEPEN*>(r);
      drawn.pens.emplace_back(pen->lopn.lopnStyle, static_cast<DWORD>(pen->lopn.lopnWidth.x));
    } else if (r->iType == EMR_POLYLINE16) {
      const auto* p = reinterpret_cast<const EMRPOLYLINE16*>(r);
      std::vector<POINT> pts;
      for (DWORD i = 0; i < p->cpts; ++i) pts.push_back({p->apts[i].x, p->apts[i].y});
      drawn.polylines.push_back(pts);
    }
    at += r->nSize;
  }
  return drawn;
}

constexpr double kTolerance = 0.4;  // mm: a pixel and a half at 96 dpi

void ExpectAt(const Drawn& d, const std::string& text, double left, double top) {
  SCOPED_TRACE(text);
  const Text* t = d.Find(text);
  ASSERT_NE(t, nullptr);
  EXPECT_NEAR(t->left, left, kTolerance);
  EXPECT_NEAR(t->top, top, kTolerance);
}

bool Inside(const Text& t, const page::RectMm& r) {
  return t.left >= r.left - kTolerance && t.top >= r.top - kTolerance &&
         t.left + t.width <= r.left + r.width + kTolerance && t.top <= r.top + r.height;
}

TEST(PrintedReports, SpeedAndTimeReportsPrintTheirLabelsAndChartInPlace) {
  PointTable table;
  for (int i = 1; i <= 5000; ++i)
    table.Append(SpeedPoint{1000 + (i % 97), i / 50.0, 100e6 - i * 10e3});
  TForm2 speed;
  TForm3 time;
  for (TReportPage* r : {static_cast<TReportPage*>(&speed), static_cast<TReportPage*>(&time)}) {
    const page::PageSpec& spec = r->Spec();
    SCOPED_TRACE(spec.name);
    ReportLabel* labels[] = {&r->QRLabel1, &r->QRLabel2, &r->QRLabel3, &r->QRLabel4, &r->QRLabel5,
                             &r->QRLabel6, &r->QRLabel7, &r->QRLabel8, &r->QRLabel9};
    for (int i = 0; i < 9; ++i) {
      const page::LabelSpec* l = spec.Find("QRLabel" + std::to_string(i + 1));
      EXPECT_EQ(labels[i]->LeftMm, l->leftMm);
      EXPECT_EQ(labels[i]->TopMm, l->topMm);
      labels[i]->Caption = "Label " + std::to_string(i + 1) + (i == 7 ? " Диск C:" : "");
    }
    r->SetSource(PointSource(&table, r == &speed ? PointField::Speed : PointField::Tm));
    const Drawn d = DrawToMetafile(page::A4(spec.orientation), [&](HDC dc) { r->Render(dc); });

    for (const ReportLabel* l : labels) ExpectAt(d, l->Caption, l->LeftMm, l->TopMm);
    // The print time in the title band's corner.
    const page::LabelSpec* when = spec.Find("QRSysData1");
    bool timeShown = false;
    for (const Text& t : d.texts)
      timeShown |= std::abs(t.left - when->leftMm) < kTolerance &&
                   std::abs(t.top - when->topMm) < kTolerance && t.text.size() >= 8;
    EXPECT_TRUE(timeShown);

    // The chart: its title and every axis label inside its place, the line
    // made of every point that the table gave for the chart's width.
    const page::ChartSpec& c = *spec.chart;
    const Text* title = d.Find(c.title);
    ASSERT_NE(title, nullptr);
    EXPECT_TRUE(Inside(*title, c.place));
    EXPECT_NEAR(title->left + title->width / 2, c.place.left + c.place.width / 2, 2.0);
    const ChartScales& s = r->ChartScalesShown();
    ASSERT_GE(s.x.ticks, 2);
    ASSERT_GE(s.y.ticks, 2);
    for (int i = 0; i < s.x.ticks; ++i) {
      const Text* t =
          d.Find(AxisLabel(s.x.min + (s.x.max - s.x.min) * i / (s.x.ticks - 1), s.x.decimals));
      ASSERT_NE(t, nullptr);
      EXPECT_TRUE(Inside(*t, c.place));
    }
    for (int i = 0; i < s.y.ticks; ++i) {
      const Text* t =
          d.Find(AxisLabel(s.y.min + (s.y.max - s.y.min) * i / (s.y.ticks - 1), s.y.decimals));
      ASSERT_NE(t, nullptr);
      EXPECT_TRUE(Inside(*t, c.place));
    }
    if (r == &speed) {
      // Large values with their digits grouped, as the user's locale does.
      wchar_t point[8] = {}, thousands[8] = {};
      GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, point, 8);
      GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STHOUSAND, thousands, 8);
      if (std::wstring(point) == L"." && std::wstring(thousands) == L",") {
        EXPECT_EQ(AxisLabel(100e6, 0), "100,000,000");
        EXPECT_EQ(AxisLabel(2500000, 1), "2,500,000.0");
        EXPECT_EQ(AxisLabel(-0.01, 0), "0");
      }
    }
    const Envelope& e = r->ChartShown();
    EXPECT_GT(e.points.size(), 1000u);
    // At most the first, lowest, highest and last point of every column.
    EXPECT_LE(e.points.size(), 4u * static_cast<std::size_t>(c.place.width * c.columnsPerMm));
    std::size_t points = 0;
    const RECT place = d.device.Rect(c.place);
    for (const auto& line : d.polylines) {
      points += line.size();
      for (const POINT& p : line) {
        EXPECT_TRUE(p.x >= place.left && p.x <= place.right && p.y >= place.top &&
                    p.y <= place.bottom);
      }
    }
    EXPECT_EQ(points, e.points.size());

    // At a printer's resolution the chart's lines are as wide as a pixel of
    // its 96 dpi layout, and the time chart's stay dashed.
    const Drawn fine = DrawToMetafile(page::A4(spec.orientation), [&](HDC dc) {
      r->RenderPage(dc, ScaledDevice(600 / 25.4, 0, 0), "now");
    });
    ASSERT_EQ(fine.pens.size(), 3u);  // grid, axes, line
    for (const auto& [style, width] : fine.pens) {
      EXPECT_EQ(width, 6u);
      EXPECT_EQ(style & PS_STYLE_MASK, static_cast<DWORD>(r == &time ? PS_USERSTYLE : PS_SOLID));
    }
  }
}

// SMART records for several pages: numbered attribute lines, Russian ones,
// an empty one and one long enough to wrap.
std::vector<std::string> SmartLines(int count) {
  std::vector<std::string> lines;
  for (int i = 0; i < count; ++i) {
    if (i % 7 == 3)
      lines.push_back("Атрибут " + std::to_string(i) + "  Ошибки чтения  " + std::to_string(i * 3));
    else if (i == 20)
      lines.push_back("");
    else
      lines.push_back(std::to_string(i) + "  Raw_Read_Error_Rate  0x000f  100  100  051  " +
                      std::to_string(i * 1000));
  }
  std::string longLine;
  for (int w = 1; w <= 60; ++w)
    longLine += (w > 1 ? " " : "") + std::string("word") + std::to_string(w);
  lines.insert(lines.begin() + std::min(count, 30), longLine);
  return lines;
}

std::string NoSpaces(std::string s) {
  std::erase(s, ' ');
  return s;
}

TEST(PrintedReports, SmartReportPagesCarryTheHeaderAndEveryLineOnceInOrder) {
  const std::vector<std::string> lines = SmartLines(260);
  TSmartRep portrait(&lines);
  TSMARTrepLandscape landscape(&lines);
  for (TSmartReportPage* r :
       {static_cast<TSmartReportPage*>(&portrait), static_cast<TSmartReportPage*>(&landscape)}) {
    const page::PageSpec& spec = r->Spec();
    SCOPED_TRACE(spec.name);
    EXPECT_EQ(r->Caption, spec.caption);
    r->QRLabel1.Caption = "SAMSUNG HD501LJ Диск";
    const int pages = r->PageCount();
    EXPECT_GE(pages, 2);
    const page::RectMm paper = page::A4(spec.orientation);
    const double bottom = paper.height - spec.marginMm;
    const page::LabelSpec* when = spec.Find("QRSysData1");
    const page::LabelSpec* number = spec.Find("QRSysData2");

    std::vector<std::string> printed;
    double lineHeight = 0;
    std::vector<double> lastBottom;
    for (int k = 0; k < pages; ++k) {
      SCOPED_TRACE("page " + std::to_string(k + 1));
      const Drawn d = DrawToMetafile(
          paper, [&](HDC dc) { r->RenderPage(dc, DeviceOf(dc), k, "01.02.2024 10:20"); });
      ASSERT_GE(d.texts.size(), 4u);
      // The header: drive title, time and page number on the top line.
      ExpectAt(d, r->QRLabel1.Caption, r->QRLabel1.LeftMm, r->QRLabel1.TopMm);
      ExpectAt(d, "01.02.2024 10:20", when->leftMm, when->topMm);
      ExpectAt(d, number->caption + std::to_string(k + 1), number->leftMm, number->topMm);
      // The lines below it, one under the other inside the margins.
      double y = 0, last = 0;
      for (std::size_t i = 3; i < d.texts.size(); ++i) {
        const Text& t = d.texts[i];
        EXPECT_NEAR(t.left, spec.marginMm, kTolerance);
        EXPECT_LE(t.left + t.width, paper.width - spec.marginMm + kTolerance);
        EXPECT_GT(t.top, r->QRLabel1.TopMm + 3);
        EXPECT_GT(t.top, y);
        if (i > 3 && lineHeight == 0) lineHeight = t.top - y;
        y = t.top;
        last = t.top + lineHeight;
        printed.push_back(t.text);
      }
      EXPECT_LE(last, bottom + kTolerance);
      lastBottom.push_back(last);
    }
    // Full pages: the next record did not fit below the last line.
    for (int k = 0; k + 1 < pages; ++k) EXPECT_GT(lastBottom[k] + lineHeight, bottom);

    // Every record once and in order; the long one in pieces broken at its
    // spaces.
    std::size_t at = 0;
    for (const std::string& record : lines) {
      if (record.empty()) continue;
      ASSERT_LT(at, printed.size());
      std::string got = printed[at++];
      while (NoSpaces(got).size() < NoSpaces(record).size() && at < printed.size())
        got += " " + printed[at++];
      EXPECT_EQ(got, record);
    }
    EXPECT_EQ(at, printed.size());
  }
  // The portrait page's smaller print takes fewer pages.
  EXPECT_LT(portrait.PageCount(), landscape.PageCount());
}

// The drive title of the SMART report's page header ends before the print
// time on both pages, whole: blanks at its end take no room, and a title too
// long for the room is narrowed; one that fits keeps its width.
TEST(PrintedReports, SmartReportTitleEndsBeforeThePrintTime) {
  const std::vector<std::string> lines = SmartLines(3);
  TSmartRep portrait(&lines);
  TSMARTrepLandscape landscape(&lines);
  const std::string now = "12/8/2026 10:32 PM";
  const std::string model = "WDC WD5000AAKS-00TMA0";
  const std::string padded =
      model + std::string(40 - model.size(), ' ') + " 12.01C02" + "      WD-WCAPW0493929 ";
  const std::string longest = std::string(40, 'W') + " 12345678 " + std::string(20, 'W') + " ";
  const std::string fits = "ST9100821AS 3.AAD 5NJ0ABCD ";
  std::map<std::string, double> widths;
  for (TSmartReportPage* r :
       {static_cast<TSmartReportPage*>(&portrait), static_cast<TSmartReportPage*>(&landscape)}) {
    const page::PageSpec& spec = r->Spec();
    const page::LabelSpec* when = spec.Find("QRSysData1");
    for (const std::string& title : {padded, longest, fits}) {
      SCOPED_TRACE(std::string(spec.name) + ": " + title);
      r->QRLabel1.Caption = title;
      r->PageCount();
      const Drawn d = DrawToMetafile(page::A4(spec.orientation),
                                     [&](HDC dc) { r->RenderPage(dc, DeviceOf(dc), 0, now); });
      // The whole title; blanks after it do not count.
      const Text* t = nullptr;
      for (const Text& drawn : d.texts)
        if (!t && drawn.text.substr(0, drawn.text.find_last_not_of(' ') + 1) ==
                      title.substr(0, title.find_last_not_of(' ') + 1))
          t = &drawn;
      ASSERT_NE(t, nullptr);
      EXPECT_NEAR(t->left, r->QRLabel1.LeftMm, kTolerance);
      EXPECT_NEAR(t->top, r->QRLabel1.TopMm, kTolerance);
      ExpectAt(d, now, when->leftMm, when->topMm);
      EXPECT_GT(t->width, 0);
      EXPECT_LE(t->left + t->width, when->leftMm);
      if (title == fits) widths[spec.name] = t->width;
    }
  }
  EXPECT_NEAR(widths["SmartRep"], widths["SMARTrepLandscape"], kTolerance);
}

TEST(PrintedReports, PrintWithoutAPrinterSaysSoAndPrintsNothing) {
  DWORD size = 0;
  if (GetDefaultPrinterW(nullptr, &size) || GetLastError() != ERROR_FILE_NOT_FOUND)
    GTEST_SKIP() << "a printer is installed";
  const ScopedWinNotifier notifier;
  std::vector<std::string> texts, captions;
  ModalWatcher watcher([&](HWND box) {
    texts.push_back(BoxText(box));
    captions.push_back(WindowText(box));
    Answer(box, IDOK);
  });
  const std::vector<std::string> lines = SmartLines(10);
  TForm3 time;
  TSmartRep smart(&lines);
  EXPECT_FALSE(time.Print(nullptr));
  EXPECT_FALSE(smart.Print(nullptr));
  EXPECT_FALSE(smart.PrinterSetup(nullptr));
  EXPECT_FALSE(time.Printer().Chosen());
  ASSERT_EQ(watcher.Seen(), 3);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(texts[i], kNoPrinterText);
    EXPECT_EQ(captions[i], kPrintCaption);
  }
}

// A search for the preview window with a caption among the thread's windows.
struct PreviewSearch {
  std::string caption;
  HWND found = nullptr;
};

BOOL CALLBACK FindPreview(HWND h, LPARAM p) {
  auto* s = reinterpret_cast<PreviewSearch*>(p);
  if (IsWindowVisible(h) && IsWindowEnabled(h) && WindowText(h) == s->caption &&
      GetDlgItem(h, PrintPreviewForm().Find("PageLabel")->id)) {
    s->found = h;
    return FALSE;
  }
  return TRUE;
}

// The preview window of this process with that caption, while it shows.
HWND PreviewWindow(const std::string& caption) {
  PreviewSearch search{caption};
  EnumThreadWindows(GetCurrentThreadId(), &FindPreview, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// The preview's control of that name.
HWND Item(HWND preview, const char* name) {
  return GetDlgItem(preview, PrintPreviewForm().Find(name)->id);
}

TEST(PrintedReports, PreviewShowsTheReportAndPagesThroughIt) {
  const std::vector<std::string> lines = SmartLines(300);
  TSmartRep smart(&lines);
  smart.QRLabel1.Caption = "SAMSUNG HD501LJ";
  const int pages = smart.PageCount();
  ASSERT_GE(pages, 3);
  PointTable table;
  for (int i = 1; i <= 400; ++i) table.Append(SpeedPoint{1000, i / 4.0, 80e6 + (i % 13) * 1e6});
  TForm2 speed;
  speed.SetSource(PointSource(&table, PointField::Speed));

  struct Seen {
    SIZE client{};
    std::vector<std::string> labels;
    std::vector<bool> prev, next;
    // The view's scroll bar with the page as wide as the window: its
    // range, page and the positions after a page down, at the bottom and
    // on the next page.
    SCROLLINFO bar{};
    int afterPageDown = -1, atBottom = -1, onNextPage = -1;
  };
  auto look = [&](HWND w, Seen& seen, int steps) {
    RECT rc;
    GetClientRect(w, &rc);
    seen.client = {rc.right, rc.bottom};
    auto note = [&] {
      seen.labels.push_back(WindowText(Item(w, "PageLabel")));
      seen.prev.push_back(IsWindowEnabled(Item(w, "PrevBtn")) != FALSE);
      seen.next.push_back(IsWindowEnabled(Item(w, "NextBtn")) != FALSE);
    };
    note();
    for (int i = 0; i < steps; ++i) {
      SendMessageW(Item(w, "NextBtn"), BM_CLICK, 0, 0);
      note();
    }
    SendMessageW(Item(w, "PrevBtn"), BM_CLICK, 0, 0);
    note();
    if (steps) {
      HWND view = Item(w, "PageView");
      SendMessageW(Item(w, "WidthBox"), BM_CLICK, 0, 0);
      seen.bar = {sizeof(SCROLLINFO), SIF_ALL, 0, 0, 0, 0, 0};
      GetScrollInfo(view, SB_VERT, &seen.bar);
      SendMessageW(view, WM_VSCROLL, SB_PAGEDOWN, 0);
      seen.afterPageDown = GetScrollPos(view, SB_VERT);
      SendMessageW(view, WM_VSCROLL, SB_BOTTOM, 0);
      seen.atBottom = GetScrollPos(view, SB_VERT);
      SendMessageW(Item(w, "NextBtn"), BM_CLICK, 0, 0);
      seen.onNextPage = GetScrollPos(view, SB_VERT);
    }
    SendMessageW(Item(w, "CloseBtn"), BM_CLICK, 0, 0);
  };

  Seen s, r;
  {
    ModalWatcher watcher([&](HWND w) { look(w, s, pages - 1); },
                         [&] { return PreviewWindow(smart.Caption); });
    smart.Preview(nullptr);
    EXPECT_EQ(watcher.Seen(), 1);
  }
  {
    ModalWatcher watcher([&](HWND w) { look(w, r, 0); },
                         [&] { return PreviewWindow(speed.Spec().caption); });
    speed.Preview(nullptr);
    EXPECT_EQ(watcher.Seen(), 1);
  }
  EXPECT_EQ(s.client.cx, page::kPreviewWidth);
  EXPECT_EQ(s.client.cy, page::kPreviewHeight);
  std::vector<std::string> want;
  for (int i = 0; i < pages; ++i) want.push_back(preview::PageOf(i, pages));
  want.push_back(preview::PageOf(pages - 2, pages));
  EXPECT_EQ(s.labels, want);
  EXPECT_EQ(s.labels.front(), "Page 1 of " + std::to_string(pages));
  EXPECT_FALSE(s.prev.front());
  EXPECT_TRUE(s.next.front());
  EXPECT_TRUE(s.prev[static_cast<std::size_t>(pages) - 1]);
  EXPECT_FALSE(s.next[static_cast<std::size_t>(pages) - 1]);
  // As wide as the window, the portrait page is taller than the view and
  // scrolls; another page is shown from its top.
  const RECT view = [] {
    const form::Rect v = preview::ViewRect(page::kPreviewWidth, page::kPreviewHeight);
    return RECT{0, 0, v.width - GetSystemMetrics(SM_CXVSCROLL), v.height};
  }();
  EXPECT_EQ(s.bar.nMax + 1, preview::ContentHeight(page::A4(page::Orientation::Portrait),
                                                   view.right, view.bottom, true));
  EXPECT_EQ(s.bar.nPage, static_cast<UINT>(view.bottom));
  const int most = s.bar.nMax + 1 - view.bottom;
  EXPECT_GT(most, view.bottom / 2);
  EXPECT_EQ(s.afterPageDown, std::min<int>(view.bottom, most));
  EXPECT_EQ(s.atBottom, most);
  EXPECT_EQ(s.onNextPage, 0);
  // A one-page report cannot be paged through.
  EXPECT_EQ(r.labels, (std::vector<std::string>{"Page 1 of 1", "Page 1 of 1"}));
  EXPECT_EQ(r.prev, (std::vector<bool>{false, false}));
  EXPECT_EQ(r.next, (std::vector<bool>{false, false}));
}

}  // namespace
}  // namespace dt::win::test
