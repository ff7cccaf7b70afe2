// A contour-number raster inside a one-pixel frame of background, as the vectoriser works on it.
//
// With the frame every pixel of the image is an interior pixel, so its eight neighbours can be
// read without a bounds check, and a line that runs off the image ends on the image's border
// row or column like any line end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "cleaning/neighbour.h"
#include "vector/lines.h"

namespace torvanelle::vect {

static_assert(no_line == background, "the vectoriser and the cleaning agree on the background");

class Framed {
 public:
  /// The image inside a frame of background.
  explicit Framed(const Image& image);

  /// A copy has row pointers of its own.
  Framed(const Framed& other);
  Framed& operator=(const Framed&) = delete;
  Framed(Framed&&) = default;
  Framed& operator=(Framed&&) = default;

  /// The image without its frame.
  Image image() const;

  int rows() const { return rows_; }  ///< the image's rows: framed rows 1 to rows()
  int cols() const { return cols_; }  ///< the image's columns: framed columns 1 to cols()
  int stride() const { return cols_ + 2; }

  /// Row pointers of the framed raster, rows 0 to rows()+1, as the cleaning's scans take them.
  std::uint8_t** raster() { return row_ptrs_.data(); }
  std::uint8_t* row(int i) { return row_ptrs_[static_cast<std::size_t>(i)]; }
  const std::uint8_t* row(int i) const { return row_ptrs_[static_cast<std::size_t>(i)]; }

  /// The neighbour code of the framed pixel (i, j), 1 <= i <= rows(), 1 <= j <= cols().
  std::uint8_t code(int i, int j) const { return ico(row(i - 1), row(i), row(i + 1), j); }

 private:
  void point_rows();

  int rows_;
  int cols_;
  std::vector<std::uint8_t> px_;
  std::vector<std::uint8_t*> row_ptrs_;
};

}  // namespace torvanelle::vect
