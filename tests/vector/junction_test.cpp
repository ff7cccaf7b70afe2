// Small exact cases of what the vectoriser makes of junctions, holes, gaps and specks: how many
// lines, how many closed, how many joins by bridges, how many lines left out; and for every case,
// every line simple and no two lines sharing more than one pixel.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <utility>

#include "contour_field.h"
#include "line_metrics.h"
#include "vector/vectorise.h"
#include "vector_support.h"

namespace {

using torvanelle::vect::Counts;
using torvanelle::vect::Line;
using torvanelle::vect::Options;
using vtest::describe;
using vtest::Picture;

/// A horizontal band of number 1, `width` rows by 24 columns, inside a background margin of 2,
/// with a hole of `hole_rows` × `hole_cols` pixels in its middle.
Picture band_with_hole(int width, int hole_rows, int hole_cols) {
  Picture p(static_cast<std::size_t>(width + 4), std::string(28, '.'));
  for (int i = 2; i < width + 2; ++i) {
    for (int j = 2; j < 26; ++j) {
      const bool hole = i - 2 >= (width - hole_rows) / 2 &&
                        i - 2 < (width - hole_rows) / 2 + hole_rows && j >= 13 &&
                        j < 13 + hole_cols;
      p[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)] = hole ? '.' : '1';
    }
  }
  return p;
}

struct Case {
  std::string name;
  Picture picture;
  double bridge;
  std::size_t lines;  ///< lines made
  int closed;         ///< of which closed
  int bridged;        ///< joins by bridges in all lines
  int left_out;       ///< lines left out as shorter than the default minimum length
};

std::vector<Case> cases() {
  std::vector<Case> table = {
      // Two lines of one number crossing like the X of a saddle: two lines meeting at the centre.
      {"saddle X",
       {"1.........1", ".1.......1.", "..1.....1..", "...1...1...", "....1.1....", ".....1.....",
        "....1.1....", "...1...1...", "..1.....1..", ".1.......1.", "1.........1"},
       0,
       2,
       0,
       0,
       0},
      // A hairpin whose arms touch: the line goes down one arm, round and up the other.
      {"band touching itself",
       {"..1......1..", "..1......1..", "...1....1...", "....1..1....", ".....11.....",
        "....1..1....", "...1....1...", "..1......1..", "..1......1..", "...1....1...",
        "....1111....", "............"},
       0,
       1,
       0,
       0,
       0},
      // A stick with a ring at its end: the ring closed, the stick ending on it.
      {"lasso",
       {"............", "....1111....", "...1....1...", "...1....1...", "....1111....",
        ".....1......", ".....1......", ".....1......", ".....1......", "............"},
       0,
       2,
       1,
       0,
       0},
      // A plus of one-pixel strokes with two-pixel arms: the spurs pruned, one line left.
      {"4-way crossing",
       {".......", "...1...", "...1...", ".11111.", "...1...", "...1...", "......."},
       0,
       1,
       0,
       0,
       0},
      // A band broken by a label gap of 10 px: joined with bridges, two pieces without.
      {"gap facing straight, no bridge",
       {"..........................", ".11111111.........1111111.", ".11111111.........1111111.",
        ".........................."},
       0,
       2,
       0,
       0,
       0},
      {"gap facing straight",
       {"..........................", ".11111111.........1111111.", ".11111111.........1111111.",
        ".........................."},
       30,
       1,
       0,
       1,
       0},
      // Two ends side by side, pointing the same way: they do not face each other.
      {"gap whose ends do not face",
       {"....................", ".1111111111.........", "....................",
        "....................", "....................", "....................",
        ".........1111111111.", "...................."},
       30,
       2,
       0,
       0,
       0},
      // Two lines of one number, each with a gap at the same place: each joined to itself.
      {"two gaps side by side",
       {"...........................", ".111111111........11111111.", "...........................",
        "...........................", "...........................", "...........................",
        ".111111111........11111111.", "..........................."},
       30,
       2,
       0,
       2,
       0},
      // A band of another number runs through the gap: no bridge across it.
      {"gap across another number",
       {"............2.............", ".11111111...2.....1111111.", ".11111111...2.....1111111.",
        "............2............."},
       30,
       3,
       0,
       0,
       0},
      // A ring broken once: bridged into a closed line.
      {"broken ring",
       {"..................", "..11111111111111..", ".1..............1.", ".1..............1.",
        ".1..............1.", ".1..............1.", ".1..............1.", "..11111....11111..",
        ".................."},
       30,
       1,
       1,
       1,
       0},
      // Two lines that run off the image side by side are not bridged along its edge.
      {"ends on the image's border",
       {"..............", "..............", "..............", ".1111....1111.", ".1111....1111."},
       30,
       2,
       0,
       0,
       0},
      // Specks: a dot and two pixels make no line.
      {"specks", {".......", ".1.....", ".....2.", ".....2.", "......."}, 0, 0, 0, 0, 2},
  };
  for (const int width : {3, 4, 5}) {
    for (const auto& [rows, cols] : {std::pair{1, 3}, std::pair{2, 2}, std::pair{3, 1}}) {
      if (rows >= width) continue;  // that would cut the band in two
      table.push_back({"hole " + std::to_string(rows) + "x" + std::to_string(cols) + " in band " +
                           std::to_string(width),
                       band_with_hole(width, rows, cols), 0, 1, 0, 0, 0});
    }
  }
  return table;
}

