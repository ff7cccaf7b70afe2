#include "vector/simplify.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <set>

#include "vector/framed.h"
#include "vector/steps.h"
#include "vector_support.h"

namespace {

using torvanelle::vect::Line;
using torvanelle::vect::Pixel;
using torvanelle::vect::simplify;
using vtest::describe;

Line line_of(std::initializer_list<std::pair<int, int>> rc) {
  Line line;
  for (const auto& [r, c] : rc)
    line.pixels.push_back({r, c});
  return line;
}

double distance_to_segment(Pixel p, Pixel a, Pixel b) {
  const double dx = b.col - a.col, dy = b.row - a.row;
  const double len2 = dx * dx + dy * dy;
  const double t =
      len2 == 0 ? 0 : std::clamp(((p.col - a.col) * dx + (p.row - a.row) * dy) / len2, 0.0, 1.0);
  return std::hypot(p.col - a.col - t * dx, p.row - a.row - t * dy);
}

TEST(Simplify, ZeroToleranceKeepsEveryVertex) {
  Line line = line_of({{0, 0}, {0, 1}, {0, 2}, {1, 3}});
  const Line before = line;
  simplify(line, 0);
  EXPECT_EQ(line.pixels, before.pixels);
}

TEST(Simplify, StraightRunKeepsItsEndsAndACornerStays) {
  Line straight = line_of({{0, 0}, {0, 1}, {0, 2}, {0, 3}, {0, 4}});
  simplify(straight, 0.5);
  EXPECT_EQ(straight.pixels, line_of({{0, 0}, {0, 4}}).pixels);
  Line corner = line_of({{0, 0}, {0, 1}, {0, 2}, {1, 2}, {2, 2}});
  simplify(corner, 0.5);
  EXPECT_EQ(corner.pixels, line_of({{0, 0}, {0, 2}, {2, 2}}).pixels);
}

TEST(Simplify, ClosedLineStaysARingOfAtLeastFourVertices) {
  Line ring = line_of(
      {{1, 2}, {1, 3}, {1, 4}, {2, 5}, {3, 5}, {4, 4}, {4, 3}, {4, 2}, {3, 1}, {2, 1}, {1, 2}});
  simplify(ring, 100);
  EXPECT_TRUE(ring.closed()) << describe(ring);
  EXPECT_EQ(ring.pixels.size(), 5u) << describe(ring);
}

// On seeded random walks: the ends stay, what is kept is a subsequence of the line, and every
// vertex left out lies within the tolerance of the segment between the kept vertices around it.
TEST(Simplify, EveryVertexLeftOutLiesWithinTheTolerance) {
  std::mt19937 gen(11);
  for (int n = 0; n < 500; ++n) {
    // A walk that never comes back to a pixel, so that kept vertices can be told by position.
    Line line{0, {{0, 0}}};
    std::set<std::pair<int, int>> seen = {{0, 0}};
    const int steps = 2 + static_cast<int>(gen() % 200);
    for (int s = 0, dir = 0; s < steps; ++s) {
      dir = (dir + static_cast<int>(gen() % 3) + 7) % 8;  // turn left, go on or turn right
      const torvanelle::vect::Step step = torvanelle::vect::steps[dir];
      const Pixel p{line.pixels.back().row + step.drow, line.pixels.back().col + step.dcol};
      if (!seen.insert({p.row, p.col}).second) continue;
      line.pixels.push_back(p);
    }
    const double tolerance = 0.5 + (gen() % 40) / 10.0;
    Line out = line;
    simplify(out, tolerance);
    ASSERT_EQ(out.pixels.front(), line.pixels.front());
    ASSERT_EQ(out.pixels.back(), line.pixels.back());
    std::size_t kept = 0;
    for (std::size_t v = 0; v < line.pixels.size(); ++v) {
      if (kept < out.pixels.size() && line.pixels[v] == out.pixels[kept]) {
        ++kept;
        continue;
      }
      ASSERT_GT(kept, 0u) << "case " << n;
      ASSERT_LT(kept, out.pixels.size()) << "case " << n << ": kept vertices out of order";
      ASSERT_LE(distance_to_segment(line.pixels[v], out.pixels[kept - 1], out.pixels[kept]),
                tolerance)
          << "case " << n << " vertex " << v;
    }
    ASSERT_EQ(kept, out.pixels.size()) << "case " << n;
  }
}

}  // namespace
