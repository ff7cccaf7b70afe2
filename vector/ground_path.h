// Paths that follow the ground's contour at one level, for bridges across label gaps: where a
// cartographer closes a gap by hand, between the neighbouring lines and parallel to them.
#pragma once

#include <cstdint>
#include <vector>

#include "vector/lines.h"

namespace torvanelle::vect {

/// A window of the raster, in the raster's pixel coordinates.
struct Box {
  int top = 0;
  int left = 0;
  int rows = 0;
  int cols = 0;

  bool holds(Pixel p) const {
    return p.row >= top && p.col >= left && p.row < top + rows && p.col < left + cols;
  }
  std::size_t index(Pixel p) const {
    return static_cast<std::size_t>(p.row - top) * static_cast<std::size_t>(cols) +
           static_cast<std::size_t>(p.col - left);
  }
  std::size_t size() const {
    return static_cast<std::size_t>(rows) * static_cast<std::size_t>(cols);
  }
};

/// What the path search reads of a window, each a value per pixel of `box`, row after row.
struct GroundWindow {
  Box box;
  std::vector<float> z;              ///< the ground, in contour numbers; NaN unknown
  std::vector<std::uint8_t> number;  ///< the raster before thinning
  std::vector<bool> taken;           ///< on a line or a bridge already made
};

/// The shortest path of 8-adjacent pixels from `from` to `to` that keeps within a pixel of the
/// ground's contour at `level` (by the ground's local slope), off the pixels of other numbers, of
/// unknown ground and of lines and bridges (`to` alone may be taken), without slipping
/// diagonally between two taken pixels, and at most `longest` pixels long along its pixels'
/// centres; of those, it keeps nearest the contour. Empty when there is none. Both ends included.
std::vector<Pixel> along_contour(const GroundWindow& window, std::uint8_t level, Pixel from,
                                 Pixel to, double longest);

/// The length of a path along its pixels' centres.
double path_length(const std::vector<Pixel>& path);

}  // namespace torvanelle::vect
