// From a contour-number raster back to the ground: an elevation for every pixel that the
// contours enclose. No GDAL and no files here; the tool torvanelle-dem reads and writes them.
#pragma once

#include <cstdint>
#include <limits>
#include <vector>

#include "base/contour_image.h"
#include "base/progress.h"

namespace torvanelle::dem {

/// The value of a pixel outside the region that the contours enclose (outside their convex
/// hull): a quiet NaN, so that any arithmetic on it shows.
inline constexpr float nodata = std::numeric_limits<float>::quiet_NaN();

/// How contour numbers map to elevations: number n lies at base + n × interval.
struct Levels {
  double base = 0;
  double interval = 1;  ///< positive
  double of(std::uint8_t number) const { return base + number * interval; }
};

/// How the ground between the lines is found.
enum class Method {
  /// Along the gradient: at each pixel, the nearest line of even number and the nearest of odd
  /// number (exact Euclidean distance transforms) and a straight slope between them. Flat where
  /// one level lies on both sides. The thin plate's first guess; alone, the benchmark's
  /// comparison.
  gradient,
  /// A thin-plate surface with a little tension through the lines' skeletons, solved coarse to
  /// fine from the gradient's guess: slopes carry on through valleys, ridges and saddles,
  /// summits and pits are rounded.
  thin_plate,
};

struct Options {
  Method method = Method::thin_plate;
  /// Weight of the membrane (first-derivative) term against the plate (second-derivative)
  /// term, 0 to 1: 0 is a pure thin plate, which may overshoot between close lines; 1 is a
  /// membrane, flat where one level lies on both sides.
  double tension = 0.1;
  /// How firmly a skeleton pixel holds its line's level against the surface's smoothness
  /// (thin plate only), as the weight of its squared distance from the level (the surface's own
  /// terms weigh about 18 at a pixel); infinite, the default, holds it exactly. A line drawn on
  /// the pixels nearest the level zigzags about the true contour by up to half a pixel's rise;
  /// held at 5 the surface passes between, a fraction of that rise off the drawn pixels: on the
  /// benchmark's real ground RMSE a tenth lower and slope error a fifth lower, but planes come
  /// back less exactly, the range reaches past the levels and wide valleys fill flatter.
  double hold = std::numeric_limits<double>::infinity();
  /// The side of the thin plate's coarsest grid, relaxed until it settles (thin plate only):
  /// the default suits whole sheets; on rasters of a few thousand pixels, where that grid takes
  /// most of the time, 8 is several times faster, less smooth on the scale of the raster.
  int coarsest = 16;
};

/// A grid of elevations on the raster's pixels, row after row; `nodata` outside the hull.
struct Model {
  int rows = 0;
  int cols = 0;
  std::vector<float> z;  ///< rows × cols elevations
  /// The elevation range over the pixels that hold one; both NaN when none does.
  float min = nodata;
  float max = nodata;

  float at(int i, int j) const {
    return z[static_cast<std::size_t>(i) * static_cast<std::size_t>(cols) +
             static_cast<std::size_t>(j)];
  }
};

/// The elevation model of `contours` (0-254 a contour number, `torvanelle::no_line` none). Each
/// contour's elevation holds along its skeleton (`vect::skeleton`; exactly or as firmly as
/// `options.hold` says), so a thick band's other pixels are interpolated like any pixel between
/// the lines. Pixels outside the convex hull of
/// the contour pixels are `nodata`; with no contour pixel at all, every pixel is. Throws
/// std::length_error for a raster of 2³² pixels or more. `progress` hears how far the work has
/// got, by stage and through the thin plate's sweeps, the last report 1. `contours` is taken
/// rather than read: a caller done with it moves it in, and its memory is freed once the
/// lines are thinned.
Model elevation_model(torvanelle::Image contours, const Levels& levels, const Options& options = {},
                      const Progress& progress = {});

/// The ground under a window of a contour raster as the vectoriser's bridges follow it
/// (`vect::Ground`): the model with a coarsest grid of 8, number k's line at elevation k.
std::vector<float> ground_in_numbers(const torvanelle::Image& window);

}  // namespace torvanelle::dem
