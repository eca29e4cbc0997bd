#include "ata/smart_report_form.h"

#include <array>

namespace dt {

namespace {

using page::Band;
using page::LabelSpec;
using page::PixelsMm;
using page::Shows;

constexpr double kMargin = 10.0;
constexpr page::Font kHeader{"Arial", 10, true};

// The page header: the drive title at the band's left edge, the date and
// the page number `date` and `number` pixels (96 dpi) right of it.
constexpr std::array<LabelSpec, 3> Header(int date, int number) {
  return {{
      {"QRLabel1", Band::PageHeader, Shows::Caption, "QRLabel1", kMargin, kMargin, kHeader},
      {"QRSysData1", Band::PageHeader, Shows::PrintTime, "", kMargin + PixelsMm(date), kMargin,
       kHeader},
      {"QRSysData2", Band::PageHeader, Shows::PageNumber, "Page ", kMargin + PixelsMm(number),
       kMargin, kHeader},
  }};
}

constexpr auto kPortraitHeader = Header(456, 632);
constexpr page::PageSpec kPortrait{
    "SmartRep", "SMART report",  "SMART report", page::Orientation::Portrait,    kMargin, 0,
    1.5,        kPortraitHeader, nullptr,        {"Courier New", 6, false, true}};

constexpr auto kLandscapeHeader = Header(718, 886);
constexpr page::PageSpec kLandscape{"SMARTrepLandscape",
                                    "SMART report",
                                    "SMART report",
                                    page::Orientation::Landscape,
                                    kMargin,
                                    0,
                                    1.5,
                                    kLandscapeHeader,
                                    nullptr,
                                    {"Courier New", 8, false, true}};

}  // namespace

const page::PageSpec& SmartReportPage() {
  return kPortrait;
}
const page::PageSpec& SmartReportLandscapePage() {
  return kLandscape;
}

}  // namespace dt
