#include "devtools/terrain.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <set>
#include <vector>

namespace {

using Raster = std::vector<std::uint8_t>;

struct Sized {
  const Raster& r;
  int rows, cols;
  std::uint8_t at(int y, int x) const { return r[static_cast<std::size_t>(y) * cols + x]; }
};

// Length of the run of pixel (y, x)'s number through it, stepping by (dy, dx) both ways.
int run(const Sized& s, int y, int x, int dy, int dx) {
  const std::uint8_t k = s.at(y, x);
  int n = 1;
  for (int sign : {-1, 1}) {
    int yy = y + sign * dy, xx = x + sign * dx;
    while (yy >= 0 && xx >= 0 && yy < s.rows && xx < s.cols && s.at(yy, xx) == k) {
      ++n;
      yy += sign * dy;
      xx += sign * dx;
    }
  }
  return n;
}

// Thickness of the line at each of its pixels, as the shorter of its row and column runs:
// a line of width w gives w to w·√2.
std::vector<int> thicknesses(const Sized& s) {
  std::vector<int> t;
  for (int y = 0; y < s.rows; y += 3) {
    for (int x = 0; x < s.cols; x += 3) {
      if (s.at(y, x) != 255) t.push_back(std::min(run(s, y, x, 0, 1), run(s, y, x, 1, 0)));
    }
  }
  std::sort(t.begin(), t.end());
  return t;
}

TEST(Terrain, SameOptionsSameBytesOtherSeedOtherBytes) {
  terrain::Options o;
  o.rows = 300;
  o.cols = 500;
  const Raster a = terrain::contour_raster(o);
  EXPECT_EQ(a, terrain::contour_raster(o));
  o.seed = 2;
  EXPECT_NE(a, terrain::contour_raster(o));
}

TEST(Terrain, EmptySizesGiveNothing) {
  terrain::Options o;
  o.rows = 0;
  EXPECT_TRUE(terrain::contour_raster(o).empty());
  o.rows = 5;
  o.cols = -1;
  EXPECT_TRUE(terrain::contour_raster(o).empty());
}

TEST(Terrain, LooksLikeAContourMap) {
  const terrain::Options o;  // 1000 × 1000, 150 levels
  const Raster r = terrain::contour_raster(o);
  ASSERT_EQ(r.size(), 1000u * 1000u);
  const Sized s{r, o.rows, o.cols};

  std::set<int> numbers(r.begin(), r.end());
  ASSERT_TRUE(numbers.count(255));
  numbers.erase(255);
  EXPECT_LE(*numbers.rbegin(), o.levels - 1);
  EXPECT_GE(numbers.size(), 60u);

  const auto lines = std::count_if(r.begin(), r.end(), [](std::uint8_t v) { return v != 255; });
  EXPECT_GT(lines, 50'000);   // lines, not specks
  EXPECT_LT(lines, 700'000);  // and mostly background

  const std::vector<int> t = thicknesses(s);
  ASSERT_FALSE(t.empty());
  EXPECT_GE(t[t.size() / 10], 2);  // hardly any one-pixel-thin stretch
  EXPECT_GE(t[t.size() / 2], 2);
  EXPECT_LE(t[t.size() / 2], 5);

  int on_border = 0;
  for (int i = 0; i < o.rows; ++i) {
    on_border += (s.at(i, 0) != 255) + (s.at(i, o.cols - 1) != 255);
    on_border += (s.at(0, i) != 255) + (s.at(o.rows - 1, i) != 255);
  }
  EXPECT_GE(on_border, 100);
}

// The spurs are the only difference a spur rate makes: single background pixels turned into the
// number of a line they touch.
TEST(Terrain, SpursAreSinglePixelsStuckOnALine) {
  terrain::Options o;
  o.rows = 400;
  o.cols = 600;
  o.spurs_per_megapixel = 0;
  const Raster plain = terrain::contour_raster(o);
  o.spurs_per_megapixel = 50;
  const Raster spurred = terrain::contour_raster(o);
  const Sized s{spurred, o.rows, o.cols};
  int spurs = 0;
  for (int y = 0; y < o.rows; ++y) {
    for (int x = 0; x < o.cols; ++x) {
      const std::size_t i = static_cast<std::size_t>(y) * o.cols + x;
      if (plain[i] == spurred[i]) continue;
      ++spurs;
      ASSERT_EQ(plain[i], 255);
      int same = 0;
      for (int dy = -1; dy <= 1; ++dy) {
        for (int dx = -1; dx <= 1; ++dx) {
          const std::uint8_t v = s.at(y + dy, x + dx);
          same += (dy || dx) && v == spurred[i];
          EXPECT_TRUE(v == 255 || v == spurred[i]);
        }
      }
      EXPECT_GE(same, 1);
      EXPECT_LE(same, 3);
    }
  }
  EXPECT_EQ(spurs, 12);  // 50 per megapixel of 0.24 megapixels
}

TEST(Terrain, NarrowLinesStayNarrow) {
  terrain::Options o;
  o.rows = 400;
  o.cols = 600;
  o.levels = 40;
  o.min_width = o.max_width = 1;
  const Raster r = terrain::contour_raster(o);
  const std::vector<int> t = thicknesses(Sized{r, o.rows, o.cols});
  ASSERT_FALSE(t.empty());
  EXPECT_LE(t[t.size() / 2], 2);
  EXPECT_TRUE(std::all_of(r.begin(), r.end(), [](std::uint8_t v) { return v < 40 || v == 255; }));
}

}  // namespace
