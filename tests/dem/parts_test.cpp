// The elevation model's parts, each against what it must give on small inputs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <limits>
#include <ostream>
#include <queue>
#include <random>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "dem/distance.h"
#include "dem/gradient.h"
#include "dem/hull.h"
#include "dem/pixel_index.h"
#include "dem/regions.h"
#include "dem/sinks.h"
#include "dem/sparse.h"
#include "dem/thin_plate.h"

namespace {

namespace dem = torvanelle::dem;
using torvanelle::Image;
using torvanelle::no_line;

constexpr float nan = std::numeric_limits<float>::quiet_NaN();

/// A raster from rows of characters: '.' no line, '0'..'9' that number.
Image image(const std::vector<std::string>& rows) {
  Image out(static_cast<int>(rows.size()), static_cast<int>(rows.front().size()));
  for (int i = 0; i < out.rows; ++i) {
    for (int j = 0; j < out.cols; ++j) {
      const char c = rows[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)];
      if (c != '.') out.at(i, j) = static_cast<std::uint8_t>(c - '0');
    }
  }
  return out;
}

// Exact distances to both sets, even and odd values: every pixel of seeded random rasters
// against a search of all set pixels, in bands of one to five rows and of the default height,
// each row visited once.
TEST(DistanceTransform, ExactOnRandomRasters) {
  for (std::uint32_t seed = 1; seed <= 300; ++seed) {
    std::mt19937 random(seed);
    const int rows = 1 + static_cast<int>(random() % 20);
    const int cols = 1 + static_cast<int>(random() % 20);
    const unsigned density = 1 + random() % 30;  // percent of set pixels
    const int band_rows = seed % 6 == 0 ? 32 : static_cast<int>(seed % 6);
    std::vector<std::uint8_t> source(static_cast<std::size_t>(rows * cols), dem::no_label);
    for (auto& v : source) {
      if (random() % 100 < density) v = static_cast<std::uint8_t>(random() % 7);
    }
    std::vector<int> visits(static_cast<std::size_t>(rows), 0);
    std::vector<dem::NearestRow> got(2 * static_cast<std::size_t>(rows));
    const auto keep = [&](int i, const dem::NearestRow& even, const dem::NearestRow& odd) {
      ++visits[static_cast<std::size_t>(i)];
      got[2 * static_cast<std::size_t>(i)] = even;
      got[2 * static_cast<std::size_t>(i) + 1] = odd;
    };
    dem::nearest_by_parity(source, rows, cols, keep, band_rows);
    EXPECT_EQ(visits, std::vector<int>(static_cast<std::size_t>(rows), 1)) << "seed " << seed;
    for (int p = 0; p < rows * cols; ++p) {
      for (std::size_t parity = 0; parity < 2; ++parity) {
        const auto in_set = [&](int q) {
          const std::uint8_t v = source[static_cast<std::size_t>(q)];
          return v != dem::no_label && v % 2 == parity;
        };
        const auto squared = [&](int q) {
          const float di = static_cast<float>(p / cols - q / cols);
          const float dj = static_cast<float>(p % cols - q % cols);
          return di * di + dj * dj;
        };
        float best = std::numeric_limits<float>::infinity();
        for (int q = 0; q < rows * cols; ++q) {
          if (in_set(q)) best = std::min(best, squared(q));
        }
        const dem::NearestRow& row = got[2 * static_cast<std::size_t>(p / cols) + parity];
        const std::size_t j = static_cast<std::size_t>(p % cols);
        ASSERT_EQ(row.squared[j], best) << "seed " << seed << " pixel " << p << " set " << parity;
        // The label is that of a set pixel at exactly that distance.
        bool found = std::isinf(best) && row.label[j] == dem::no_label;
        for (int q = 0; q < rows * cols && !found; ++q) {
          found = in_set(q) && source[static_cast<std::size_t>(q)] == row.label[j] &&
                  squared(q) == best;
        }
        ASSERT_TRUE(found) << "seed " << seed << " pixel " << p << " set " << parity;
      }
    }
  }
}

