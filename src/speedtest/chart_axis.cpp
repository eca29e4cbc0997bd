#include "speedtest/chart_axis.h"

#include <algorithm>
#include <cmath>

namespace dt {

namespace {

// A number of the form 1, 2 or 5 times a power of ten near x: the next one
// up when `up`, else the nearest (Heckbert, "Nice numbers for graph labels").
double NiceNumber(double x, bool up) {
  const double power = std::pow(10.0, std::floor(std::log10(x)));
  const double f = x / power;
  double nice;
  if (up)
    nice = f <= 1 ? 1 : f <= 2 ? 2 : f <= 5 ? 5 : 10;
  else
    nice = f < 1.5 ? 1 : f < 3 ? 2 : f < 7 ? 5 : 10;
  return nice * power;
}

}  // namespace

AxisScale NiceScale(double lo, double hi, int ticks) {
  if (!(hi > lo)) {
    lo -= 1;
    hi += 1;
  }
  const double range = NiceNumber(hi - lo, true);
  const double step = NiceNumber(range / (std::max(ticks, 2) - 1), false);
  const double first = std::floor(lo / step);
  const double last = std::ceil(hi / step);
  AxisScale s;
  s.ticks = static_cast<int>(last - first) + 1;
  s.min = first * step;
  s.max = last * step;
  const double spacing = (s.max - s.min) / std::max(s.ticks - 1, 1);
  s.decimals = spacing >= 1 || spacing <= 0
                   ? 0
                   : std::min(9, static_cast<int>(std::ceil(-std::log10(spacing) - 1e-9)));
  return s;
}

}  // namespace dt
