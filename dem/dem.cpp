#include "dem/dem.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

#include "dem/gradient.h"
#include "dem/hull.h"
#include "dem/regions.h"
#include "dem/thin_plate.h"
#include "vector/skeleton.h"

namespace torvanelle::dem {
namespace {

/// The thin plate held at each skeleton pixel's level.
std::vector<float> plate_surface(const vect::Image& skeleton, const Levels& levels,
                                 const Plate& plate) {
  PlateGrid grid;
  grid.rows = skeleton.rows;
  grid.cols = skeleton.cols;
  grid.fixed.assign(skeleton.px.size(), nodata);
  for (std::size_t n = 0; n < skeleton.px.size(); ++n) {
    if (skeleton.px[n] != vect::no_line) {
      grid.fixed[n] = static_cast<float>(levels.of(skeleton.px[n]));
    }
  }
  grid.z.assign(skeleton.px.size(), 0.0f);
  solve_thin_plate(grid, plate);
  return std::move(grid.z);
}

/// `nodata` outside the hull; the range of what is left.
void mask_and_measure(const std::vector<Span>& spans, Model& model) {
  float low = std::numeric_limits<float>::infinity();
  float high = -std::numeric_limits<float>::infinity();
  for (int i = 0; i < model.rows; ++i) {
    const Span& span = spans[static_cast<std::size_t>(i)];
    float* row = model.z.data() + static_cast<std::size_t>(i) * model.cols;
    for (int j = 0; j < model.cols; ++j) {
      if (!span.contains(j) || std::isnan(row[j])) {
        row[j] = nodata;
        continue;
      }
      low = std::min(low, row[j]);
      high = std::max(high, row[j]);
    }
  }
  if (low <= high) {
    model.min = low;
    model.max = high;
  }
}

}  // namespace

Model elevation_model(const vect::Image& contours, const Levels& levels, const Options& options) {
  Model model;
  model.rows = contours.rows;
  model.cols = contours.cols;
  const std::vector<Span> spans = hull_spans(contours);
  const bool any_line =
      std::any_of(spans.begin(), spans.end(), [](const Span& s) { return s.last >= s.first; });
  if (!any_line) {
    model.z.assign(contours.px.size(), nodata);
    return model;
  }
  const vect::Image skeleton = vect::skeleton(contours);
  model.z = options.method == Method::gradient
                ? gradient_surface(skeleton, levels)
                : plate_surface(skeleton, levels, {options.tension, options.hold});
  bound_by_regions(skeleton, levels, model.z);
  mask_and_measure(spans, model);
  return model;
}

}  // namespace torvanelle::dem
