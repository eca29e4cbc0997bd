#include "access/access_scatter.h"

#include <algorithm>
#include <cmath>

namespace dt {

namespace {
constexpr int kMargin = 8;
}  // namespace

void ScatterColour(std::size_t i, std::uint8_t rgb[3]) {
  static constexpr std::uint8_t kColours[][3] = {
      {0, 90, 200}, {220, 60, 30}, {20, 150, 60}, {150, 60, 170}, {200, 150, 0}, {0, 150, 160}};
  const auto& c = kColours[i % std::size(kColours)];
  rgb[0] = c[0];
  rgb[1] = c[1];
  rgb[2] = c[2];
}

ScatterImage DrawAccessScatter(const AccessResult& result, int width, int height) {
  ScatterImage img;
  img.width = std::max(width, 4 * kMargin);
  img.height = std::max(height, 4 * kMargin);
  img.rgb.assign(static_cast<std::size_t>(img.width) * img.height * 3, 255);
  auto put = [&](int x, int y, const std::uint8_t c[3]) {
    if (x < 0 || y < 0 || x >= img.width || y >= img.height) return;
    std::uint8_t* p = &img.rgb[(static_cast<std::size_t>(y) * img.width + x) * 3];
    p[0] = c[0];
    p[1] = c[1];
    p[2] = c[2];
  };

  std::uint64_t lo = ~std::uint64_t{0}, hi = 0;
  for (const AccessSizeResult& s : result.sizes)
    for (const AccessSample& a : s.samples) {
      lo = std::min(lo, std::max<std::uint64_t>(a.latencyNs, 1));
      hi = std::max(hi, std::max<std::uint64_t>(a.latencyNs, 1));
    }
  if (hi == 0) lo = hi = 1000;
  // Whole decades around every latency.
  img.lowNs = 1;
  while (img.lowNs * 10 <= lo) img.lowNs *= 10;
  img.highNs = img.lowNs * 10;
  while (img.highNs < hi) img.highNs *= 10;
  const double logLow = std::log10(static_cast<double>(img.lowNs));
  const double logSpan = std::log10(static_cast<double>(img.highNs)) - logLow;

  const int left = kMargin, right = img.width - kMargin - 1;
  const int top = kMargin, bottom = img.height - kMargin - 1;
  auto yOf = [&](std::uint64_t ns) {
    const double f = (std::log10(static_cast<double>(std::max<std::uint64_t>(ns, 1))) - logLow) / logSpan;
    return bottom - static_cast<int>(std::lround(f * (bottom - top)));
  };
  const std::uint8_t grey[3] = {200, 200, 200}, black[3] = {0, 0, 0};
  for (std::uint64_t d = img.lowNs; d <= img.highNs; d *= 10) {
    const int y = yOf(d);
    for (int x = left; x <= right; ++x) put(x, y, grey);
    if (d > img.highNs / 10) break;
  }
  for (int y = top; y <= bottom; ++y) put(left, y, black);
  for (int x = left; x <= right; ++x) put(x, bottom, black);

  const double span = static_cast<double>(std::max<std::int64_t>(result.diskSize, 1));
  for (std::size_t i = 0; i < result.sizes.size(); ++i) {
    std::uint8_t c[3];
    ScatterColour(i, c);
    for (const AccessSample& a : result.sizes[i].samples) {
      const int x = left + 1 + static_cast<int>(static_cast<double>(a.position) / span * (right - left - 2));
      const int y = yOf(a.latencyNs);
      put(x, y, c);
      put(x + 1, y, c);
      put(x, y - 1, c);
      put(x + 1, y - 1, c);
    }
  }
  return img;
}

}  // namespace dt
