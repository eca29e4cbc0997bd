#include "forms/page.h"

#include <algorithm>
#include <set>

namespace dt::page {

RectMm A4(Orientation orientation) {
  return orientation == Orientation::Portrait ? RectMm{0, 0, 210, 297} : RectMm{0, 0, 297, 210};
}

const LabelSpec* PageSpec::Find(const std::string& name) const {
  for (const LabelSpec& l : labels)
    if (name == l.name) return &l;
  return nullptr;
}

std::vector<std::string> CheckPage(const PageSpec& page) {
  std::vector<std::string> problems;
  const RectMm paper = A4(page.orientation);
  std::set<std::string> names;
  for (const LabelSpec& l : page.labels) {
    if (!names.insert(l.name).second)
      problems.push_back(std::string(l.name) + ": the name is used twice");
    if (l.leftMm < page.marginMm || l.topMm < page.marginMm ||
        l.leftMm >= paper.width - page.marginMm || l.topMm >= paper.height - page.marginMm)
      problems.push_back(std::string(l.name) + ": lies outside the margins");
  }
  if (const ChartSpec* c = page.chart) {
    const RectMm r = c->place;
    if (r.width <= 0 || r.height <= 0 || r.left < page.marginMm || r.top < page.marginMm ||
        r.left + r.width > paper.width - page.marginMm ||
        r.top + r.height > paper.height - page.marginMm)
      problems.push_back(std::string(page.name) + ": the chart lies outside the margins");
  }
  return problems;
}

std::vector<Placed> PlaceRecords(std::span<const double> heights, double lineHeight, double top,
                                 double bottom) {
  std::vector<Placed> placed;
  placed.reserve(heights.size());
  int page = 0;
  double y = top;
  for (double h : heights) {
    h = std::max(h, lineHeight);
    if (y + h > bottom && y > top) {
      ++page;
      y = top;
    }
    placed.push_back({page, y});
    y += h;
  }
  return placed;
}

int PageCount(const std::vector<Placed>& placed) {
  return placed.empty() ? 1 : placed.back().page + 1;
}

ReportLabels::ReportLabels(const PageSpec& spec) {
  for (const LabelSpec& l : spec.labels) {
    if (ReportLabel* label = Label(l.name)) {
      label->Caption = l.caption;
      label->LeftMm = l.leftMm;
      label->TopMm = l.topMm;
    }
  }
}

ReportLabel* ReportLabels::Label(const std::string& name) {
  ReportLabel* labels[] = {&QRLabel1, &QRLabel2, &QRLabel3, &QRLabel4, &QRLabel5,
                           &QRLabel6, &QRLabel7, &QRLabel8, &QRLabel9};
  for (int i = 0; i < 9; ++i)
    if (name == "QRLabel" + std::to_string(i + 1)) return labels[i];
  return nullptr;
}

}  // namespace dt::page
