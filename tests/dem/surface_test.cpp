// The elevation model on surfaces whose every value is known: contour rasters drawn from them,
// the model set against them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "base/progress.h"
#include "dem/dem.h"
#include "dem_support.h"

namespace {

using demtest::contour_image;
using demtest::Surface;
using torvanelle::dem::elevation_model;
using torvanelle::dem::Levels;
using torvanelle::dem::Method;
using torvanelle::dem::Model;
using torvanelle::dem::Options;

constexpr int size = 64;

double radius(double i, double j) { return std::hypot(i - 31.5, j - 31.5); }

/// A surface, how it is drawn, and how close the model must come to it (in intervals).
struct Reproduced {
  std::string name;
  Surface f;
  Levels levels;
  int width;
  Method method;
  double tolerance;  // largest error, in intervals, two pixels or more inside the hull
};

std::string name_of(const testing::TestParamInfo<Reproduced>& info) { return info.param.name; }
void PrintTo(const Reproduced& c, std::ostream* os) { *os << c.name; }

class ReproducesSurface : public testing::TestWithParam<Reproduced> {};

TEST_P(ReproducesSurface, WithinTolerance) {
  const Reproduced& c = GetParam();
  const auto image = contour_image(size, size, c.f, c.levels, c.width);
  Options options;
  options.method = c.method;
  const Model model = elevation_model(image, c.levels, options);
  EXPECT_GT(demtest::valid_pixels(model), size * size / 3);
  EXPECT_LE(demtest::max_error(model, c.f, 2), c.tolerance * c.levels.interval);
}

// Lines that lie exactly on the levels (z = column, a line every 4 columns) leave a plane
// nothing to guess: the slope between the nearest lines gives it back exactly, the plate to the
// few hundredths of an interval that its coarse-to-fine solution leaves, thin lines or bands.
Surface exact_plane = [](double, double j) { return j; };
// Drawn lines zigzag about the true level by up to half a pixel's rise (here 0.25 interval).
Surface tilted_plane = [](double i, double j) { return 10 + 0.3 * i + 0.4 * j; };
// Summit at 40.95; its top closed contour, level 40, at radius 1.9 (thinner than a band).
Surface cone = [](double i, double j) { return 40.95 - 0.5 * radius(i, j); };

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Surfaces, ReproducesSurface,
    testing::Values(
        //         name                     surface       levels  width method   tolerance
        Reproduced{"ExactPlanePlate",       exact_plane,  {0, 4}, 1, Method::thin_plate, 0.06},
        Reproduced{"ExactPlaneGradient",    exact_plane,  {0, 4}, 1, Method::gradient,   0.001},
        Reproduced{"ExactPlaneBandsPlate",  exact_plane,  {0, 4}, 3, Method::thin_plate, 0.06},
        Reproduced{"TiltedPlanePlate",      tilted_plane, {0, 2}, 1, Method::thin_plate, 0.2},
        Reproduced{"TiltedPlaneBandsPlate", tilted_plane, {0, 2}, 3, Method::thin_plate, 0.2},
        Reproduced{"TiltedPlaneGradient",   tilted_plane, {0, 2}, 1, Method::gradient,   0.25},
        Reproduced{"ConePlate",             cone,         {0, 2}, 1, Method::thin_plate, 0.3},
        // The top ring's band covers the summit: the plate rounds it off lower.
        Reproduced{"ConeBandsPlate",        cone,         {0, 2}, 3, Method::thin_plate, 0.45},
        Reproduced{"ConeGradient",          cone,         {0, 2}, 1, Method::gradient,   0.5}),
    name_of);
// clang-format on

/// A surface where the same level lies on both sides of some ground, and what the model must
/// do there.
struct Shape {
  std::string name;
  Surface f;
  Levels levels;
  int width;
  int minima;        // strict minima the contours call for
  double level;      // the level on both sides
  double probe_row;  // a pixel between the lines of that level
  double probe_col;
  int side;  // +1: the ground there lies above the level, -1 below
};

std::string shape_name(const testing::TestParamInfo<Shape>& info) { return info.param.name; }
void PrintTo(const Shape& c, std::ostream* os) { *os << c.name; }

class SameLevelOnBothSides : public testing::TestWithParam<Shape> {
 protected:
  void SetUp() override {
    const Shape& c = GetParam();
    image_ = contour_image(size, size, c.f, c.levels, c.width);
    model_ = elevation_model(image_, c.levels);
  }
  demtest::Image image_;
  Model model_;
};

