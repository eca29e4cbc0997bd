// The scale of a chart's value axis: the range of the values rounded out to
// "nice" numbers (1, 2 or 5 times a power of ten per tick) and labels with
// as many decimals as the tick spacing needs.
#pragma once

namespace dt {

struct AxisScale {
  double min = 0;
  double max = 100;
  int ticks = 5;     // tick marks, both ends included
  int decimals = 0;  // of every label ("%.Nf")
};

// The scale of an axis that shows the values from lo to hi with about
// `ticks` tick marks; an empty range (hi not above lo) is widened by one on
// either side. The scale's own tick count is the target of the next scale of
// the same axis, as an axis keeps its tick count from one range to the next.
AxisScale NiceScale(double lo, double hi, int ticks);

// The scale of an axis without values.
constexpr AxisScale kEmptyScale{0, 100, 5, 0};

}  // namespace dt