int shared_pixels(const Line& a, const Line& b) {
  std::set<std::pair<int, int>> in_a;
  for (const auto p : a.pixels)
    in_a.insert({p.row, p.col});
  std::set<std::pair<int, int>> both;
  for (const auto p : b.pixels) {
    if (in_a.contains({p.row, p.col})) both.insert({p.row, p.col});
  }
  return static_cast<int>(both.size());
}

TEST(Junctions, SmallCases) {
  for (const Case& c : cases()) {
    SCOPED_TRACE(c.name);
    Options options;
    options.bridge = c.bridge;
    Counts counts;
    const std::vector<Line> lines =
        torvanelle::vect::vectorise(vtest::image(c.picture), options, &counts);
    std::string all;
    for (const Line& line : lines)
      all += describe(line) + "\n";
    EXPECT_EQ(lines.size(), c.lines) << all;
    int closed = 0, bridged = 0;
    for (std::size_t a = 0; a < lines.size(); ++a) {
      closed += lines[a].closed();
      bridged += lines[a].bridged;
      EXPECT_TRUE(field::is_simple(field::polylines({lines[a]})[0])) << describe(lines[a]);
      for (std::size_t b = a + 1; b < lines.size(); ++b)
        EXPECT_LE(shared_pixels(lines[a], lines[b]), 1) << all;
    }
    EXPECT_EQ(closed, c.closed) << all;
    EXPECT_EQ(bridged, c.bridged) << all;
    EXPECT_EQ(counts.bridges, c.bridged);
    EXPECT_EQ(counts.left_out, c.left_out);
  }
}

}  // namespace

namespace {

// On random rasters full of junctions, knots and touching numbers, with and without bridges:
// every line is simple, and the lines hold every bridge made once.
TEST(Junctions, RandomRastersGiveSimpleLines) {
  for (std::uint32_t seed = 0; seed < 2000; ++seed) {
    for (const double bridge : {0.0, 12.0}) {
      Options options;
      options.bridge = bridge;
      Counts counts;
      const std::vector<Line> lines =
          torvanelle::vect::vectorise(vtest::random_image(seed), options, &counts);
      int bridged = 0;
      for (const Line& line : lines) {
        bridged += line.bridged;
        ASSERT_TRUE(field::is_simple(field::polylines({line})[0]))
            << "seed " << seed << " bridge " << bridge << " " << describe(line);
      }
      ASSERT_EQ(bridged, counts.bridges) << "seed " << seed;
    }
  }
}

}  // namespace
