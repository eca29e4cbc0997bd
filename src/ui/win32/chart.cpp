#include "ui/win32/chart.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace dt::win {

namespace {

constexpr int kMaxPolyline = 8000;

SIZE TextSize(HDC dc, const std::wstring& text) {
  SIZE s{0, 0};
  GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &s);
  return s;
}

void Text(HDC dc, int x, int y, const std::wstring& text) {
  TextOutW(dc, x, y, text.c_str(), static_cast<int>(text.size()));
}

// A pen of `width` device pixels. A wider dashed one is a geometric pen
// with its dashes spelled out in pen widths (dash 4, gaps 2, dots 1), as
// printer drivers draw a wide pen of a predefined style solid.
HPEN MakePen(int style, int width, COLORREF colour) {
  if (width <= 1) return CreatePen(style, 1, colour);
  const LOGBRUSH brush{BS_SOLID, colour, 0};
  std::vector<DWORD> dashes;
  switch (style) {
    case PS_DASH:
      dashes = {4, 2};
      break;
    case PS_DOT:
      dashes = {1, 2};
      break;
    case PS_DASHDOT:
      dashes = {4, 2, 1, 2};
      break;
    case PS_DASHDOTDOT:
      dashes = {4, 2, 1, 2, 1, 2};
      break;
    default:
      break;
  }
  for (DWORD& d : dashes) d *= static_cast<DWORD>(width);
  const DWORD kind = dashes.empty() ? PS_SOLID : PS_USERSTYLE;
  return ExtCreatePen(PS_GEOMETRIC | kind | PS_ENDCAP_FLAT | PS_JOIN_ROUND,
                      static_cast<DWORD>(width), &brush, static_cast<DWORD>(dashes.size()),
                      dashes.empty() ? nullptr : dashes.data());
}

double TickValue(const AxisScale& s, int i) {
  return s.ticks > 1 ? s.min + (s.max - s.min) * i / (s.ticks - 1) : s.min;
}

}  // namespace

ChartLook PageLook(const page::ChartSpec& spec) {
  ChartLook look;
  look.fontFamily = spec.fontFamily;
  look.titlePixels = spec.titlePixels;
  look.labelPixels = spec.labelPixels;
  auto colour = [](std::uint32_t rgb) {
    return RGB((rgb >> 16) & 0xff, (rgb >> 8) & 0xff, rgb & 0xff);
  };
  look.line = colour(spec.lineRgb);
  look.dashDotDot = spec.dashDotDot;
  look.axis = spec.dashDotDot ? colour(spec.lineRgb) : RGB(0, 0, 0);
  look.grid = colour(spec.gridRgb);
  look.leftGrid = spec.leftGrid;
  look.background = false;
  return look;
}

ChartScales ChartScales::For(const Envelope& e) const {
  if (e.empty()) return ChartScales{kEmptyScale, kEmptyScale};
  return ChartScales{NiceScale(e.xMin, e.xMax, x.ticks), NiceScale(e.yMin, e.yMax, y.ticks)};
}

std::string AxisLabel(double value, int decimals) {
  decimals = std::clamp(decimals, 0, 9);
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
  std::string s = buffer;
  if (s == "-0") s = "0";
  // In the user's number format: its decimal point and digit grouping.
  wchar_t point[8] = L".", thousands[8] = L",", grouping[16] = L"3;0";
  GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, point, 8);
  GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STHOUSAND, thousands, 8);
  GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SGROUPING, grouping, 16);
  NUMBERFMTW format{};
  format.NumDigits = static_cast<UINT>(decimals);
  format.LeadingZero = 1;
  // "3;0" groups by three, "3;2;0" by three and then by two.
  format.Grouping = grouping[0] == L'3' && grouping[2] == L'2' ? 32 : (grouping[0] - L'0') % 10;
  format.lpDecimalSep = point;
  format.lpThousandSep = thousands;
  format.NegativeOrder = 1;
  wchar_t out[96];
  if (GetNumberFormatW(LOCALE_USER_DEFAULT, 0, Wide(s).c_str(), &format, out, 96) > 0)
    return Utf8(out);
  return s;
}

