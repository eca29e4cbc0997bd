// The picture of a random access run: every kept read as a dot, its place
// on the disk across, its latency upwards on a logarithmic scale (one grey
// line per decade), one colour per request size. Toolkit-free RGB pixels,
// for the CLI's PNG and the windows' chart.
#pragma once

#include <cstdint>
#include <vector>

#include "access/random_access_run.h"

namespace dt {

struct ScatterImage {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> rgb;  // width * height * 3, rows from the top
  // The decades the latency axis spans, in nanoseconds (powers of ten).
  std::uint64_t lowNs = 0;
  std::uint64_t highNs = 0;
};

// The colour of the size with index `i` of a run.
void ScatterColour(std::size_t i, std::uint8_t rgb[3]);

ScatterImage DrawAccessScatter(const AccessResult& result, int width, int height);

}  // namespace dt
