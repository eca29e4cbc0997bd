#include "speedtest/report_forms.h"

#include <array>

namespace dt {

namespace {

using page::Band;
using page::LabelSpec;
using page::Shows;

constexpr double kMargin = 10.0;
constexpr page::Font kBold{"Arial", 10, true};
constexpr page::Font kPlain{"Arial", 10};
// The rows of the two label columns.
constexpr double kRow[4] = {25.4, 31.75, 38.1, 44.45};

// The labels of a report whose columns start at `left` and `right` and
// whose QRLabel9 sits `label9` right of the title band's left edge.
constexpr std::array<LabelSpec, 10> Labels(double label9, double left, double right) {
  return {{
      {"QRSysData1", Band::Title, Shows::PrintTime, "", kMargin, kMargin, kBold},
      {"QRLabel9", Band::Title, Shows::Caption, "", kMargin + label9, kMargin, kBold},
      {"QRLabel1", Band::Summary, Shows::Caption, "QRLabel1", left, kRow[0], kPlain},
      {"QRLabel2", Band::Summary, Shows::Caption, "QRLabel2", left, kRow[1], kPlain},
      {"QRLabel3", Band::Summary, Shows::Caption, "QRLabel3", left, kRow[2], kPlain},
      {"QRLabel4", Band::Summary, Shows::Caption, "QRLabel4", right, kRow[0], kPlain},
      {"QRLabel5", Band::Summary, Shows::Caption, "QRLabel5", right, kRow[1], kPlain},
      {"QRLabel6", Band::Summary, Shows::Caption, "QRLabel6", right, kRow[2], kPlain},
      {"QRLabel7", Band::Summary, Shows::Caption, "QRLabel7", right, kRow[3], kPlain},
      {"QRLabel8", Band::Summary, Shows::Caption, "QRLabel8", left, kRow[3], kPlain},
  }};
}

constexpr std::uint32_t kBlack = 0x000000;
constexpr std::uint32_t kLightGray = 0xc0c0c0;

constexpr auto kSpeedLabels = Labels(40.2, 12.7, 95.25);
constexpr page::ChartSpec kSpeedChart{
    "Disk speed", {12.7, 50.8, 272.5, 145}, "Arial", 13, 11, 96, 8, kBlack, kLightGray, false,
    false};
constexpr page::PageSpec kSpeed{"Form2",
                                "Disk speed",
                                "Disk speed",
                                page::Orientation::Landscape,
                                kMargin,
                                7.1,
                                0,
                                kSpeedLabels,
                                &kSpeedChart,
                                {}};

constexpr auto kTimeLabels = Labels(72.0, 14.8, 82.55);
constexpr page::ChartSpec kTimeChart{"Read block time",
                                     {12.7, 52.9, 271.2, 144.7},
                                     "Arial",
                                     13,
                                     11,
                                     96,
                                     8,
                                     kBlack,
                                     kLightGray,
                                     true,
                                     true};
constexpr page::PageSpec kTime{"Form3",     "",  "Preview", page::Orientation::Landscape,
                               kMargin,     5.0, 0,         kTimeLabels,
                               &kTimeChart, {}};

}  // namespace

const page::PageSpec& SpeedReportPage() {
  return kSpeed;
}
const page::PageSpec& TimeReportPage() {
  return kTime;
}

}  // namespace dt
