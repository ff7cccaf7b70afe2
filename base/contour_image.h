// A contour-number raster held whole, as the engines around the program take it: the vectoriser
// and the elevation model.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/image.h"

namespace torvanelle {

/// The value of a pixel that lies on no contour line.
inline constexpr std::uint8_t no_line = background;

/// A contour-number raster: rows × cols pixels, row after row. A pixel holds the number of the
/// contour line through it, 0 to 254, or `no_line`.
struct Image {
  int rows = 0;
  int cols = 0;
  std::vector<std::uint8_t> px;  ///< rows × cols values

  Image() = default;
  Image(int r, int c, std::uint8_t fill = no_line)
      : rows(r), cols(c), px(static_cast<std::size_t>(r) * static_cast<std::size_t>(c), fill) {}

  std::uint8_t& at(int i, int j) { return px[index(i, j)]; }
  std::uint8_t at(int i, int j) const { return px[index(i, j)]; }

  friend bool operator==(const Image&, const Image&) = default;

 private:
  std::size_t index(int i, int j) const {
    return static_cast<std::size_t>(i) * static_cast<std::size_t>(cols) +
           static_cast<std::size_t>(j);
  }
};

}  // namespace torvanelle
