// Bridges across label gaps, along the ground and straight, on rasters of known ground: contours
// drawn round hills, cut by gaps where a straight segment would cut across the next line or join
// two hills across their saddle, and line ends on each border of the image.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "dem/dem.h"
#include "devtools/contour_field.h"
#include "devtools/line_metrics.h"
#include "vector/vectorise.h"
#include "vector_support.h"

namespace {

using torvanelle::Image;
using torvanelle::vect::Counts;
using torvanelle::vect::Line;
using torvanelle::vect::Options;
using torvanelle::vect::Pixel;

/// A contour round a hill or two: the pixels within half a pixel of `radius` from (row, col) or
/// from (row, col_to), whichever is nearer, of number `number`, but for the gap from `gap_from`
/// to `gap_to` degrees round that centre (0 east, 90 north).
struct Contour {
  double row, col, col_to;
  double radius;
  std::uint8_t number;
  double gap_from = 0, gap_to = 0;

  double centre(double c) const { return std::abs(c - col) <= std::abs(c - col_to) ? col : col_to; }
  double off(double r, double c) const { return std::hypot(r - row, c - centre(c)) - radius; }
  bool in_gap(double r, double c) const {
    if (gap_to <= gap_from) return false;
    double a = std::atan2(row - r, c - centre(c)) * 180 / std::numbers::pi;
    if (a < gap_from) a += 360;
    return a >= gap_from && a <= gap_to;
  }
};

Image draw(int rows, int cols, const std::vector<Contour>& contours) {
  Image image(rows, cols);
  for (int r = 0; r < rows; ++r) {
    for (int c = 0; c < cols; ++c) {
      for (const Contour& k : contours) {
        if (std::abs(k.off(r, c)) < 0.5 && !k.in_gap(r, c))
          image.px[static_cast<std::size_t>(r * cols + c)] = k.number;
      }
    }
  }
  return image;
}

/// A cone of contours 4 px apart round (32, 32), number 2 on the circle of 18 px cut by a gap of
/// 90 degrees centred at `at` degrees: the straight chord across it comes 12.7 px from the centre,
/// through the line of number 3 on the circle of 14 px.
std::vector<Contour> cone(double at) {
  std::vector<Contour> out;
  for (int k = 0; k <= 5; ++k) {
    Contour c{32, 32, 32, 26.0 - 4 * k, static_cast<std::uint8_t>(k)};
    if (k == 2) {
      c.gap_from = at - 45;
      c.gap_to = at + 45;
    }
    out.push_back(c);
  }
  return out;
}

/// Two hills side by side round (20, 20) and (20, 44): each a ring of number 2 (8 px) with a gap
/// of 90 degrees facing the other hill, a ring of 3 (3 px) inside, and one line of number 1 round
/// both, pinched to 7 px across the saddle between them, which lies under 2.
std::vector<Contour> two_hills() {
  return {{20, 20, 44, 12.9, 1},
          {20, 20, 20, 8, 2, -45, 45},
          {20, 44, 44, 8, 2, 135, 225},
          {20, 20, 20, 3, 3},
          {20, 44, 44, 3, 3}};
}

/// A line of number 1 along row 10 that turns up at column 28 and ends at row 6, and a line from
/// it at column 16 up to row 3 and along it to column 24, round a dot of 2: a ring with its
/// corner at (3, 28) missing, on a stick.
Image lasso() {
  Image image(14, 34);
  const auto set = [&image](int r, int c, std::uint8_t v) {
    image.px[static_cast<std::size_t>(r * image.cols + c)] = v;
  };
  for (int c = 2; c <= 28; ++c)
    set(10, c, 1);
  for (int r = 3; r <= 10; ++r)
    set(r, 16, 1), set(std::max(r, 6), 28, 1);
  for (int c = 16; c <= 24; ++c)
    set(3, c, 1);
  set(6, 21, 2), set(6, 22, 2), set(7, 21, 2), set(7, 22, 2);
  return image;
}

struct Expected {
  int lines, closed, bridges;
};

struct Case {
  std::string name;
  Image image;
  std::uint8_t number;         ///< the number whose lines are counted
  std::vector<Contour> truth;  ///< where that number's bridges belong, when known
  Expected ground, straight;
  std::vector<Pixel> off_lines = {};  ///< pixels no line may pass through
};

Image turned(const Image& in, int quarters) {
  Image out = in;
  for (int q = 0; q < quarters; ++q) {
    Image next(out.cols, out.rows);
    for (int r = 0; r < out.rows; ++r) {
      for (int c = 0; c < out.cols; ++c)
        next.px[static_cast<std::size_t>(c * out.rows + (out.rows - 1 - r))] =
            out.px[static_cast<std::size_t>(r * out.cols + c)];
    }
    out = next;
  }
  return out;
}

std::vector<Case> cases() {
  std::vector<Case> table;
  for (const double at : {0.0, 45.0, 90.0, 180.0, 270.0}) {
    const std::vector<Contour> c = cone(at);
    table.push_back({"cone, gap at " + std::to_string(static_cast<int>(at)) + " degrees",
                     draw(65, 65, c),
                     2,
                     {c[2]},
                     {1, 1, 1},
                     {1, 0, 0}});
  }
  const std::vector<Contour> hills = two_hills();
  // Straight, the ends facing each other across the saddle are joined, one hill to the other.
  table.push_back(
      {"two hills", draw(41, 65, hills), 2, {hills[1], hills[2]}, {2, 2, 2}, {1, 0, 1}});
  // Two lines that run off the image along its edge, their ends facing, are never bridged.
  const Image border = vtest::image(
      {"..............", "..............", "..............", "..............", ".11111...11111."});
  for (int q = 0; q < 4; ++q) {
    table.push_back(
        {"ends on border " + std::to_string(q), turned(border, q), 1, {}, {2, 0, 0}, {2, 0, 0}});
  }
  // A line ending in two short spurs ends on its junction, the spurs pruned, and is bridged from
  // there to the line across the gap.
  table.push_back(
      {"spurs at the end",
       vtest::image({"....................................", "......................1.............",
                     ".....................1..............", ".11111111111111111111.......111111..",
                     ".....................1..............",
                     "......................1............."}),
       1,
       {},
       {1, 0, 1},
       {1, 0, 1},
       {{1, 22}, {2, 21}, {4, 21}, {5, 22}}});
  // A ring broken at its corner, on a stick: along the ground the ring closes round its hill;
  // straight, the ends at the corner do not face each other.
  table.push_back({"lasso", lasso(), 1, {}, {2, 1, 1}, {3, 0, 0}});
  return table;
}

/// Every bridge keeps off other numbers, and those of `c.number` lie within 2 px of a contour of
/// `c.truth` (a chord across the cone's gap comes 5.3 px inside, across a hill's 2.3 px).
void check_paths(const Case& c, const std::vector<std::vector<Pixel>>& paths) {
  const auto number = [&c](Pixel p) {
    return c.image.px[static_cast<std::size_t>(p.row * c.image.cols + p.col)];
  };
  for (const std::vector<Pixel>& path : paths) {
    const std::uint8_t k = number(path.front());
    for (const Pixel p : path) {
      EXPECT_TRUE(number(p) == k || number(p) == torvanelle::no_line) << p.row << "," << p.col;
      const bool near = std::any_of(c.truth.begin(), c.truth.end(), [p](const Contour& t) {
        return std::abs(t.off(p.row, p.col)) <= 2;
      });
      EXPECT_TRUE(k != c.number || c.truth.empty() || near) << p.row << "," << p.col;
    }
  }
}

TEST(Bridges, AlongTheGroundAndStraight) {
  for (const Case& c : cases()) {
    for (const bool ground : {true, false}) {
      SCOPED_TRACE(c.name + (ground ? ", along the ground" : ", straight"));
      Options options;
      options.bridge = 36;
      if (ground) options.ground = torvanelle::dem::ground_in_numbers;
      Counts counts;
      const std::vector<Line> lines = torvanelle::vect::vectorise(c.image, options, &counts);
      Expected got{0, 0, counts.bridges};
      std::string all;
      for (const Line& line : lines) {
        if (line.number != c.number) continue;
        ++got.lines;
        got.closed += line.closed();
        all += vtest::describe(line) + "\n";
        EXPECT_TRUE(field::is_simple(field::polylines({line})[0])) << vtest::describe(line);
        for (const Pixel p : c.off_lines)
          EXPECT_EQ(std::count(line.pixels.begin(), line.pixels.end(), p), 0) << all;
      }
      const Expected want = ground ? c.ground : c.straight;
      EXPECT_EQ(got.lines, want.lines) << all;
      EXPECT_EQ(got.closed, want.closed) << all;
      EXPECT_EQ(got.bridges, want.bridges) << all;
      EXPECT_EQ(counts.bridge_paths.size(), static_cast<std::size_t>(counts.bridges));
      if (ground) check_paths(c, counts.bridge_paths);
    }
  }
}

}  // namespace
