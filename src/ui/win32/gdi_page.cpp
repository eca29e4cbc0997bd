#include "ui/win32/gdi_page.h"

#include <commdlg.h>

#include <algorithm>
#include <cmath>

#include "base/notify.h"
#include "forms/preview_form.h"

namespace dt::win {

namespace {

int Round(double v) {
  return static_cast<int>(std::lround(v));
}

// Locks a global memory block for as long as it lives.
template <class T>
class Locked {
 public:
  explicit Locked(HGLOBAL h) : h_(h), p_(h ? static_cast<T*>(GlobalLock(h)) : nullptr) {}
  ~Locked() {
    if (p_) GlobalUnlock(h_);
  }
  Locked(const Locked&) = delete;
  Locked& operator=(const Locked&) = delete;
  T* operator->() const { return p_; }
  T* get() const { return p_; }

 private:
  HGLOBAL h_;
  T* p_;
};

}  // namespace

int PageDevice::X(double mm) const {
  return Round(originX + mm * dotsPerMmX);
}

int PageDevice::Y(double mm) const {
  return Round(originY + mm * dotsPerMmY);
}

int PageDevice::Width(double mm) const {
  return Round(mm * dotsPerMmX);
}

int PageDevice::Height(double mm) const {
  return Round(mm * dotsPerMmY);
}

RECT PageDevice::Rect(const page::RectMm& r) const {
  return RECT{X(r.left), Y(r.top), X(r.left + r.width), Y(r.top + r.height)};
}

PageDevice DeviceOf(HDC dc) {
  PageDevice d;
  d.dotsPerMmX = GetDeviceCaps(dc, LOGPIXELSX) / 25.4;
  d.dotsPerMmY = GetDeviceCaps(dc, LOGPIXELSY) / 25.4;
  d.originX = -GetDeviceCaps(dc, PHYSICALOFFSETX);
  d.originY = -GetDeviceCaps(dc, PHYSICALOFFSETY);
  return d;
}

PageDevice ScaledDevice(double dotsPerMm, int x, int y) {
  return PageDevice{dotsPerMm, dotsPerMm, static_cast<double>(x), static_cast<double>(y)};
}

PageFont::PageFont(const page::Font& font, const PageDevice& device, int averageWidth)
    : font_(CreateFontW(-std::max(1, Round(font.points * device.dotsPerMmY * 25.4 / 72.0)),
                        std::max(0, averageWidth), 0, 0, font.bold ? FW_BOLD : FW_NORMAL, FALSE,
                        FALSE, FALSE, DEFAULT_CHARSET, OUT_TT_PRECIS, CLIP_DEFAULT_PRECIS,
                        DEFAULT_QUALITY,
                        static_cast<DWORD>(font.fixedPitch ? (FIXED_PITCH | FF_MODERN)
                                                           : (VARIABLE_PITCH | FF_SWISS)),
                        Wide(font.family).c_str())) {}

PageFont::~PageFont() {
  if (font_) DeleteObject(font_);
}

void PageText(HDC dc, int x, int y, const std::string& text) {
  const std::wstring w = Wide(text);
  SetTextAlign(dc, TA_TOP | TA_LEFT | TA_NOUPDATECP);
  TextOutW(dc, x, y, w.c_str(), static_cast<int>(w.size()));
}

void PageTextFitted(HDC dc, const PageDevice& device, const page::Font& font, int x, int y,
                    int room, const std::string& text) {
  const std::wstring w = Wide(text);
  auto widthIn = [&](HFONT f, TEXTMETRICW* tm) {
    const HGDIOBJ old = SelectObject(dc, f);
    SIZE size{};
    GetTextExtentPoint32W(dc, w.c_str(), static_cast<int>(w.size()), &size);
    if (tm) GetTextMetricsW(dc, tm);
    SelectObject(dc, old);
    return static_cast<int>(size.cx);
  };
  // A text too long for its room is narrowed until it fits.
  const PageFont normal(font, device);
  TEXTMETRICW tm{};
  const int width = widthIn(normal.get(), &tm);
  int average = 0;
  if (width > room && room > 0 && tm.tmAveCharWidth > 0) {
    average =
        std::max(1, static_cast<int>(static_cast<long long>(tm.tmAveCharWidth) * room / width));
    while (average > 1 && widthIn(PageFont(font, device, average).get(), nullptr) > room) --average;
  }
  const PageFont drawn(font, device, average);
  const HGDIOBJ old = SelectObject(dc, drawn.get());
  PageText(dc, x, y, text);
  SelectObject(dc, old);
}

std::string PrintTime() {
  SYSTEMTIME t;
  GetLocalTime(&t);
  wchar_t date[80] = {}, time[80] = {};
  GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &t, nullptr, date, 80);
  GetTimeFormatW(LOCALE_USER_DEFAULT, TIME_NOSECONDS, &t, nullptr, time, 80);
  return Utf8(date) + " " + Utf8(time);
}