// Where the true ground has a slope everywhere, the model must not lie flat: no 3 × 3 window
// off the lines spans less than a thousandth of an interval, and no more than 2% of the pixels
// off the lines sit within a thousandth of an interval of a level.
TEST_P(SameLevelOnBothSides, NoFlatGroundNoTerrace) {
  const Shape& c = GetParam();
  const double flat = 0.001 * c.levels.interval;
  EXPECT_EQ(demtest::flat_pixels(model_, image_, flat), 0);
  EXPECT_LE(demtest::on_level_pixels(model_, image_, c.levels, flat),
            demtest::valid_pixels(model_) / 50);
}

// Between the two lines of one level the ground carries on the slopes beyond them, to the
// right side of the level and by less than one interval: clearly off the level (ten times
// what counts as on it), though a smooth surface rounds a sharp valley's floor off to a few
// hundredths of an interval where the lines lie ten pixels apart.
TEST_P(SameLevelOnBothSides, ContinuesTheSlopesWithinAnInterval) {
  const Shape& c = GetParam();
  const double rise =
      c.side * (model_.at(static_cast<int>(c.probe_row), static_cast<int>(c.probe_col)) - c.level);
  EXPECT_GT(rise, 0.01 * c.levels.interval);
  EXPECT_LT(rise, c.levels.interval);
}

TEST_P(SameLevelOnBothSides, NoSinkTheContoursDoNotDraw) {
  EXPECT_EQ(demtest::strict_minima(model_), GetParam().minima);
}

// A valley whose floor, at 10.6, lies between two lines of level 11, falling 0.3 interval
// along its length.
double valley(double i, double j) { return 10.6 + 0.25 * std::abs(j - 31.5) + 0.005 * i; }
// Wider, so that 3-pixel bands leave ground between them; falling 0.6 interval.
double wide_valley(double i, double j) { return 10.6 + 0.1 * std::abs(j - 31.5) + 0.01 * i; }
// A ridge whose crest, at 20.5, falls 0.3 interval along it.
double ridge(double i, double j) { return 20.5 - 0.3 * std::abs(j - 31.5) - 0.005 * i; }
// A saddle: level 20 crosses itself; up along the rows, down along the columns.
double saddle(double i, double j) {
  return 20 + 0.01 * ((i - 31.5) * (i - 31.5) - (j - 31.5) * (j - 31.5));
}
// A pit: the lowest closed contour, level 6, at radius 1.9; inside it the ground falls, to the
// one sink that the contours draw. (The summit is `cone`: its top closed contour, level 40,
// at radius 1.9.)
double pit(double i, double j) { return 5.05 + 0.5 * radius(i, j); }

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Shapes, SameLevelOnBothSides,
    testing::Values(
        //    name           surface      levels  width minima level probe     side
        Shape{"Valley",      valley,      {0, 1}, 1,    0,     11,   20, 31.5, -1},
        Shape{"ValleyBands", wide_valley, {0, 1}, 3,    0,     11,   20, 31.5, -1},
        Shape{"Ridge",       ridge,       {0, 1}, 1,    0,     20,   32, 31.5, +1},
        Shape{"Saddle",      saddle,      {0, 1}, 1,    0,     20,   26, 31.5, +1},
        Shape{"Summit",      cone,        {0, 2}, 1,    0,     40,   31, 31,   +1},
        Shape{"Pit",         pit,         {0, 1}, 1,    1,     6,    31, 31,   -1}),
    shape_name);
// clang-format on

TEST(ElevationModel, ThickBandsHoldOnlyAlongTheirCentre) {
  // Across a 3-pixel band the true ground rises 0.8 interval: a band held whole at its level
  // would be off by 0.4 at its edges.
  const Levels levels{0, 2};
  const auto image = contour_image(size, size, tilted_plane, levels, 3);
  const Model model = elevation_model(image, levels);
  int off_level = 0;
  for (int i = 0; i < size; ++i) {
    for (int j = 0; j < size; ++j) {
      if (image.at(i, j) == torvanelle::no_line || std::isnan(model.at(i, j))) continue;
      off_level += std::abs(model.at(i, j) - levels.of(image.at(i, j))) > 0.2 ? 1 : 0;
    }
  }
  EXPECT_GT(off_level, 100);
}

