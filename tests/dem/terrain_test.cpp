// The elevation model on hard ground, in every orientation: a cliff whose lines merge, a mesa, a
// pit lake, a narrow ridge, lines that leave the sheet, a bay open to one edge, one level only.
// Each raster is also turned and mirrored into its 8 orientations, and the model turned back
// must hold the same: an edge or a scan direction that the engine treats differently shows.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "dem/dem.h"
#include "dem_support.h"
#include "vector/skeleton.h"

namespace {

using demtest::Image;
using demtest::Surface;
using torvanelle::dem::elevation_model;
using torvanelle::dem::Levels;
using torvanelle::dem::Model;

constexpr int size = 64;
constexpr Levels unit = {0, 1};

double radius(double i, double j) { return std::hypot(i - 31.5, j - 31.5); }

/// One of the 8 orientations, by `code`: bit 0 swaps rows and columns, bit 1 mirrors the rows,
/// bit 2 the columns.
struct Orientation {
  int code;
  /// The original's pixel that pixel (i, j) of the turned raster shows.
  std::size_t from(int i, int j) const {
    int row = code & 1 ? j : i;
    int col = code & 1 ? i : j;
    if (code & 2) row = size - 1 - row;
    if (code & 4) col = size - 1 - col;
    return static_cast<std::size_t>(row) * size + static_cast<std::size_t>(col);
  }
};

/// Pixels turned (`back` false), or pixels of a turned raster turned back onto the original's.
template <typename Pixels>
Pixels turned(Pixels pixels, Orientation o, bool back = false) {
  const Pixels in = pixels;
  for (int i = 0; i < size; ++i) {
    for (int j = 0; j < size; ++j) {
      const std::size_t turned_at =
          static_cast<std::size_t>(i) * size + static_cast<std::size_t>(j);
      if (back) {
        pixels[o.from(i, j)] = in[turned_at];
      } else {
        pixels[turned_at] = in[o.from(i, j)];
      }
    }
  }
  return pixels;
}

struct Ground {
  std::string name;
  Surface f;
  int max_flats = 0;
};

void PrintTo(const Ground& g, std::ostream* os) { *os << g.name; }

/// What the model does wrong against the lines and the truth, over the pixels holding an
/// elevation.
struct Faults {
  double line_off = 0;  ///< largest distance of a centre-line pixel from its level
  double band_off = 0;  ///< largest distance of another line pixel from its level
  double outside = 0;   ///< largest distance beyond the levels of the lines round a stretch
  int flats = 0;        ///< off the lines: a 3 × 3 span under a twentieth of the truth's
  double step = 0;  ///< largest step to a 4-neighbour beyond 3 times the truth's nearby, plus 0.3
};

/// The span of the 3 × 3 window about (i, j) of `value`, or -1 if it leaves the raster.
template <typename Value>
double span_at(int i, int j, const Value& value) {
  if (i < 1 || j < 1 || i >= size - 1 || j >= size - 1) return -1;
  double low = INFINITY, high = -INFINITY;
  for (int di = -1; di <= 1; ++di) {
    for (int dj = -1; dj <= 1; ++dj) {
      const double v = value(i + di, j + dj);
      low = std::min(low, v);
      high = std::max(high, v);
    }
  }
  return high - low;
}

/// The steepest true step between 4-neighbours in the 3 × 3 window about (i, j): the slope
/// the lines can show there (lines a pixel or two apart cannot tell where a cliff begins).
double steepest_step(int i, int j, const Surface& f) {
  double steepest = 0;
  for (int a = std::max(i - 1, 0); a <= std::min(i + 1, size - 1); ++a) {
    for (int b = std::max(j - 1, 0); b <= std::min(j + 1, size - 1); ++b) {
      if (a + 1 < size) steepest = std::max(steepest, std::abs(f(a + 1, b) - f(a, b)));
      if (b + 1 < size) steepest = std::max(steepest, std::abs(f(a, b + 1) - f(a, b)));
    }
  }
  return steepest;
}

/// The range each pixel off the lines must keep: the levels of the lines round its stretch (4-
/// connected pixels off the lines), or one interval either side of a stretch's only level.
std::vector<std::pair<double, double>> allowed(const Image& lines) {
  std::vector<std::pair<double, double>> range(lines.px.size(), {INFINITY, -INFINITY});
  std::vector<int> stretch(lines.px.size(), -1);
  std::vector<std::vector<std::size_t>> members;
  for (std::size_t seed = 0; seed < lines.px.size(); ++seed) {
    if (stretch[seed] >= 0 || lines.px[seed] != torvanelle::no_line) continue;
    std::vector<std::size_t> todo = {seed}, in;
    stretch[seed] = static_cast<int>(members.size());
    double low = INFINITY, high = -INFINITY;
    while (!todo.empty()) {
      const std::size_t n = todo.back();
      todo.pop_back();
      in.push_back(n);
      const int i = static_cast<int>(n) / size, j = static_cast<int>(n) % size;
      for (int di = -1; di <= 1; ++di) {
        for (int dj = -1; dj <= 1; ++dj) {
          const int a = i + di, b = j + dj;
          if (a < 0 || b < 0 || a >= size || b >= size) continue;
          const std::size_t k = static_cast<std::size_t>(a) * size + b;
          if (lines.px[k] != torvanelle::no_line) {
            low = std::min(low, unit.of(lines.px[k]));
            high = std::max(high, unit.of(lines.px[k]));
          } else if ((di == 0 || dj == 0) && stretch[k] < 0) {
            stretch[k] = stretch[seed];
            todo.push_back(k);
          }
        }
      }
    }
    if (low == high) low -= 1, high += 1;
    for (std::size_t n : in)
      range[n] = {low, high};
    members.push_back(std::move(in));
  }
  return range;
}

/// `centre`: the centre lines of `lines` that the model was made from (thinning depends on the
/// scan direction, so a turned raster's are not the original's turned).
Faults faults(const Model& m, const Image& lines, const Image& centre, const Surface& f) {
  Faults out;
  const auto range = allowed(lines);
  for (int i = 0; i < size; ++i) {
    for (int j = 0; j < size; ++j) {
      const double z = m.at(i, j);
      if (std::isnan(z)) continue;
      if (lines.at(i, j) != torvanelle::no_line) {
        double& off = centre.at(i, j) != torvanelle::no_line ? out.line_off : out.band_off;
        off = std::max(off, std::abs(z - unit.of(lines.at(i, j))));
        continue;
      }
      const auto [low, high] = range[static_cast<std::size_t>(i) * size + j];
      out.outside = std::max({out.outside, low - z, z - high});
      const double model_span =
          span_at(i, j, [&](int a, int b) { return static_cast<double>(m.at(a, b)); });
      const double true_span = span_at(i, j, f);
      if (!std::isnan(model_span) && model_span >= 0 && true_span > 0.05 &&
          model_span < true_span / 20)
        ++out.flats;
      for (const auto& [di, dj] : {std::pair{0, 1}, std::pair{1, 0}}) {
        if (i + di >= size || j + dj >= size || std::isnan(m.at(i + di, j + dj))) continue;
        const double truth = std::max(steepest_step(i, j, f), steepest_step(i + di, j + dj, f));
        const double excess = std::abs(m.at(i + di, j + dj) - z) - 3 * truth - 0.3;
        out.step = std::max(out.step, excess);
      }
    }
  }
  return out;
}

class HardGround : public testing::TestWithParam<Ground> {};

TEST_P(HardGround, HoldsItsLinesWithoutFlatsOrStepsInEveryOrientation) {
  const Ground& g = GetParam();
  const Image image = demtest::contour_image(size, size, g.f, unit, 1);
  for (int code = 0; code < 8; ++code) {
    const Orientation o{code};
    Image turned_image = image;
    turned_image.px = turned(image.px, o);
    Model model = elevation_model(turned_image, unit);
    model.z = turned(model.z, o, true);
    Image centre = torvanelle::vect::skeleton(turned_image);
    centre.px = turned(centre.px, o, true);
    const Faults found = faults(model, image, centre, g.f);
    SCOPED_TRACE(g.name + ", orientation " + std::to_string(code));
    EXPECT_LE(found.line_off, 0.01);
    EXPECT_LE(found.band_off, 0.5);
    EXPECT_LE(found.outside, 0.0);
    EXPECT_LE(found.flats, g.max_flats);
    EXPECT_LE(found.step, 0.0);
  }
}

// A gentle slope broken by a cliff rising 8 intervals over 3 pixels: the lines of the levels
// on the cliff fall on the same pixels, and the highest wins.
double cliff(double, double j) {
  const double x = std::clamp(j - 30, 0.0, 3.0);
  return 10.3 + 0.1 * j + 2.7 * x;
}
// A flat top at 20.5 above steep sides: the top closed contour, 20, round it.
double mesa(double i, double j) { return std::min(20.5, 4 + 0.8 * (30 - radius(i, j))); }
// A lake: the ground falls to a flat floor at 5.5, inside the lowest closed contour, 6.
double pit_lake(double i, double j) { return std::max(5.5, 0.4 * radius(i, j)); }
// A crest at 20.5 falling 0.8 interval a pixel on both sides.
double narrow_ridge(double i, double j) { return 20.5 - 0.8 * std::abs(j - 31.5) - 0.005 * i; }
// A plane whose every line leaves the sheet.
double plane(double i, double j) { return 10.2 + 0.3 * i + 0.2 * j; }
// A trough running from the middle off the bottom edge: the line of level 11 round its head is
// a U open to that edge, the ground inside falling towards it. Its floor is rounded over a few
// pixels, as the lines 15 pixels apart can tell no sharper one.
double bay(double i, double j) {
  return 10.1 + 0.1 * std::hypot(j - 31.5, std::min(i - 20, 0.0), 4.0) - 0.005 * i;
}
// One level only, crossing the sheet.
double one_level(double i, double j) { return 10 + 0.02 * (j - 31.5) + 0.001 * i; }

INSTANTIATE_TEST_SUITE_P(
    Cases, HardGround,
    testing::Values(Ground{"Cliff", cliff}, Ground{"Mesa", mesa}, Ground{"PitLake", pit_lake},
                    Ground{"NarrowRidge", narrow_ridge}, Ground{"LinesOffTheEdge", plane},
                    // Inside the open U the surface turns from the U's sides to its floor and
                    // down a channel to the edge: a few pixels there span little over 3 × 3.
                    Ground{"Bay", bay, 5}, Ground{"OneLevel", one_level}),
    [](const testing::TestParamInfo<Ground>& info) { return info.param.name; });

}  // namespace