// --- ReportPrinter -----------------------------------------------------------

ReportPrinter::ReportPrinter(const page::PageSpec& spec) : spec_(spec) {}

ReportPrinter::~ReportPrinter() {
  Release();
}

void ReportPrinter::Release() {
  if (devMode_) GlobalFree(devMode_);
  if (devNames_) GlobalFree(devNames_);
  devMode_ = devNames_ = nullptr;
}

short ReportPrinter::PaperSize() const {
  Locked<DEVMODEW> dm(devMode_);
  return dm.get() ? dm->dmPaperSize : 0;
}

short ReportPrinter::Orientation() const {
  Locked<DEVMODEW> dm(devMode_);
  return dm.get() ? dm->dmOrientation : 0;
}

bool ReportPrinter::ChooseDefault(HWND owner) {
  PRINTDLGW pd{};
  pd.lStructSize = sizeof pd;
  pd.hwndOwner = owner;
  pd.Flags = PD_RETURNDEFAULT;
  if (!PrintDlgW(&pd)) {
    // PDERR_NODEFAULTPRN where no printer is installed; any other error
    // leaves no printer to print on either.
    Notify().ShowMessage(kPrintCaption, kNoPrinterText);
    return false;
  }
  Release();
  devMode_ = pd.hDevMode;
  devNames_ = pd.hDevNames;
  // The report's paper: A4 in the page's orientation.
  if (Locked<DEVMODEW> dm(devMode_); dm.get()) {
    dm->dmPaperSize = DMPAPER_A4;
    dm->dmOrientation = spec_.orientation == page::Orientation::Portrait
                            ? static_cast<short>(DMORIENT_PORTRAIT)
                            : static_cast<short>(DMORIENT_LANDSCAPE);
    dm->dmFields = (dm->dmFields | DM_PAPERSIZE | DM_ORIENTATION) &
                   ~static_cast<DWORD>(DM_PAPERLENGTH | DM_PAPERWIDTH | DM_FORMNAME);
  }
  return devNames_ != nullptr;
}

bool ReportPrinter::Setup(HWND owner) {
  if (!Chosen() && !ChooseDefault(owner)) return false;
  PRINTDLGW pd{};
  pd.lStructSize = sizeof pd;
  pd.hwndOwner = owner;
  pd.hDevMode = devMode_;
  pd.hDevNames = devNames_;
  pd.Flags = PD_PRINTSETUP;
  const bool ok = PrintDlgW(&pd) != FALSE;
  // The dialog may hand back new blocks in place of the ones it was given.
  devMode_ = pd.hDevMode;
  devNames_ = pd.hDevNames;
  if (!ok && CommDlgExtendedError() != 0) Notify().ShowMessage(kPrintCaption, kNoPrinterText);
  return ok;
}

bool ReportPrinter::Print(HWND owner, Printout& out) {
  if (!Chosen() && !ChooseDefault(owner)) return false;
  HDC dc = nullptr;
  {
    Locked<DEVNAMES> names(devNames_);
    Locked<DEVMODEW> dm(devMode_);
    if (names.get()) {
      const auto* base = reinterpret_cast<const wchar_t*>(names.get());
      dc = CreateDCW(base + names->wDriverOffset, base + names->wDeviceOffset, nullptr, dm.get());
    }
  }
  if (!dc) {
    Notify().ShowMessage(kPrintCaption, kPrintFailedText);
    return false;
  }
  const int pages = out.PageCount();
  const std::string now = PrintTime();
  const std::wstring job = Wide(spec_.jobName);
  DOCINFOW doc{};
  doc.cbSize = sizeof doc;
  doc.lpszDocName = job.c_str();
  bool ok = StartDocW(dc, &doc) > 0;
  const bool cancelled = !ok && GetLastError() == ERROR_CANCELLED;
  if (ok) {
    const PageDevice device = DeviceOf(dc);
    for (int i = 0; ok && i < pages; ++i) {
      ok = StartPage(dc) > 0;
      if (!ok) break;
      out.DrawPage(dc, device, i, now);
      ok = EndPage(dc) > 0;
    }
    if (ok)
      ok = EndDoc(dc) > 0;
    else
      AbortDoc(dc);
  }
  DeleteDC(dc);
  if (!ok && !cancelled) Notify().ShowMessage(kPrintCaption, kPrintFailedText);
  return ok;
}

}  // namespace dt::win
