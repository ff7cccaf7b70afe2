// The thinning of every contour line: the first half of the cleaning, with no console and no
// file, so that anything may run it (the program's treatment, the tests, the benchmark).
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "base/image.h"

namespace torvanelle {

/// The lowest and highest contour line numbers of a raster. A raster without any contour pixel
/// keeps the starting values 300 and 0: an empty span.
struct Span {
  std::int32_t minval = 300;
  std::int32_t maxval = 0;
  bool empty() const { return minval > maxval; }
};

/// The span of the contour line numbers in tab_in.
Span contour_span(const Raster tab_in, std::int32_t nb_lig, std::int32_t nb_col);

/// What the thinning did, all that its report needs.
struct Thinned {
  Span span;
  /// modifications[k]: how many pixels of number k each scan removed, from the first scan to the
  /// last one that removed some of them. A scan that removes none of a line's pixels leaves the
  /// line as it is, so no later scan removes any either: the counts of a line are never
  /// interrupted by a zero. Their memory follows the report's length, not the scans' number.
  std::array<std::vector<std::int32_t>, background> modifications;
};

/// Thins every contour line of tab_in into tab_out (both nb_lig x nb_col; tab_in is only read):
/// scan after scan of the interior in row-major order, each removing in place every pixel whose
/// two or three neighbours of its own number hang together, until a scan removes nothing. Each
/// number is thinned as if the others were absent. Survivors keep their number in tab_out, the
/// rest is background.
Thinned thinning(const Raster tab_in, Raster tab_out, std::int32_t nb_lig, std::int32_t nb_col);

}  // namespace torvanelle
