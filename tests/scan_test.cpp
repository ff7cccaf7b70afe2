// The two walks of the cleaning: over every line pixel of a raster, and over the marked ones.
#include <gtest/gtest.h>

#include <random>
#include <utility>
#include <vector>

#include "cleaning/neighbour.h"
#include "cleaning/revisits.h"
#include "cleaning/scan.h"
#include "support.h"

namespace {

using Position = std::pair<int, int>;

// Rows of every width around the eight-pixel steps, with runs of background of every length;
// each visit is given the pixel's code as the visits before it left the raster.
TEST(ForEachLinePixel, VisitsTheInteriorLinePixelsInRowMajorOrder) {
  std::mt19937 rng(7);
  for (int cols = 1; cols <= 27; ++cols) {
    for (int trial = 0; trial < 20; ++trial) {
      model::Grid g(4, cols, 255);
      for (int& v : g.px) {
        if (rng() % 3 != 0) v = static_cast<int>(rng() % 2);  // two numbers, often touching
      }
      std::vector<Position> expected;
      for (int i = 1; i < g.rows - 1; ++i) {
        for (int j = 1; j < g.cols - 1; ++j) {
          if (g.at(i, j) != 255) expected.emplace_back(i, j);
        }
      }
      support::Loaded loaded(g);
      std::vector<Position> visited;
      torvanelle::for_each_line_pixel(
          loaded.st.tab_in, g.rows, g.cols, [&](int i, int j, std::uint8_t code) {
            EXPECT_EQ(code, torvanelle::ico(loaded.st.tab_in, i, j)) << i << ',' << j;
            visited.emplace_back(i, j);
            if (rng() % 2 == 0) loaded.st.tab_in[i][j] = torvanelle::background;  // removed
          });
      ASSERT_EQ(visited, expected) << cols << " columns, trial " << trial;
    }
  }
}

// The marks serve the sweep under way and the next one: ahead of the pixel being visited a mark
// is visited in the same sweep, behind it (in the same 64-pixel word or an earlier one) it waits.
TEST(Revisits, MarksAheadAreVisitedNowAndMarksBehindNextTime) {
  torvanelle::Revisits due(3, 200);
  due.mark(1, 70);
  due.mark(1, 130);
  std::vector<int> first;
  due.sweep(1, [&](int j) {
    first.push_back(j);
    if (j == 70) {
      due.mark(1, 71);   // ahead, same word
      due.mark(1, 190);  // ahead, later word
      due.mark(1, 69);   // behind, same word
      due.mark(1, 3);    // behind, earlier word
    }
  });
  EXPECT_EQ(first, (std::vector<int>{70, 71, 130, 190}));
  std::vector<int> second;
  due.sweep(1, [&](int j) { second.push_back(j); });
  EXPECT_EQ(second, (std::vector<int>{3, 69}));
  std::vector<int> third;
  due.sweep(1, [&](int j) { third.push_back(j); });
  EXPECT_TRUE(third.empty());
  due.sweep(2, [&](int j) { third.push_back(j); });
  EXPECT_TRUE(third.empty());
}

TEST(Revisits, TheLastBitOfAWordEndsItsSweep) {
  torvanelle::Revisits due(1, 128);
  due.mark(0, 63);
  std::vector<int> seen;
  due.sweep(0, [&](int j) {
    seen.push_back(j);
    if (j == 63) due.mark(0, 10);
  });
  EXPECT_EQ(seen, (std::vector<int>{63}));
}

}  // namespace
