// From a contour-number raster to its contour lines: skeleton, tracing, simplification.
#pragma once

#include <vector>

#include "vector/lines.h"

namespace torvanelle::vect {

struct Options {
  int min_branch = 3;     ///< branches shorter than this many pixels are pruned at junctions
  double simplify = 0;    ///< Douglas-Peucker tolerance in pixels; 0: every pixel is a vertex
  double bridge = 0;      ///< free ends at most this many pixels apart may be joined; 0: none
  double min_length = 2;  ///< lines shorter than this many pixels are left out
};

/// The contour lines of `image`: every number thinned as if alone (`skeleton`), traced
/// (`trace`) and simplified (`simplify`). Each line keeps its number; lines come ordered by
/// number.
std::vector<Line> vectorise(const Image& image, const Options& options);

}  // namespace torvanelle::vect
