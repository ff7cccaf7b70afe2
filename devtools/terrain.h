// Synthetic contour-line rasters drawn from smooth made-up terrain, for samples and benchmarks.
// Nothing is downloaded: the terrain is a few octaves of lattice noise fixed by the seed. Its
// companion, devtools/contour_field.h, draws a terrain whose true lines are known, for measuring
// the vectoriser.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace terrain {

/// The Catmull-Rom weights of the four samples around a point at fraction `t` (0 to 1) past the
/// second: the curve passes through the samples and has a continuous slope, so that contours
/// show no lattice squares. The same weights for the noise lattice (float) and for resampling a
/// real elevation model (double).
template <class T>
std::array<T, 4> catmull_rom(T t) {
  const T t2 = t * t, t3 = t2 * t;
  return {(-t3 + 2 * t2 - t) / 2, (3 * t3 - 5 * t2 + 2) / 2, (-3 * t3 + 4 * t2 + t) / 2,
          (t3 - t2) / 2};
}

struct Options {
  int rows = 1000, cols = 1000;
  int levels = 150;  // contour numbers used: 0..levels-1, so at most 255
  std::uint32_t seed = 1;
  int min_width = 2, max_width = 4;  // line thickness in pixels
  int index_every = 5;               // every n-th level is an index line, drawn thicker; 0: none
  double spurs_per_megapixel = 20;   // one-pixel spurs stuck on the lines
};

/// Row-major bytes, `rows` × `cols`: 255 background, contour numbers 0..levels-1.
/// The same options always give the same bytes, whatever the standard library. Lines of
/// neighbouring levels touch where the slope is steep; lines run off every border of a large
/// enough raster. Time and memory grow with the pixel count only: besides the result, a few
/// rows of the elevation are kept. Sizes of 0 or less give an empty vector.
std::vector<std::uint8_t> contour_raster(const Options& opt);

}  // namespace terrain
