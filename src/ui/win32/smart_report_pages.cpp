#include "ui/win32/smart_report_pages.h"

#include <algorithm>
#include <cmath>

#include "ata/smart_report_form.h"
#include "ui/win32/print_preview.h"

namespace dt::win {

namespace {

// The records are measured at this resolution, finer than any printer's, and
// laid out in millimetres from it.
constexpr double kLayoutDpi = 1200;

// The height and the line spacing of a font, in millimetres.
struct Metrics {
  double height = 0;
  double spacing = 0;
};

Metrics MetricsOf(HDC dc, const PageDevice& device) {
  TEXTMETRICW tm{};
  GetTextMetricsW(dc, &tm);
  return {tm.tmHeight / device.dotsPerMmY,
          (tm.tmHeight + tm.tmExternalLeading) / device.dotsPerMmY};
}

// A memory DC to measure text on, deleted with the object.
class MeasureDc {
 public:
  MeasureDc() : dc_(CreateCompatibleDC(nullptr)) {}
  ~MeasureDc() { DeleteDC(dc_); }
  MeasureDc(const MeasureDc&) = delete;
  MeasureDc& operator=(const MeasureDc&) = delete;
  HDC get() const { return dc_; }

 private:
  HDC dc_;
};

}  // namespace

// One line of a record as printed: its page, its top and text, and the right
// edge of each of its characters from the line's start, in millimetres.
struct TSmartReportPage::Line {
  int page = 0;
  double top = 0;
  std::wstring text;
  std::vector<double> rights;
};

TSmartReportPage::TSmartReportPage(const page::PageSpec& spec,
                                   const std::vector<std::string>* lines)
    : Caption(spec.caption), spec_(spec), lines_(lines), printer_(spec) {
  const page::LabelSpec& title = *spec.Find("QRLabel1");
  QRLabel1.Caption = title.caption;
  QRLabel1.LeftMm = title.leftMm;
  QRLabel1.TopMm = title.topMm;
}

TSmartReportPage::~TSmartReportPage() = default;

bool TSmartReportPage::PrinterSetup(HWND owner) {
  return printer_.Setup(owner);
}

void TSmartReportPage::Preview(HWND owner) {
  PreviewReport(
      owner, *this, Caption, [this](HWND h) { return Print(h); },
      [this](HWND h) { return PrinterSetup(h); });
}

bool TSmartReportPage::Print(HWND owner) {
  return printer_.Print(owner, *this);
}

int TSmartReportPage::PageCount() {
  LayOut();
  return pages_;
}

void TSmartReportPage::LayOut() {
  const PageDevice layout = ScaledDevice(kLayoutDpi / 25.4, 0, 0);
  const MeasureDc measure;
  HDC dc = measure.get();

  // The page header takes its lines of the tallest of its fonts.
  double header = 0;
  for (const page::LabelSpec& l : spec_.labels) {
    if (l.band != page::Band::PageHeader) continue;
    const PageFont font(l.font, layout);
    const HGDIOBJ old = SelectObject(dc, font.get());
    header = std::max(header, MetricsOf(dc, layout).spacing * spec_.headerLines);
    SelectObject(dc, old);
  }
  const page::RectMm paper = page::A4(spec_.orientation);
  const double margin = spec_.marginMm;
  const double top = margin + header;
  const double bottom = paper.height - margin;
  const int width = layout.Width(paper.width - 2 * margin);

  // Every record word-wrapped to the width inside the margins: at the last
  // space that fits, else wherever the width ends; spaces at a break are
  // dropped.
  const PageFont font(spec_.detail, layout);
  const HGDIOBJ old = SelectObject(dc, font.get());
  const Metrics m = MetricsOf(dc, layout);
  std::vector<Line> laid;
  std::vector<double> heights;
  std::vector<std::size_t> firstLine;
  for (const std::string& record : *lines_) {
    firstLine.push_back(laid.size());
    const std::wstring w = Wide(record);
    std::size_t at = 0;
    int count = 0;
    do {
      const std::size_t rest = w.size() - at;
      std::vector<int> extents(std::max<std::size_t>(rest, 1));
      int fit = 0;
      SIZE size{};
      GetTextExtentExPointW(dc, w.c_str() + at, static_cast<int>(rest), width, &fit, extents.data(),
                            &size);
      std::size_t end = w.size(), next = w.size();
      if (static_cast<std::size_t>(fit) < rest) {
        fit = std::max(fit, 1);
        std::size_t space = at + static_cast<std::size_t>(fit);
        while (space > at && w[space] != L' ') --space;
        std::size_t word = space;
        while (word > at && w[word - 1] == L' ') --word;
        if (word > at) {
          end = word;
          next = space;
          while (next < w.size() && w[next] == L' ') ++next;
        } else {
          end = next = at + static_cast<std::size_t>(fit);
        }
      }
      Line line;
      line.text = w.substr(at, end - at);
      for (std::size_t i = 0; i < end - at; ++i)
        line.rights.push_back(extents[i] / layout.dotsPerMmX);
      laid.push_back(std::move(line));
      ++count;
      at = next;
    } while (at < w.size());
    heights.push_back(count * m.height);
  }
  SelectObject(dc, old);

  const std::vector<page::Placed> placed = page::PlaceRecords(heights, m.spacing, top, bottom);
  for (std::size_t r = 0; r < placed.size(); ++r) {
    const std::size_t last = r + 1 < firstLine.size() ? firstLine[r + 1] : laid.size();
    for (std::size_t i = firstLine[r]; i < last; ++i) {
      laid[i].page = placed[r].page;
      laid[i].top = placed[r].top + static_cast<double>(i - firstLine[r]) * m.height;
    }
  }
  laid_ = std::move(laid);
  pages_ = page::PageCount(placed);
}

void TSmartReportPage::DrawHeader(HDC dc, const PageDevice& device, int index,
                                  const std::string& now) {
  for (const page::LabelSpec& l : spec_.labels) {
    if (l.band != page::Band::PageHeader) continue;
    if (l.shows == page::Shows::Caption) {
      // The header's one caption is the drive title, QRLabel1. It ends
      // before the print time: the blanks at its end print nothing, and a
      // title too long for the room is narrowed.
      std::string title = QRLabel1.Caption;
      title.erase(title.find_last_not_of(' ') + 1);
      PageTextFitted(dc, device, l.font, device.X(QRLabel1.LeftMm), device.Y(QRLabel1.TopMm),
                     device.Width(RoomMm(l, QRLabel1.LeftMm)), title);
      continue;
    }
    const std::string text =
        l.shows == page::Shows::PrintTime ? now : l.caption + std::to_string(index + 1);
    const PageFont font(l.font, device);
    const HGDIOBJ old = SelectObject(dc, font.get());
    PageText(dc, device.X(l.leftMm), device.Y(l.topMm), text);
    SelectObject(dc, old);
  }
}

double TSmartReportPage::RoomMm(const page::LabelSpec& label, double left) const {
  // A header label ends a little before the next one of its line.
  constexpr double kGapMm = 2;
  double right = page::A4(spec_.orientation).width - spec_.marginMm;
  for (const page::LabelSpec& l : spec_.labels) {
    if (&l != &label && l.band == label.band && l.topMm == label.topMm && l.leftMm > left)
      right = std::min(right, l.leftMm - kGapMm);
  }
  return std::max(0.0, right - left);
}

void TSmartReportPage::RenderPage(HDC dc, const PageDevice& device, int index,
                                  const std::string& now) {
  const int saved = SaveDC(dc);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(0, 0, 0));
  SetTextAlign(dc, TA_TOP | TA_LEFT | TA_NOUPDATECP);
  DrawHeader(dc, device, index, now);

