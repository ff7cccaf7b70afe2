// The two walks of the cleaning: over the pixels whose code is in a set, and over the marked ones.
#include <gtest/gtest.h>

#include <random>
#include <utility>
#include <vector>

#include "cleaning/neighbour.h"
#include "cleaning/revisits.h"
#include "cleaning/scan.h"
#include "devtools/support.h"

namespace {

using Position = std::pair<int, int>;

/// Whether the walk's visit removes (i, j): fixed by the position, so two walks agree.
bool removes(int i, int j) { return (i * 7 + j * 13) % 3 != 0; }

/// The plain walk: every interior pixel in row-major order, coded when its turn comes.
std::vector<Position> plain_walk(model::Grid& g, const torvanelle::CodeSet& set) {
  support::Loaded loaded(g);
  std::vector<Position> visited;
  for (int i = 1; i < g.rows - 1; ++i) {
    for (int j = 1; j < g.cols - 1; ++j) {
      if (loaded.st.tab_in[i][j] == 255 || !set[torvanelle::ico(loaded.st.tab_in.get(), i, j)])
        continue;
      visited.emplace_back(i, j);
      if (removes(i, j)) {
        g.at(i, j) = 255;
        loaded.st.tab_in[i][j] = 255;
      }
    }
  }
  return visited;
}

// Rows of every width around the eight-pixel steps, two numbers often touching, and sets of
// codes with and without their west bits: the walk visits exactly the pixels that a plain walk
// finds in the set at their turn, whatever the visits before them removed.
TEST(ForEachPixelCodedIn, VisitsWhatAPlainWalkFinds) {
  torvanelle::CodeSet every{};
  every.fill(true);
  torvanelle::CodeSet west_only{};
  west_only[torvanelle::west] = true;
  const std::vector<torvanelle::CodeSet> sets = {torvanelle::removal, torvanelle::single_neighbours,
                                                 every, west_only};
  std::mt19937 rng(7);
  for (int cols = 1; cols <= 27; ++cols) {
    for (int trial = 0; trial < 20; ++trial) {
      model::Grid g(5, cols, 255);
      for (int& v : g.px) {
        if (rng() % 3 != 0) v = static_cast<int>(rng() % 2);
      }
      for (const torvanelle::CodeSet& set : sets) {
        model::Grid expected_after = g;
        const std::vector<Position> expected = plain_walk(expected_after, set);
        support::Loaded loaded(g);
        std::vector<Position> visited;
        torvanelle::for_each_pixel_coded_in(loaded.st.tab_in.get(), g.rows, g.cols, set,
                                            [&](int i, int j) {
                                              visited.emplace_back(i, j);
                                              if (removes(i, j)) loaded.st.tab_in[i][j] = 255;
                                            });
        ASSERT_EQ(visited, expected) << cols << " columns, trial " << trial;
        model::Grid after = g;
        for (int i = 0; i < g.rows; ++i) {
          for (int j = 0; j < g.cols; ++j)
            after.at(i, j) = loaded.st.tab_in[i][j];
        }
        ASSERT_EQ(after, expected_after) << cols << " columns, trial " << trial;
      }
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