struct HullCase {
  std::string name;
  std::vector<std::string> picture;
  std::vector<dem::Span> spans;  // first, last per row
};
void PrintTo(const HullCase& c, std::ostream* os) { *os << c.name; }

class HullSpans : public testing::TestWithParam<HullCase> {};

TEST_P(HullSpans, RowByRow) {
  const std::vector<dem::Span> spans = dem::hull_spans(image(GetParam().picture));
  ASSERT_EQ(spans.size(), GetParam().spans.size());
  for (std::size_t i = 0; i < spans.size(); ++i) {
    const bool empty = spans[i].last < spans[i].first;
    const bool want_empty = GetParam().spans[i].last < GetParam().spans[i].first;
    EXPECT_EQ(empty, want_empty) << "row " << i;
    if (empty || want_empty) continue;
    EXPECT_EQ(spans[i].first, GetParam().spans[i].first) << "row " << i;
    EXPECT_EQ(spans[i].last, GetParam().spans[i].last) << "row " << i;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Pictures, HullSpans,
    testing::Values(HullCase{"Empty", {"...", "..."}, {{0, -1}, {0, -1}}},
                    HullCase{"OnePixel", {"...", ".1.", "..."}, {{0, -1}, {1, 1}, {0, -1}}},
                    HullCase{"Diagonal", {"1...", "....", "..2."}, {{0, 0}, {1, 1}, {2, 2}}},
                    HullCase{"Triangle",
                             {"1.....", "......", "......", "2....3"},
                             {{0, 0}, {0, 1}, {0, 3}, {0, 5}}},
                    HullCase{"Bands", {"..1..", "11...", "...22"}, {{2, 2}, {0, 3}, {3, 4}}}),
    [](const testing::TestParamInfo<HullCase>& info) { return info.param.name; });

/// `grid` held where its `fixed` values are not NaN.
void hold_where_fixed(dem::PlateGrid& grid) {
  grid.held.clear();
  for (float f : grid.fixed)
    grid.held.push_back(std::isnan(f) ? 0 : 1);
}

// A plane costs no energy at any tension: held along every eighth column and guessed as the
// plane plus a checkerboard of ±3 (wrong everywhere, right on average over every 2×2 cell),
// the coarse-to-fine solver gives it back to half its rise over a pixel (the solver stops short of
// convergence: it runs a fixed number of sweeps).
TEST(ThinPlate, PlaneFromACheckerboardGuessAnyTension) {
  for (double tension : {0.0, 0.1, 0.5, 1.0}) {
    dem::PlateGrid grid{40, 49, std::vector<float>(40 * 49), {}, std::vector<float>(40 * 49, nan)};
    for (int n = 0; n < 40 * 49; ++n) {
      const int j = n % 49;
      if (j % 8 == 0) grid.fixed[static_cast<std::size_t>(n)] = j * 0.5f;
      grid.z[static_cast<std::size_t>(n)] = j * 0.5f + ((n / 49 + j) % 2 == 0 ? 3.0f : -3.0f);
    }
    hold_where_fixed(grid);
    dem::solve_thin_plate(grid, {tension, std::numeric_limits<double>::infinity()});
    for (int n = 0; n < 40 * 49; ++n) {
      ASSERT_NEAR(grid.z[static_cast<std::size_t>(n)], (n % 49) * 0.5, 0.25)
          << "tension " << tension << " pixel " << n;
    }
  }
}

// One sweep is Gauss-Seidel on the plate's 13-pixel stencil, (20p + 4t) z = (8p + t) S1 - 2p S2
// - p S3, in scan order, free pixels moved by the over-relaxation, held ones kept: against that
// formula written out pixel by pixel, on random ground whose two edge rows and columns are held
// (where fewer terms apply).
TEST(ThinPlate, OneSweepIsGaussSeidelOnTheStencil) {
  std::mt19937 random(11);
  std::uniform_real_distribution<float> value(0, 10);
  for (const auto& [tension, omega] : {std::pair{0.1f, 1.9f}, {0.0f, 1.0f}, {0.6f, 1.5f}}) {
    const int rows = 23, cols = 31;
    dem::PlateGrid grid{rows, cols, {}, {}, {}};
    for (int n = 0; n < rows * cols; ++n) {
      const int i = n / cols, j = n % cols;
      const bool edge = i < 2 || j < 2 || i >= rows - 2 || j >= cols - 2;
      grid.z.push_back(value(random));
      grid.fixed.push_back(edge || value(random) < 1 ? grid.z.back() : nan);
    }
    hold_where_fixed(grid);
    std::vector<float> z = grid.z;
    const auto at = [&](int i, int j) { return z[static_cast<std::size_t>(i * cols + j)]; };
    const float p = 1 - tension, den = 20 * p + 4 * tension;
    for (int i = 2; i < rows - 2; ++i) {
      for (int j = 2; j < cols - 2; ++j) {
        if (!std::isnan(grid.fixed[static_cast<std::size_t>(i * cols + j)])) continue;
        const float s1 = at(i - 1, j) + at(i + 1, j) + at(i, j - 1) + at(i, j + 1);
        const float s2 = at(i - 1, j - 1) + at(i - 1, j + 1) + at(i + 1, j - 1) + at(i + 1, j + 1);
        const float s3 = at(i - 2, j) + at(i + 2, j) + at(i, j - 2) + at(i, j + 2);
        const float goal = ((8 * p + tension) * s1 - 2 * p * s2 - p * s3) / den;
        float& v = z[static_cast<std::size_t>(i * cols + j)];
        v += omega * (goal - v);
      }
    }
    dem::relax(grid, {tension, std::numeric_limits<double>::infinity()}, omega);
    for (std::size_t n = 0; n < z.size(); ++n)
      ASSERT_NEAR(grid.z[n], z[n], 1e-4f) << "tension " << tension << " pixel " << n;
  }
}

// One to nine sweeps at once, each three rows behind the one before, up to four on each core
// (nine: eight, then one), give what they give one after the other, bit for bit: on random
// ground with random held pixels, held exactly (the held values in z alone) and loosely, with
// and without over-relaxation, repeated so that the threads meet at different rows.
TEST(ThinPlate, SweepsAtOnceAsOneAfterTheOther) {
  std::mt19937 random(7);
  std::uniform_real_distribution<float> value(0, 10);
  for (int round = 0; round < 27; ++round) {
    const int rows = 70 + round, cols = 33 + 3 * round;
    dem::PlateGrid grid{rows, cols, {}, {}, {}};
    for (int n = 0; n < rows * cols; ++n) {
      grid.z.push_back(value(random));
      grid.fixed.push_back(value(random) < 1 ? value(random) : nan);
    }
    hold_where_fixed(grid);
    const dem::Plate plate{0.1, round % 2 ? 5.0 : std::numeric_limits<double>::infinity()};
    if (std::isinf(plate.hold)) grid.fixed.clear();  // held exactly: at what z holds
    std::vector<float> omegas;
    for (int k = 0; k <= round % 9; ++k)
      omegas.push_back((round + k) % 3 ? 1.9f : 1.0f);
    dem::PlateGrid apart = grid;
    for (float omega : omegas)
      dem::relax(apart, plate, omega);
    dem::relax_sweeps(grid, plate, omegas);
    ASSERT_EQ(grid.z, apart.z) << "round " << round << ", " << omegas.size() << " sweeps";
  }
}

TEST(ThinPlate, AFiniteHoldLetsTheSurfacePassBetweenZigzagValues) {
  // A held column alternating 0 and 1 between two columns at 0.5: held exactly it zigzags,
  // held loosely it comes closer to the plane at 0.5.
  const auto spread = [](double hold) {
    dem::PlateGrid grid{20, 21, std::vector<float>(420, 0.5f), {}, std::vector<float>(420, nan)};
    for (int i = 0; i < 20; ++i) {
      grid.fixed[static_cast<std::size_t>(i * 21)] = 0.5f;
      grid.fixed[static_cast<std::size_t>(i * 21 + 20)] = 0.5f;
      grid.fixed[static_cast<std::size_t>(i * 21 + 10)] = static_cast<float>(i % 2);
    }
    hold_where_fixed(grid);
    dem::solve_thin_plate(grid, {0.1, hold});
    return std::abs(grid.z[10 * 21 + 10] - 0.5f);
  };
  EXPECT_FLOAT_EQ(spread(std::numeric_limits<double>::infinity()), 0.5f);
  EXPECT_LT(spread(5), 0.45f);
}

TEST(GradientSurface, StraightSlopeBetweenLinesOfNextLevels) {
  // Levels 0 and 1 six columns apart (base 10, interval 3): the ground climbs half an interval
  // a column between them... and each column three pixels from both is at the mid level.
  Image skeleton(5, 13);
  for (int i = 0; i < 5; ++i) {
    skeleton.at(i, 2) = 0;
    skeleton.at(i, 8) = 1;
  }
  const std::vector<float> z = dem::gradient_surface(skeleton, {10, 3});
  for (int j = 2; j <= 8; ++j)
    EXPECT_FLOAT_EQ(z[static_cast<std::size_t>(2 * 13 + j)], 10 + (j - 2) * 0.5f);
  // Beyond the outermost lines the same two nearest lines still count: the slope goes on
  // (2 from level 0, 8 from level 1: 10 + 3 × 2 / 10), until the hull or the bounds stop it.
  EXPECT_FLOAT_EQ(z[0], 10.6f);
}

struct BoundCase {
  std::string name;
  std::vector<std::string> picture;
  float value;     // every free pixel's value before
  float expected;  // the free pixel (2, 2)'s after
  std::size_t pits;
};

void PrintTo(const BoundCase& c, std::ostream* os) { *os << c.name; }

class BoundByRegions : public testing::TestWithParam<BoundCase> {};

TEST_P(BoundByRegions, ClampsOrScales) {
  const BoundCase& c = GetParam();
  const Image skeleton = image(c.picture);
  std::vector<float> z(skeleton.px.size());
  for (std::size_t n = 0; n < z.size(); ++n) {
    z[n] = skeleton.px[n] == no_line ? c.value : static_cast<float>(skeleton.px[n]);
  }
  const std::vector<std::size_t> pits = dem::bound_by_regions(skeleton, {0, 1}, z);
  EXPECT_FLOAT_EQ(z[static_cast<std::size_t>(2 * skeleton.cols + 2)], c.expected);
  EXPECT_EQ(pits.size(), c.pits);
}

const std::vector<std::string> ring3 = {"33333", "3...3", "3...3", "3...3", "33333"};
const std::vector<std::string> two_levels = {"3....", "3....", "3...4", "3....", "3...."};

INSTANTIATE_TEST_SUITE_P(
    Stretches, BoundByRegions,
    testing::Values(
        // Inside a ring of one level, a rise of three intervals is scaled down to 0.9.
        BoundCase{"SummitScaled", ring3, 6, 3 + dem::single_level_reach, 0},
        BoundCase{"SummitKept", ring3, 3.5f, 3.5f, 0},
        // A fall inside it is a pit the contours draw.
        BoundCase{"PitScaled", ring3, -1, 3 - dem::single_level_reach, 1},
        // One pit, however many arms the stretch has above where they join.
        BoundCase{"PitOfThreeArms",
                  {"3333333", "3.3.3.3", "3...3.3", "3.....3", "3333333"},
                  -1,
                  3 - dem::single_level_reach,
                  1},
        // Between levels 3 and 4, beyond either: the guide, here halfway (two pixels from each
        // line), rather than flat on the level.
        BoundCase{"Above", two_levels, 9, 3.5f, 0}, BoundCase{"Below", two_levels, 1, 3.5f, 0},
        BoundCase{"Between", two_levels, 3.25f, 3.25f, 0}),
    [](const testing::TestParamInfo<BoundCase>& info) { return info.param.name; });

/// Chamfer distances over the free pixels of `picture` (3 a step to a side, 4 to a diagonal)
/// from the lines of `level`, by a search nearest first: what the guide's sweeps approach.
std::vector<int> chamfer_from(const Image& picture, std::uint8_t level) {
  const int rows = picture.rows;
  const int cols = picture.cols;
  std::vector<int> d(picture.px.size(), std::numeric_limits<int>::max());
  using Step = std::pair<int, int>;  // distance, pixel
  std::priority_queue<Step, std::vector<Step>, std::greater<>> open;
  const auto steps = [&](int n, auto visit) {
    for (int di = -1; di <= 1; ++di) {
      for (int dj = -1; dj <= 1; ++dj) {
        const int i = n / cols + di;
        const int j = n % cols + dj;
        if ((di != 0 || dj != 0) && i >= 0 && j >= 0 && i < rows && j < cols)
          visit(i * cols + j, di == 0 || dj == 0 ? 3 : 4);
      }
    }
  };
  for (int n = 0; n < rows * cols; ++n) {
    if (picture.px[static_cast<std::size_t>(n)] != level) continue;
    steps(n, [&](int m, int length) { open.push({length, m}); });
  }
  while (!open.empty()) {
    const auto [length, n] = open.top();
    open.pop();
    if (picture.px[static_cast<std::size_t>(n)] != no_line ||
        length >= d[static_cast<std::size_t>(n)]) {
      continue;
    }
    d[static_cast<std::size_t>(n)] = length;
    steps(n, [&](int m, int step) { open.push({length + step, m}); });
  }
  return d;
}

// Above both its levels, a stretch takes the guide: the share of the way from its lowest line
// to its highest, by chamfer distances round a spur of the lowest line, in each of the eight
// orientations (the sweeps run both ways along rows and columns).
TEST(RegionsGuide, AboveBothLevelsFollowsChamferDistances) {
  const std::vector<std::string> picture = {
      "3.........", "3.........", "33333.....", "3.........", "3......4..",
      "3......4..", "3......4..", "3.........", "3.........",
  };
  for (int orientation = 0; orientation < 8; ++orientation) {
    std::vector<std::string> turned = picture;
    if (orientation & 4) {
      turned.assign(picture.front().size(), std::string(picture.size(), '.'));
      for (std::size_t i = 0; i < picture.size(); ++i) {
        for (std::size_t j = 0; j < picture[i].size(); ++j)
          turned[j][i] = picture[i][j];
      }
    }
    if (orientation & 1) std::reverse(turned.begin(), turned.end());
    if (orientation & 2) {
      for (std::string& row : turned)
        std::reverse(row.begin(), row.end());
    }
    const Image skeleton = image(turned);
    std::vector<float> z(skeleton.px.size(), 9.0f);
    for (std::size_t n = 0; n < z.size(); ++n) {
      if (skeleton.px[n] != no_line) z[n] = skeleton.px[n];
    }
    dem::bound_by_regions(skeleton, {0, 1}, z);
    const std::vector<int> low = chamfer_from(skeleton, 3);
    const std::vector<int> high = chamfer_from(skeleton, 4);
    for (std::size_t n = 0; n < z.size(); ++n) {
      if (skeleton.px[n] != no_line) continue;
      const double share = static_cast<double>(low[n]) / (low[n] + high[n]);
      EXPECT_FLOAT_EQ(z[n], static_cast<float>(3 + share)) << orientation << " at " << n;
    }
  }
}

/// A size × size raster at 9 with a 3 × 3 bowl in the middle: its ring at `ring`, its centre
/// at `centre`.
std::vector<float> bowl(float ring, float centre, int size = 5) {
  std::vector<float> z(static_cast<std::size_t>(size * size), 9.0f);
  const int m = size / 2;
  for (int i = m - 1; i <= m + 1; ++i) {
    for (int j = m - 1; j <= m + 1; ++j)
      z[static_cast<std::size_t>(i * size + j)] = ring;
  }
  z[static_cast<std::size_t>(m * size + m)] = centre;
  return z;
}

// The 32-bit index takes a raster of 2³² - 1 pixels, its last index included, and refuses one
// more; only the sizes are given, no raster.
TEST(PixelIndex, PacksFewerThan2To32Pixels) {
  constexpr std::size_t limit = std::size_t{1} << 32;
  EXPECT_NO_THROW(dem::PixelIndex{limit - 1});
  EXPECT_THROW(dem::PixelIndex{limit}, std::length_error);
  const dem::PixelIndex index(limit - 1);
  EXPECT_EQ(dem::PixelIndex::unpack(index.pack(limit - 2)), limit - 2);
}

// A pixel's neighbours by index, against the raster's bounds tested one by one: on rasters one
// pixel wide or tall, and on every pixel, the edge rows and columns among them.
TEST(Neighbours, EachInTheRasterInOrderAndTheBorder) {
  for (const auto& [rows, cols] : {std::pair{1, 1}, {1, 5}, {5, 1}, {2, 2}, {3, 4}, {6, 5}}) {
    const dem::Neighbours neighbours(rows, cols);
    for (int i = 0; i < rows; ++i) {
      for (int j = 0; j < cols; ++j) {
        const std::size_t n = static_cast<std::size_t>(i * cols + j);
        std::vector<std::pair<std::size_t, int>> got, want;
        neighbours.each(n, [&](std::size_t m, int k) { got.emplace_back(m, k); });
        for (int k = 0; k < 8; ++k) {
          const int a = i + dem::Neighbours::offsets[k][0];
          const int b = j + dem::Neighbours::offsets[k][1];
          if (a >= 0 && b >= 0 && a < rows && b < cols) {
            want.emplace_back(static_cast<std::size_t>(a * cols + b), k);
          }
        }
        EXPECT_EQ(got, want) << rows << "x" << cols << " pixel " << n;
        EXPECT_EQ(neighbours.on_border(n), i == 0 || j == 0 || i == rows - 1 || j == cols - 1);
      }
    }
  }
}

// Pixels named in any order, some twice, on rasters whose sizes end on and off a word of 64:
// each holds its own value, no other pixel is held, and a raster with none holds nothing.
TEST(SparsePixels, HoldsEachNamedPixelsValue) {
  std::mt19937 random(5);
  for (const std::size_t pixels :
       {std::size_t{1}, std::size_t{64}, std::size_t{65}, std::size_t{1000}}) {
    for (const double share : {0.0, 0.03, 0.5, 1.0}) {
      std::vector<std::size_t> named;
      for (std::size_t n = 0; n < pixels; ++n) {
        if (std::uniform_real_distribution<double>(0, 1)(random) < share) named.push_back(n);
      }
      std::vector<std::size_t> twice = named;
      twice.insert(twice.end(), named.begin(), named.end());
      std::shuffle(twice.begin(), twice.end(), random);
      dem::SparsePixels<int> sparse(pixels, [&](auto mark) {
        for (std::size_t n : twice)
          mark(n);
      });
      EXPECT_EQ(sparse.empty(), named.empty());
      for (std::size_t n : named)
        sparse[n] = static_cast<int>(3 * n + 1);
      for (std::size_t n = 0; n < pixels; ++n) {
        const bool held = std::find(named.begin(), named.end(), n) != named.end();
        EXPECT_EQ(sparse.contains(n), held) << pixels << " pixels, pixel " << n;
        if (held) {
          EXPECT_EQ(sparse[n], static_cast<int>(3 * n + 1)) << pixels << " pixels, pixel " << n;
        }
      }
    }
  }
}

// A pixel beside a NaN, on any of its eight sides, is on the model's edge and drains there; with
// no NaN it is raised.
TEST(FillSinks, APixelBesideANaNOnAnySideDrains) {
  for (int k = -1; k < 8; ++k) {
    std::vector<float> z = bowl(5, 2, 7);
    if (k >= 0) {
      z[static_cast<std::size_t>((3 + dem::Neighbours::offsets[k][0]) * 7 + 3 +
                                 dem::Neighbours::offsets[k][1])] = nan;
    }
    dem::fill_sinks(z, 7, 7, {}, 0.01f);
    EXPECT_FLOAT_EQ(z[3 * 7 + 3], k >= 0 ? 2.0f : 9.03f) << "NaN at neighbour " << k;
  }
}

TEST(FillSinks, RaisesADepressionToItsSpillPlusASteps) {
  std::vector<float> z = bowl(5, 2);
  dem::fill_sinks(z, 5, 5, {}, 0.01f);
  EXPECT_FLOAT_EQ(z[6], 9.01f);   // next to the rim
  EXPECT_FLOAT_EQ(z[12], 9.02f);  // one further
  EXPECT_FLOAT_EQ(z[0], 9.0f);    // the rim is the model's edge
}

TEST(FillSinks, AnOutletKeepsItsDepression) {
  std::vector<float> z = bowl(5, 2);
  dem::fill_sinks(z, 5, 5, {12}, 0.01f);
  EXPECT_EQ(z, bowl(5, 2));
}

TEST(FillSinks, NaNIsTheModelsEdge) {
  std::vector<float> z = bowl(5, 2);
  z[0] = nan;
  z[6] = 1;  // beside the NaN: drains there
  dem::fill_sinks(z, 5, 5, {}, 0.01f);
  EXPECT_FLOAT_EQ(z[6], 1);
  EXPECT_FLOAT_EQ(z[12], 2);
  EXPECT_FLOAT_EQ(z[7], 5);
}

/// The pixels of a rows × cols raster that a way from an edge pixel (beside the raster's edge or
/// a NaN) or an outlet reaches, each step rising by `step` or more or onto a line pixel of
/// `held`: breadth first, as plainly as it can be written.
std::vector<bool> reached_rising(const std::vector<float>& z, int rows, int cols,
                                 const std::vector<std::size_t>& outlets, float step,
                                 const Image& held) {
  const auto value = [&](int i, int j) {
    return i < 0 || j < 0 || i >= rows || j >= cols ? nan
                                                    : z[static_cast<std::size_t>(i * cols + j)];
  };
  std::vector<bool> reached(z.size(), false);
  std::vector<std::pair<int, int>> queue;
  for (int i = 0; i < rows; ++i) {
    for (int j = 0; j < cols; ++j) {
      bool edge = false;
      for (int a = i - 1; a <= i + 1; ++a) {
        for (int b = j - 1; b <= j + 1; ++b)
          edge = edge || std::isnan(value(a, b));
      }
      const std::size_t n = static_cast<std::size_t>(i * cols + j);
      const bool outlet = std::find(outlets.begin(), outlets.end(), n) != outlets.end();
      if (!std::isnan(z[n]) && (edge || outlet)) reached[n] = true, queue.emplace_back(i, j);
    }
  }
  for (std::size_t q = 0; q < queue.size(); ++q) {
    const auto [i, j] = queue[q];
    for (int a = i - 1; a <= i + 1; ++a) {
      for (int b = j - 1; b <= j + 1; ++b) {
        if (std::isnan(value(a, b))) continue;
        const std::size_t m = static_cast<std::size_t>(a * cols + b);
        if (reached[m] || (value(a, b) < value(i, j) + step && held.at(a, b) == no_line)) continue;
        reached[m] = true;
        queue.emplace_back(a, b);
      }
    }
  }
  return reached;
}

// On random ground with NaNs, lines and an outlet: a pixel that a rising way already joined to
// the edge or the outlet keeps its value; none is lowered; each raised one lies a step above a
// neighbour; and afterwards every pixel is joined so.
TEST(FillSinks, OnRandomGroundOnlyWhatDoesNotDrainIsRaised) {
  std::mt19937 random(11);
  std::uniform_real_distribution<float> ground(0, 10);
  for (int trial = 0; trial < 40; ++trial) {
    // The first large enough for the halves of the rows to be walked on two cores.
    const int rows = trial == 0 ? 260 : 12 + trial % 7;
    const int cols = trial == 0 ? 260 : 15 + trial % 5;
    std::vector<float> z(static_cast<std::size_t>(rows * cols));
    Image held(rows, cols);
    for (std::size_t n = 0; n < z.size(); ++n) {
      const float r = ground(random);
      z[n] = r < 0.3f ? nan : ground(random);
      if (r > 9) held.px[n] = 3;
    }
    const std::vector<std::size_t> outlets = {z.size() / 2};
    const float step = 0.01f;
    const std::vector<bool> drained = reached_rising(z, rows, cols, outlets, step, held);
    std::vector<float> filled = z;
    dem::fill_sinks(filled, rows, cols, outlets, step, &held);
    if (trial == 0) {  // the halves walked side by side: the same whichever ends first
      std::vector<float> again = z;
      dem::fill_sinks(again, rows, cols, outlets, step, &held);
      EXPECT_EQ(std::memcmp(again.data(), filled.data(), z.size() * sizeof(float)), 0);
    }
    const std::vector<bool> after = reached_rising(filled, rows, cols, outlets, step, held);
    for (std::size_t n = 0; n < z.size(); ++n) {
      if (std::isnan(z[n])) continue;
      EXPECT_TRUE(after[n]) << "trial " << trial << " pixel " << n;
      if (drained[n] || held.px[n] != no_line) {
        EXPECT_EQ(filled[n], z[n]) << "trial " << trial << " pixel " << n;
        continue;
      }
      EXPECT_GE(filled[n], z[n]) << "trial " << trial << " pixel " << n;
      bool a_step_above = filled[n] == z[n];
      dem::Neighbours(rows, cols).each(n, [&](std::size_t m, int) {
        a_step_above = a_step_above || filled[n] == filled[m] + step;
      });
      EXPECT_TRUE(a_step_above) << "trial " << trial << " pixel " << n;
    }
  }
}

struct DrawnCase {
  std::string name;
  float line_depth;  // how far the ring's line lies below the rim at 9
  bool closed_line;  // the whole ring a line, or one pixel of it
  float centre;      // after; NaN: drained down a channel to the edge
};

void PrintTo(const DrawnCase& c, std::ostream* os) { *os << c.name; }

class UndrawnSinks : public testing::TestWithParam<DrawnCase> {};

/// Whether water from pixel (i, j) of a 9 × 9 grid, always taking the lowest lower neighbour,
/// reaches the grid's edge.
bool drains_to_edge(const std::vector<float>& z, int i, int j) {
  while (i > 0 && j > 0 && i < 8 && j < 8) {
    int bi = i, bj = j;
    for (int a = i - 1; a <= i + 1; ++a) {
      for (int b = j - 1; b <= j + 1; ++b) {
        if (z[static_cast<std::size_t>(a * 9 + b)] < z[static_cast<std::size_t>(bi * 9 + bj)])
          bi = a, bj = b;
      }
    }
    if (bi == i && bj == j) return false;
    i = bi, j = bj;
  }
  return true;
}

TEST_P(UndrawnSinks, DrainedUnlessALineLiesDeepBesideIt) {
  const DrawnCase& c = GetParam();
  Image skeleton(9, 9);
  const float ring = 9 - c.line_depth;
  for (int i = 3; i <= 5; ++i) {
    for (int j = 3; j <= 5; ++j) {
      if (c.closed_line ? (i != 4 || j != 4) : (i == 3 && j == 4)) skeleton.at(i, j) = 0;
    }
  }
  std::vector<float> z = bowl(ring, 2, 9);
  dem::fill_undrawn_sinks(z, skeleton, {}, 0.01f, 0.5f);
  if (std::isnan(c.centre)) {
    EXPECT_FLOAT_EQ(z[40], 2) << "a channel lowers, never raises";
    EXPECT_TRUE(drains_to_edge(z, 4, 4));
  } else {
    EXPECT_FLOAT_EQ(z[40], c.centre);
  }
  // The line's pixels are never raised nor lowered, drained or not.
  for (std::size_t n = 0; n < z.size(); ++n) {
    if (skeleton.px[n] != no_line) {
      EXPECT_FLOAT_EQ(z[n], ring) << n;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Depths, UndrawnSinks,
    testing::Values(DrawnCase{"Deep", 1, false, 2}, DrawnCase{"Shallow", 0.25f, false, nan},
                    // The channel would cross the line: filled instead, a step above the line.
                    DrawnCase{"LineAllRound", 0.25f, true, 8.76f}),
    [](const testing::TestParamInfo<DrawnCase>& info) { return info.param.name; });

}  // namespace
