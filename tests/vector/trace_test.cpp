#include "vector/trace.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <map>

#include "base/progress.h"
#include "vector/runs.h"
#include "vector/skeleton.h"
#include "vector/vectorise.h"
#include "vector_support.h"

namespace {

using torvanelle::Image;
using torvanelle::no_line;
using torvanelle::vect::Framed;
using torvanelle::vect::Line;
using torvanelle::vect::links;
using torvanelle::vect::Pixel;
using torvanelle::vect::skeleton;
using torvanelle::vect::trace;
using torvanelle::vect::vectorise;
using vtest::describe;
using vtest::image;

std::vector<Line> lines_of(const vtest::Picture& p, int min_branch = 3) {
  return vectorise(image(p), {min_branch, 0});
}

std::vector<Pixel> pixels(std::initializer_list<std::pair<int, int>> rc) {
  std::vector<Pixel> out;
  for (const auto& [r, c] : rc)
    out.push_back({r, c});
  return out;
}

TEST(Trace, OnePixelRingIsOneClosedLineFromItsFirstPixel) {
  const auto lines = lines_of({".......", "..111..", ".1...1.", ".1...1.", "..111..", "......."});
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_TRUE(lines[0].closed());
  EXPECT_EQ(lines[0].pixels, pixels({{1, 2},
                                     {1, 3},
                                     {1, 4},
                                     {2, 5},
                                     {3, 5},
                                     {4, 4},
                                     {4, 3},
                                     {4, 2},
                                     {3, 1},
                                     {2, 1},
                                     {1, 2}}));
}

TEST(Trace, ThickRingIsOneClosedLine) {
  const auto lines = lines_of({"..........", ".33333333.", ".33333333.", ".333..333.", ".333..333.",
                               ".33333333.", ".33333333.", ".........."});
  ASSERT_EQ(lines.size(), 1u) << describe(lines[1]);
  EXPECT_EQ(lines[0].number, 3);
  EXPECT_TRUE(lines[0].closed()) << describe(lines[0]);
}

TEST(Trace, TouchingRingsOfTwoNumbersAreTwoClosedLines) {
  const auto lines = lines_of(
      {"..........", ".1111222..", ".1..12.2..", ".1..12.2..", ".1111222..", ".........."});
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].number, 1);
  EXPECT_EQ(lines[1].number, 2);
  EXPECT_TRUE(lines[0].closed()) << describe(lines[0]);
  EXPECT_TRUE(lines[1].closed()) << describe(lines[1]);
}

TEST(Trace, LineRunningOffTheImageEndsOnItsEdge) {
  const auto lines = lines_of({".......", "..444..", "..444..", "..444..", "..444..", "..444.."});
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_FALSE(lines[0].closed());
  EXPECT_EQ(lines[0].pixels, pixels({{2, 3}, {3, 3}, {4, 3}, {5, 3}}));
}

// The thinning moves the junction one pixel down, where the stem's top pixel joins the two arms.
TEST(Trace, TJunctionWithLongArmsGivesThreeLinesMeetingAtTheJunction) {
  const auto lines = lines_of(
      {".........", ".1111111.", "....1....", "....1....", "....1....", "....1....", "........."});
  ASSERT_EQ(lines.size(), 3u);
  for (const Line& line : lines) {
    const bool meets = line.pixels.front() == Pixel{2, 4} || line.pixels.back() == Pixel{2, 4};
    EXPECT_TRUE(meets) << describe(line);
  }
}

// Four arms meet on a 2 x 2 knot of junction pixels, whose first pixel is (2, 2): paired without
// crossing, they make two lines that meet on that pixel.
TEST(Trace, JunctionOfSeveralPixelsJoinsItsLinesOnOnePixel) {
  const auto lines = trace(image({"1....1", ".1..1.", "..11..", "..11..", ".1..1.", "1....1"}), 0);
  ASSERT_EQ(lines.size(), 2u);
  for (const Line& line : lines) {
    const bool meets =
        std::find(line.pixels.begin(), line.pixels.end(), Pixel{2, 2}) != line.pixels.end();
    EXPECT_TRUE(meets) << describe(line);
  }
}

TEST(Trace, RingWithASpurComesBackClosed) {
  const vtest::Picture ring = {"........", "..1111..", ".1....1.", ".1....1.",
                               "..1111..", "....1...", "....1...", "........"};
  const auto lines = lines_of(ring);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_TRUE(lines[0].closed()) << describe(lines[0]);
  // Without pruning and without a minimum length: the ring, from the junction round to it, and
  // the spur, one pixel long once thinned.
  const auto kept = vectorise(image(ring), {0, 0, 0, 0});
  ASSERT_EQ(kept.size(), 2u);
  EXPECT_TRUE(kept[0].closed() != kept[1].closed());
}

// Traced, a dot is a line of one pixel (which vectorise leaves out).
TEST(Trace, DotIsALineOfOnePixel) {
  const auto lines = trace(image({"...", ".#.", "..."}), 3);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].number, 254);
  EXPECT_EQ(lines[0].pixels, pixels({{1, 1}}));
  EXPECT_FALSE(lines[0].closed());
}