  // The lines keep the places of their characters from the layout, so that
  // every device shows them as wide as they were measured.
  const PageFont font(spec_.detail, device);
  SelectObject(dc, font.get());
  const double left = spec_.marginMm;
  std::vector<INT> dx;
  for (const Line& line : laid_) {
    if (line.page != index || line.text.empty()) continue;
    dx.resize(line.text.size());
    int x = device.X(left);
    for (std::size_t i = 0; i < dx.size(); ++i) {
      const int right = device.X(left + line.rights[i]);
      dx[i] = right - x;
      x = right;
    }
    ExtTextOutW(dc, device.X(left), device.Y(line.top), 0, nullptr, line.text.c_str(),
                static_cast<UINT>(line.text.size()), dx.data());
  }
  RestoreDC(dc, saved);
}

void TSmartReportPage::Render(HDC dc, int index) {
  LayOut();
  RenderPage(dc, DeviceOf(dc), index, PrintTime());
}

void TSmartReportPage::DrawPage(HDC dc, const PageDevice& device, int index,
                                const std::string& now) {
  RenderPage(dc, device, index, now);
}

TSmartRep::TSmartRep(const std::vector<std::string>* lines)
    : TSmartReportPage(SmartReportPage(), lines) {}

TSMARTrepLandscape::TSMARTrepLandscape(const std::vector<std::string>* lines)
    : TSmartReportPage(SmartReportLandscapePage(), lines) {}

}  // namespace dt::win
