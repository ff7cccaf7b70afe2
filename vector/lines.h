// The vectoriser's plain types: the contour-number raster it reads and the lines it gives.
#pragma once

#include <cstdint>
#include <vector>

namespace torvanelle::vect {

/// The value of a pixel that lies on no contour line.
inline constexpr std::uint8_t no_line = 255;

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