// A staircase one pixel wide, traced as it is: its corners are not junctions.
TEST(Trace, StaircaseIsOneLineThroughEveryStep) {
  const Image stairs = image({"11...", ".11..", "..11.", "...11"});
  const auto lines = trace(stairs, 0);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].pixels,
            pixels({{0, 0}, {0, 1}, {1, 1}, {1, 2}, {2, 2}, {2, 3}, {3, 3}, {3, 4}}));
}

TEST(Trace, LinesComeInTheOrderOfTheirNumbers) {
  const auto lines = lines_of({"......", ".7..2.", ".7..2.", ".7..2.", "......", ".0000."});
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].number, 0);
  EXPECT_EQ(lines[1].number, 2);
  EXPECT_EQ(lines[2].number, 7);
}

/// Whether a line may step from a to b: to a neighbour, or over a pixel it passed already to
/// one two pixels away at most.
bool adjacent(Pixel a, Pixel b) {
  return a != b && std::abs(a.row - b.row) <= 2 && std::abs(a.col - b.col) <= 2;
}

// Without pruning, tracing loses nothing and invents nothing: every end pixel is on a line,
// every pixel of a line is a skeleton pixel of its number, steps are short, and a
// pixel joined to two others is on exactly one line, once. (A junction pixel that no shortest way
// to its centre goes through is on no line.)
TEST(Trace, RandomSkeletonsAreCoveredExactly) {
  for (std::uint32_t seed = 0; seed < 3000; ++seed) {
    const Image sk = skeleton(vtest::random_image(seed));
    std::map<std::pair<int, int>, int> visits;
    for (const Line& line : trace(sk, 0)) {
      const std::size_t n = line.pixels.size() - (line.closed() ? 1 : 0);
      for (std::size_t v = 0; v < line.pixels.size(); ++v) {
        const Pixel p = line.pixels[v];
        ASSERT_EQ(sk.at(p.row, p.col), line.number) << "seed " << seed << " " << describe(line);
        if (v + 1 < line.pixels.size()) {
          ASSERT_TRUE(adjacent(p, line.pixels[v + 1])) << "seed " << seed << " " << describe(line);
        }
        if (v < n) ++visits[{p.row, p.col}];
      }
    }
    const Framed framed(sk);
    for (int i = 0; i < sk.rows; ++i) {
      for (int j = 0; j < sk.cols; ++j) {
        if (sk.at(i, j) == no_line) continue;
        const int degree = std::popcount(links[framed.code(i + 1, j + 1)]);
        const int seen = visits[{i, j}];
        ASSERT_TRUE(degree == 2 ? seen == 1 : degree >= 3 || seen >= 1)
            << "seed " << seed << " pixel " << i << "," << j << " seen " << seen;
      }
    }
  }
}

// With pruning, lines are still made of their number's skeleton pixels, each number's pieces each
// give at least one line, and no line takes pixels of two pieces.
TEST(Trace, PrunedLinesStayOnTheirPieces) {
  for (std::uint32_t seed = 0; seed < 3000; ++seed) {
    const Image sk = skeleton(vtest::random_image(seed));
    const auto lines = trace(sk, 3);
    std::map<int, int> lines_per_number;
    for (const Line& line : lines) {
      ++lines_per_number[line.number];
      for (std::size_t v = 0; v + 1 < line.pixels.size(); ++v) {
        const Pixel a = line.pixels[v], b = line.pixels[v + 1];
        ASSERT_EQ(sk.at(a.row, a.col), line.number) << "seed " << seed;
        ASSERT_TRUE(adjacent(a, b)) << "seed " << seed << " " << describe(line);
      }
    }
    for (int k = 0; k < 255; ++k) {
      const auto number = static_cast<std::uint8_t>(k);
      ASSERT_GE(lines_per_number[k], vtest::pieces(sk, number)) << "seed " << seed;
    }
  }
}

// What the vectoriser's progress hears on bands five pixels wide (several thinning rounds, bridges
// and simplification on): fractions within [0, 1], never falling, the last 1, more than a
// handful; listening changes no line.
TEST(Vectorise, ProgressRisesToOne) {
  Image bands(64, 64);
  for (int i = 0; i < bands.rows; ++i) {
    for (int j = 0; j < bands.cols; ++j) {
      const int r = static_cast<int>(std::hypot(i - 31.5, j - 31.5));
      if (r % 10 < 5) bands.at(i, j) = static_cast<std::uint8_t>(r / 10);
    }
  }
  const torvanelle::vect::Options options{3, 1, 4, 2};
  std::vector<double> heard;
  const std::vector<Line> lines = vectorise(
      bands, options, nullptr, torvanelle::Progress([&](double f) { heard.push_back(f); }));
  ASSERT_GT(heard.size(), 5u);
  for (std::size_t k = 0; k < heard.size(); ++k) {
    EXPECT_GE(heard[k], k == 0 ? 0.0 : heard[k - 1]) << k;
    EXPECT_LE(heard[k], 1.0) << k;
  }
  EXPECT_EQ(heard.back(), 1.0);
  const std::vector<Line> quiet = vectorise(bands, options);
  ASSERT_FALSE(quiet.empty());
  ASSERT_EQ(lines.size(), quiet.size());
  for (std::size_t l = 0; l < lines.size(); ++l) {
    EXPECT_EQ(describe(lines[l]), describe(quiet[l])) << l;
  }
}

}  // namespace
