#include "dem/dem.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

#include "base/together.h"
#include "dem/gradient.h"
#include "dem/hull.h"
#include "dem/pixel_index.h"
#include "dem/regions.h"
#include "dem/sinks.h"
#include "dem/sparse.h"
#include "dem/thin_plate.h"
#include "vector/skeleton.h"

namespace torvanelle::dem {
namespace {

/// How far below a depression's spill, in intervals, a line through it must lie for the
/// depression to be one the contours draw. A tenth kept the ripples of the surface beside lines
/// that zigzag; a quarter still keeps the sea basins of the benchmark's topobathy (measured on
/// jacksboro at 2000²: spurious sinks a quarter as many, RMSE 2% higher).
constexpr double drawn_pit_depth = 0.25;

/// The rise, in intervals, from each pixel of a filled depression to the next towards its
/// spill: a hundred pixels of a valley floor that the surface left closed rise by a tenth of
/// an interval, and only the two nearest a spill that lies on a level come within a thousandth
/// of one.
constexpr double sink_step = 0.001;

/// How far, in intervals, a pixel of a thick band off its centre line may lie from the band's
/// level: the band is drawn where the ground crosses the level within its width.
constexpr double band_reach = 0.5;

/// Where each stage of the work ends, as a share of the whole, by the time each took on the
/// benchmark's terrain: the skeleton, the surface, its bounds by region; the sinks take the rest.
struct Shares {
  double skeleton;
  double surface;
  double regions;
};
constexpr Shares plate_shares = {0.05, 0.75, 0.8};
constexpr Shares gradient_shares = {0.1, 0.45, 0.55};

/// The gradient's guess, as a share of the thin plate's surface.
constexpr double guess_share = 0.17;

/// The thin plate held at each skeleton pixel's level, guessed first by the straight slopes
/// between the nearest lines: exact on planes and cones, and so a good mean near the lines,
/// which is all the plate's coarse grids take from it.
std::vector<float> plate_surface(const torvanelle::Image& skeleton, const Levels& levels,
                                 const Plate& plate, const Progress& progress) {
  PlateGrid grid;
  grid.rows = skeleton.rows;
  grid.cols = skeleton.cols;
  grid.z = gradient_surface(skeleton, levels);
  give_back_freed_memory();
  progress.at(guess_share);
  // Held exactly, a line pixel's level lies in the surface itself; only a finite hold needs
  // the levels apart.
  grid.held.resize(skeleton.px.size());
  if (!std::isinf(plate.hold)) grid.fixed.resize(skeleton.px.size());
  const std::size_t cols = static_cast<std::size_t>(skeleton.cols);
  by_halves(skeleton.rows, skeleton.px.size(), [&](int first, int last) {
    for (std::size_t n = first * cols; n < last * cols; ++n) {
      const std::uint8_t v = skeleton.px[n];
      grid.held[n] = v == torvanelle::no_line ? 0 : 1;
      const float level = v == torvanelle::no_line ? nodata : static_cast<float>(levels.of(v));
      if (!grid.fixed.empty()) grid.fixed[n] = level;
      if (grid.held[n]) grid.z[n] = level;
    }
  });
  solve_thin_plate(grid, plate, progress.part(guess_share, 1));
  return std::move(grid.z);
}

/// The contour number of each pixel of a band off its centre line: all that is kept of the
/// contours once the skeleton is made, as such pixels are few beside the raster's.
SparsePixels<std::uint8_t> band_pixels(const torvanelle::Image& contours,
                                       const torvanelle::Image& skeleton) {
  const auto off_centre = [&](std::size_t n) {
    return contours.px[n] != torvanelle::no_line && skeleton.px[n] == torvanelle::no_line;
  };
  SparsePixels<std::uint8_t> bands(contours.px.size(), [&](auto mark) {
    for (std::size_t n = 0; n < contours.px.size(); ++n) {
      if (off_centre(n)) mark(n);
    }
  });
  if (bands.empty()) return bands;
  for (std::size_t n = 0; n < contours.px.size(); ++n) {
    if (off_centre(n)) bands[n] = contours.px[n];
  }
  return bands;
}

/// Keeps each pixel of a band off its centre line within `band_reach` of the band's level.
void hold_bands(const SparsePixels<std::uint8_t>& bands, const Levels& levels,
                std::vector<float>& z) {
  if (bands.empty()) return;
  const double reach = band_reach * levels.interval;
  for (std::size_t n = 0; n < z.size(); ++n) {
    if (!bands.contains(n) || std::isnan(z[n])) continue;
    const double level = levels.of(bands[n]);
    z[n] = static_cast<float>(std::clamp<double>(z[n], level - reach, level + reach));
  }
}

/// `nodata` outside the hull.
void mask(const std::vector<Span>& spans, Model& model) {
  for (int i = 0; i < model.rows; ++i) {
    const Span& span = spans[static_cast<std::size_t>(i)];
    float* row = model.z.data() + static_cast<std::size_t>(i) * model.cols;
    for (int j = 0; j < model.cols; ++j) {
      if (!span.contains(j)) row[j] = nodata;
    }
  }
}

/// The range of the pixels that hold an elevation.
void measure(Model& model) {
  float low = std::numeric_limits<float>::infinity();
  float high = -std::numeric_limits<float>::infinity();
  for (float v : model.z) {
    if (std::isnan(v)) continue;
    low = std::min(low, v);
    high = std::max(high, v);
  }
  if (low <= high) {
    model.min = low;
    model.max = high;
  }
}

}  // namespace

Model elevation_model(torvanelle::Image contours, const Levels& levels, const Options& options,
                      const Progress& progress) {
  // Checked before any work: the regions and the sinks index the pixels in 32 bits.
  const PixelIndex index(contours.px.size());
  Model model;
  model.rows = contours.rows;
  model.cols = contours.cols;
  const std::vector<Span> spans = hull_spans(contours);
  const bool any_line =
      std::any_of(spans.begin(), spans.end(), [](const Span& s) { return s.last >= s.first; });
  if (!any_line) {
    model.z.assign(contours.px.size(), nodata);
    progress.at(1);
    return model;
  }
  const Shares& share = options.method == Method::gradient ? gradient_shares : plate_shares;
  const torvanelle::Image skeleton = vect::skeleton(contours);
  const SparsePixels<std::uint8_t> bands = band_pixels(contours, skeleton);
  contours.px = std::vector<std::uint8_t>();  // a byte a pixel the work no longer needs
  progress.at(share.skeleton);
  model.z = options.method == Method::gradient
                ? gradient_surface(skeleton, levels)
                : plate_surface(skeleton, levels, {options.tension, options.hold, options.coarsest},
                                progress.part(share.skeleton, share.surface));
  give_back_freed_memory();
  progress.at(share.surface);
  const std::vector<std::size_t> pits = bound_by_regions(skeleton, levels, model.z);
  mask(spans, model);
  progress.at(share.regions);
  fill_undrawn_sinks(model.z, skeleton, pits, static_cast<float>(sink_step * levels.interval),
                     static_cast<float>(drawn_pit_depth * levels.interval));
  hold_bands(bands, levels, model.z);
  measure(model);
  progress.at(1);
  return model;
}

std::vector<float> ground_in_numbers(const torvanelle::Image& window) {
  Options small;
  small.coarsest = 8;
  return elevation_model(window, Levels{}, small).z;
}

}  // namespace torvanelle::dem
