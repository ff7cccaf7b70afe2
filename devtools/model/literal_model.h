// A literal model of the cleaning, written as plainly as the rules read and kept apart from the
// program's code (its own grid, its own neighbour walk, its own test of which codes remove), so
// that it can serve as the oracle for the program's engine.
#pragma once

#include <string>
#include <vector>

namespace model {

/// A raster: rows × cols values, 0..254 a contour line number, 255 the background.
struct Grid {
  int rows = 0;
  int cols = 0;
  std::vector<int> px;  // row-major

  Grid() = default;
  Grid(int r, int c, int fill) : rows(r), cols(c), px(static_cast<std::size_t>(r) * c, fill) {}
  int& at(int r, int c) { return px[static_cast<std::size_t>(r) * cols + c]; }
  int at(int r, int c) const { return px[static_cast<std::size_t>(r) * cols + c]; }
  bool operator==(const Grid&) const = default;
};

/// True when the neighbourhood `code` (bit 1 north-west, then clockwise) holds two or three
/// present neighbours that form one group, two neighbour positions being joined when they touch.
bool hangs_together(int code);

/// The result of the thinning: the thinned raster, everything printed, and the span found.
struct Thinned {
  Grid out;
  std::string transcript;
  int minval = 300;
  int maxval = 0;
};

/// Thins every contour line of `in`, one number at a time, with full in-place scans.
Thinned thin(const Grid& in);

/// The result of the deburring: the deburred raster and everything printed.
struct Deburred {
  Grid out;
  std::string transcript;
};

/// Deburs every contour line of `thinned`, one number of the span at a time, each with one
/// in-place scan that removes the pixels having exactly one present neighbour of their line.
Deburred deburr(const Grid& thinned, int minval, int maxval);

/// The whole treatment given the thinning and one answer (1 or less) to the deburring question:
/// the thinning's result, the question, and the deburring when the answer is 0.
Deburred treat(const Thinned& thinned, int answer);

}  // namespace model
