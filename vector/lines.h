// The vectoriser's plain types: the lines it gives, of pixels of the contour raster it reads.
#pragma once

#include <cstdint>
#include <vector>

#include "base/contour_image.h"

namespace torvanelle::vect {

/// A pixel of the raster; as a vertex it stands for the pixel's centre.
struct Pixel {
  int row = 0;
  int col = 0;
  friend bool operator==(const Pixel&, const Pixel&) = default;
};

/// One piece of a contour line: its pixels in order, each 8-adjacent to the next unless the
/// line was simplified, goes twice through a junction (it then steps over the pixel it passed
/// already, to one two pixels away at most) or crosses a bridge. A closed line ends on the pixel
/// it starts on; a line of one pixel is a contour shrunk to a dot, which `vectorise` leaves out.
struct Line {
  std::uint8_t number = 0;
  std::vector<Pixel> pixels;
  int bridged = 0;  ///< how many bridges across gaps joined it together

  bool closed() const { return pixels.size() > 2 && pixels.front() == pixels.back(); }
};

}  // namespace torvanelle::vect
