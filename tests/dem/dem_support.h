// Helpers of the elevation model's tests: contour rasters drawn from surfaces whose every value
// is known, and the measures that the tests assert on.
#pragma once

#include <functional>

#include "base/contour_image.h"
#include "dem/dem.h"

namespace demtest {

using torvanelle::Image;
using torvanelle::dem::Levels;
using torvanelle::dem::Model;

/// A true surface: elevation at (row, col).
using Surface = std::function<double(double, double)>;

/// The contour raster of `f` on rows × cols pixels: where two 4-neighbours lie on either side
/// of a level, the one nearer to it carries that level's number (the highest level if several
/// lie between them), then each line pixel is grown to a `width` × `width` square (1, 2 or 3),
/// higher numbers drawn over lower ones. Levels below 0 or above 254 are left out.
Image contour_image(int rows, int cols, const Surface& f, const Levels& levels, int width = 1);

/// The largest |model - f| over the pixels holding an elevation at least `margin` pixels from
/// every pixel that holds none and from the raster's edge.
double max_error(const Model& model, const Surface& f, int margin);

/// Pixels with an elevation, all 8 neighbours holding one, and lower than every one of them.
int strict_minima(const Model& model);

/// Pixels off the lines of `contours`, with an elevation, whose 3 × 3 neighbourhood (all holding
/// one) spans less than `flat` in elevation.
int flat_pixels(const Model& model, const Image& contours, double flat);

/// Pixels off the lines with an elevation within `tolerance` of a level.
int on_level_pixels(const Model& model, const Image& contours, const Levels& levels,
                    double tolerance);

/// Pixels holding an elevation.
int valid_pixels(const Model& model);

}  // namespace demtest