TEST(ElevationModel, NodataOutsideTheHullAndTheRangeOfTheRest) {
  // A triangle of three lines: the raster's corners and its upper right half lie outside.
  demtest::Image image(40, 40);
  for (int k = 5; k < 35; ++k) {
    image.at(k, 5) = 1;   // the left side
    image.at(34, k) = 2;  // the base
    image.at(k, k) = 3;   // the diagonal
  }
  const Model model = elevation_model(image, {100, 10});
  EXPECT_TRUE(std::isnan(model.at(0, 39)));
  EXPECT_TRUE(std::isnan(model.at(39, 0)));
  EXPECT_TRUE(std::isnan(model.at(2, 20)));
  EXPECT_FALSE(std::isnan(model.at(20, 10)));
  EXPECT_FLOAT_EQ(model.min, 110);
  EXPECT_FLOAT_EQ(model.max, 130);
}

TEST(ElevationModel, NoLineNoElevation) {
  const Model model = elevation_model(demtest::Image(8, 9), {0, 1});
  EXPECT_EQ(model.rows, 8);
  EXPECT_EQ(model.cols, 9);
  EXPECT_EQ(model.z.size(), 72u);
  EXPECT_EQ(demtest::valid_pixels(model), 0);
  EXPECT_TRUE(std::isnan(model.min));
  EXPECT_TRUE(std::isnan(model.max));
}

// Rasters one or two pixels across, either way: the lines keep their levels and the ground
// between two of them stays between their levels, for both methods.
TEST(ElevationModel, NarrowRastersHoldTheirLines) {
  for (const auto& [rows, cols] : {std::pair{1, 9}, {9, 1}, {2, 9}, {9, 2}}) {
    demtest::Image image(rows, cols);
    const int length = std::max(rows, cols);
    const auto place = [&](int k, int across) {
      return rows > cols ? std::pair{k, across} : std::pair{across, k};
    };
    for (int across = 0; across < std::min(rows, cols); ++across) {
      for (const int k : {0, length / 2, length - 1}) {
        const auto [i, j] = place(k, across);
        image.at(i, j) = static_cast<std::uint8_t>(2 * k / (length - 1));
      }
    }
    for (const Method method : {Method::thin_plate, Method::gradient}) {
      Options options;
      options.method = method;
      const Model model = elevation_model(image, {100, 10}, options);
      for (int across = 0; across < std::min(rows, cols); ++across) {
        for (int k = 0; k < length; ++k) {
          const auto [i, j] = place(k, across);
          const float z = model.at(i, j);
          const std::string where = std::to_string(rows) + "x" + std::to_string(cols) + " at " +
                                    std::to_string(i) + "," + std::to_string(j);
          if (image.at(i, j) != torvanelle::no_line) {
            EXPECT_FLOAT_EQ(z, 100 + 10 * image.at(i, j)) << where;
          } else {
            EXPECT_GE(z, k < length / 2 ? 100 : 110) << where;
            EXPECT_LE(z, k < length / 2 ? 110 : 120) << where;
          }
        }
      }
    }
  }
}

// What the progress hears: fractions within [0, 1], never falling, the last 1, more than a
// handful through the thin plate's sweeps; listening changes no bit of the model.
TEST(ElevationModel, ProgressRisesToOne) {
  const Levels levels{0, 2};
  const auto image = contour_image(size, size, cone, levels);
  for (const Method method : {Method::thin_plate, Method::gradient}) {
    Options options;
    options.method = method;
    std::vector<double> heard;
    const Model model = elevation_model(
        image, levels, options, torvanelle::Progress([&](double f) { heard.push_back(f); }));
    ASSERT_FALSE(heard.empty());
    for (std::size_t k = 0; k < heard.size(); ++k) {
      EXPECT_GE(heard[k], k == 0 ? 0.0 : heard[k - 1]) << k;
      EXPECT_LE(heard[k], 1.0) << k;
    }
    EXPECT_EQ(heard.back(), 1.0);
    EXPECT_GT(heard.size(), method == Method::thin_plate ? 5u : 3u);
    const Model quiet = elevation_model(image, levels, options);
    ASSERT_EQ(model.z.size(), quiet.z.size());
    EXPECT_EQ(std::memcmp(model.z.data(), quiet.z.data(), model.z.size() * sizeof(float)), 0);
  }
  // Without a line there is nothing to do, and it still ends at 1.
  std::vector<double> heard;
  elevation_model(demtest::Image(8, 9), levels, {},
                  torvanelle::Progress([&](double f) { heard.push_back(f); }));
  EXPECT_EQ(heard, std::vector<double>{1.0});
}

TEST(ElevationModel, LevelsFromBaseAndInterval) {
  const Levels levels{-100, 2.5};
  EXPECT_DOUBLE_EQ(levels.of(0), -100);
  EXPECT_DOUBLE_EQ(levels.of(254), 535);
}

}  // namespace