void DrawChart(HDC dc, const RECT& r, const std::string& title, const Envelope& e,
               const ChartScales& scales, const ChartLook& look) {
  const int saved = SaveDC(dc);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(0, 0, 0));
  if (look.background) {
    HBRUSH white = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    FillRect(dc, &r, white);
  }
  HFONT titleFont = FontOf({look.fontFamily}, look.titlePixels, true);
  HFONT labelFont = FontOf({look.fontFamily}, look.labelPixels);

  // The title, centred above the plot.
  SelectObject(dc, titleFont);
  const std::wstring wtitle = Wide(title);
  const SIZE ts = TextSize(dc, wtitle);
  const int pad = std::max(2, look.labelPixels / 2);
  Text(dc, (r.left + r.right - ts.cx) / 2, r.top + pad, wtitle);

  // The labels of both axes, to size the plot.
  SelectObject(dc, labelFont);
  std::vector<std::wstring> xl, yl;
  int yw = 0;
  for (int i = 0; i < scales.y.ticks; ++i) {
    yl.push_back(Wide(AxisLabel(TickValue(scales.y, i), scales.y.decimals)));
    yw = std::max<int>(yw, TextSize(dc, yl.back()).cx);
  }
  for (int i = 0; i < scales.x.ticks; ++i)
    xl.push_back(Wide(AxisLabel(TickValue(scales.x, i), scales.x.decimals)));
  const int lh = TextSize(dc, L"0").cy;
  const int lastHalf = xl.empty() ? 0 : TextSize(dc, xl.back()).cx / 2;
  RECT plot{r.left + 2 * pad + yw + 2 * pad, r.top + 2 * pad + ts.cy + pad,
            r.right - std::max(2 * pad, lastHalf + pad), r.bottom - 2 * pad - lh};
  if (plot.right <= plot.left || plot.bottom <= plot.top) {
    RestoreDC(dc, saved);
    return;
  }
  if (look.background) {
    HBRUSH white = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    FillRect(dc, &plot, white);
  }
  const double pw = plot.right - plot.left, ph = plot.bottom - plot.top;
  auto px = [&](double x) {
    return plot.left +
           static_cast<int>((x - scales.x.min) / (scales.x.max - scales.x.min) * pw + 0.5);
  };
  auto py = [&](double y) {
    return plot.bottom -
           static_cast<int>((y - scales.y.min) / (scales.y.max - scales.y.min) * ph + 0.5);
  };

  const int style = look.dashDotDot ? PS_DASHDOTDOT : PS_SOLID;
  HPEN gridPen = MakePen(style, look.penWidth, look.grid);
  HPEN axisPen = MakePen(style, look.penWidth, look.axis);
  // Grid lines at the ticks: across the plot at every X tick, and at every
  // Y tick where the left axis has a grid.
  SelectObject(dc, gridPen);
  for (int i = 0; i < scales.x.ticks; ++i) {
    const int x = px(TickValue(scales.x, i));
    MoveToEx(dc, x, plot.top, nullptr);
    LineTo(dc, x, plot.bottom);
  }
  if (look.leftGrid) {
    for (int i = 0; i < scales.y.ticks; ++i) {
      const int y = py(TickValue(scales.y, i));
      MoveToEx(dc, plot.left, y, nullptr);
      LineTo(dc, plot.right, y);
    }
  }
  // The axes and their labels.
  SelectObject(dc, axisPen);
  MoveToEx(dc, plot.left, plot.top, nullptr);
  LineTo(dc, plot.left, plot.bottom);
  LineTo(dc, plot.right, plot.bottom);
  for (int i = 0; i < scales.x.ticks; ++i) {
    const int x = px(TickValue(scales.x, i));
    MoveToEx(dc, x, plot.bottom, nullptr);
    LineTo(dc, x, plot.bottom + pad);
    const SIZE s = TextSize(dc, xl[static_cast<std::size_t>(i)]);
    Text(dc, x - s.cx / 2, plot.bottom + pad, xl[static_cast<std::size_t>(i)]);
  }
  for (int i = 0; i < scales.y.ticks; ++i) {
    const int y = py(TickValue(scales.y, i));
    MoveToEx(dc, plot.left - pad, y, nullptr);
    LineTo(dc, plot.left, y);
    const SIZE s = TextSize(dc, yl[static_cast<std::size_t>(i)]);
    Text(dc, plot.left - 2 * pad - s.cx, y - s.cy / 2, yl[static_cast<std::size_t>(i)]);
  }

  // The line, clipped to the plot.
  if (!e.empty()) {
    IntersectClipRect(dc, plot.left, plot.top, plot.right + 1, plot.bottom + 1);
    HPEN linePen = MakePen(style, look.penWidth, look.line);
    SelectObject(dc, linePen);
    std::vector<POINT> pts;
    pts.reserve(std::min<std::size_t>(e.points.size(), kMaxPolyline));
    auto flush = [&] {
      if (pts.size() >= 2) Polyline(dc, pts.data(), static_cast<int>(pts.size()));
      if (!pts.empty()) pts.erase(pts.begin(), pts.end() - 1);
    };
    for (const ChartPoint& p : e.points) {
      if (!FinitePoint(p)) continue;
      pts.push_back(POINT{px(p.x), py(p.y)});
      if (pts.size() >= kMaxPolyline) flush();
    }
    if (pts.size() == 1) pts.push_back(pts.front());
    flush();
    SelectObject(dc, GetStockObject(BLACK_PEN));
    DeleteObject(linePen);
  }
  RestoreDC(dc, saved);
  DeleteObject(gridPen);
  DeleteObject(axisPen);
}

void LineChart::Refresh() {
  RECT rc;
  GetClientRect(hwnd_, &rc);
  shown_ = source_ ? source_(std::max<int>(rc.right, kMinScreenColumns)) : Envelope{};
  scales_ = scales_.For(shown_);
  Redraw();
}

void LineChart::SetImage(int width, int height, const std::vector<std::uint8_t>& rgb) {
  if (width <= 0 || height <= 0 || rgb.size() < static_cast<std::size_t>(width) * height * 3) return;
  imageWidth_ = width;
  imageHeight_ = height;
  imageBgrx_.assign(static_cast<std::size_t>(width) * height * 4, 0);
  for (std::size_t i = 0, n = static_cast<std::size_t>(width) * height; i < n; ++i) {
    imageBgrx_[i * 4] = rgb[i * 3 + 2];
    imageBgrx_[i * 4 + 1] = rgb[i * 3 + 1];
    imageBgrx_[i * 4 + 2] = rgb[i * 3];
  }
  Redraw();
}

void LineChart::ClearImage() {
  if (imageWidth_ == 0) return;
  imageWidth_ = imageHeight_ = 0;
  imageBgrx_.clear();
  Redraw();
}

void LineChart::Paint(HDC dc, const RECT& client) {
  if (imageWidth_ > 0) {
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = imageWidth_;
    bi.bmiHeader.biHeight = -imageHeight_;  // top-down
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    StretchDIBits(dc, 0, 0, client.right, client.bottom, 0, 0, imageWidth_, imageHeight_,
                  imageBgrx_.data(), &bi, DIB_RGB_COLORS, SRCCOPY);
    return;
  }
  FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
  DrawChart(dc, client, spec_.caption, shown_, scales_, look_);
}

}  // namespace dt::win
