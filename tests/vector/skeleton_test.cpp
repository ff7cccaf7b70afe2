#include "vector/skeleton.h"

#include <gtest/gtest.h>

#include <bit>
#include <set>

#include "vector_support.h"

namespace {

using torvanelle::Image;
using torvanelle::no_line;
using torvanelle::vect::Framed;
using torvanelle::vect::simple;
using torvanelle::vect::skeleton;
using vtest::image;
using vtest::picture;

// Random rasters: against the literal thinning, which counts pieces over the whole raster for
// every pixel it looks at, and many more for the checks of the result alone.
#ifndef TORVANELLE_VECTOR_CASES
#define TORVANELLE_VECTOR_CASES 1500
#endif
constexpr std::uint32_t differential_cases = TORVANELLE_VECTOR_CASES;
constexpr std::uint32_t cases = 4 * differential_cases;

/// Yokoi's connectivity number for 8-connected lines, a sum over the four side neighbours:
/// a pixel is simple exactly when it is 1.
int yokoi(unsigned code) {
  auto absent = [code](int bit) { return ((code >> (bit % 8)) & 1) ? 0 : 1; };
  int n = 0;
  for (int side = 1; side < 8; side += 2)
    n += absent(side) - absent(side) * absent(side + 1) * absent(side + 2);
  return n;
}

TEST(SimpleSet, IsTheCodesOfYokoiConnectivityNumberOne) {
  for (unsigned code = 0; code < 256; ++code)
    EXPECT_EQ(simple[code], yokoi(code) == 1) << "code " << code;
  EXPECT_FALSE(simple[0]);            // a lone pixel would vanish
  EXPECT_FALSE(simple[255]);          // an inner pixel would open a hole
  EXPECT_FALSE(simple[0b0010'0010]);  // north and south only: the line would break
  EXPECT_TRUE(simple[0b0000'0011]);   // north-west and north hang together
}

// The engine's worklists against full scans of each number on its own, simple points tested by
// counting pieces and gaps over the whole raster.
TEST(Skeleton, EqualsTheLiteralThinningOnRandomRasters) {
  for (std::uint32_t seed = 0; seed < differential_cases; ++seed) {
    const Image in = vtest::random_image(seed);
    ASSERT_EQ(picture(skeleton(in)), picture(vtest::literal_thinning(in))) << "seed " << seed;
  }
}

std::set<std::uint8_t> numbers(const Image& im) {
  std::set<std::uint8_t> out;
  for (const std::uint8_t v : im.px) {
    if (v != no_line) out.insert(v);
  }
  return out;
}

/// Whether every side neighbour of framed pixel (i, j) that lies in the image is present.
bool sides_held(const Framed& f, int i, int j) {
  const std::uint8_t k = f.row(i)[j];
  return (i == 1 || f.row(i - 1)[j] == k) && (i == f.rows() || f.row(i + 1)[j] == k) &&
         (j == 1 || f.row(i)[j - 1] == k) && (j == f.cols() || f.row(i)[j + 1] == k);
}

// What the skeleton must be, whatever the thinning: each number keeps its pieces and its holes,
// pixels only go, and what is left is one pixel wide: no pixel but a line's end is simple, except
// on the image's edge, which is not peeled from outside.
TEST(Skeleton, KeepsPiecesAndHolesAndLeavesOnlyLinesOnePixelWide) {
  for (std::uint32_t seed = 0; seed < cases; ++seed) {
    const Image in = vtest::random_image(seed);
    const Image out = skeleton(in);
    for (const std::uint8_t k : numbers(in)) {
      ASSERT_EQ(vtest::pieces(out, k), vtest::pieces(in, k)) << "seed " << seed << " k " << int{k};
      ASSERT_EQ(vtest::gaps(out, k), vtest::gaps(in, k)) << "seed " << seed << " k " << int{k};
    }
    for (std::size_t p = 0; p < in.px.size(); ++p)
      ASSERT_TRUE(out.px[p] == in.px[p] || out.px[p] == no_line) << "seed " << seed;
    const Framed framed(out);
    for (int i = 1; i <= out.rows; ++i) {
      for (int j = 1; j <= out.cols; ++j) {
        const std::uint8_t code = framed.code(i, j);
        const bool line_end = std::popcount(code) <= 1;
        const bool held = sides_held(framed, i, j);
        ASSERT_TRUE(framed.row(i)[j] == no_line || line_end || !simple[code] || held)
            << "seed " << seed << " pixel " << i - 1 << "," << j - 1;
      }
    }
    ASSERT_EQ(skeleton(out), out) << "seed " << seed << ": a skeleton thins to itself";
  }
}

TEST(Skeleton, SmallCases) {
  struct Case {
    const char* name;
    vtest::Picture in, out;
  };
  const std::vector<Case> examples = {
      // The hole stays, and the ring closes round it one pixel wide.
      {"ThickRing",
       {"........", ".111111.", ".111111.", ".11..11.", ".11..11.", ".111111.", ".111111.",
        "........"},
       {"........", "........", "..111...", ".1...1..", ".1...1..", "..1..1..", "...11...",
        "........"}},
      // Each ring is thinned as if the other were absent: both stay whole, closed and apart.
      {"TouchingRingsOfTwoNumbers",
       {".........", ".11122222", ".1.12...2", ".1.12...2", ".11122222", "........."},
       {".........", "..1..222.", ".1.12...2", ".1.12...2", "..1..222.", "........."}},
      {"Dot", {"...", ".5.", "..."}, {"...", ".5.", "..."}},
      {"LineAlongTheEdge", {"3333", "....", "...."}, {"3333", "....", "...."}},
      // A band running off the image still reaches its edge; its free end shrinks by half its
      // width.
      {"BandOffTheEdge",
       {".......", "..111..", "..111..", "..111..", "..111.."},
       {".......", ".......", "...1...", "...1...", "...1..."}},
      // Staircase corners are simple and go; so do its ends, which have two neighbours each.
      {"Staircase",
       {".......", ".11....", "..11...", "...11..", "....11.", "......."},
       {".......", ".......", "..1....", "...1...", "....1..", "......."}},
      // A 2 x 2 square becomes two pixels, not one: a pixel with one neighbour stays.
      {"Square", {"....", ".##.", ".##.", "...."}, {"....", "....", ".##.", "...."}},
  };
  for (const Case& c : examples)
    EXPECT_EQ(picture(skeleton(image(c.in))), c.out) << c.name;
}

}  // namespace
