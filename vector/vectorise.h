// From a contour-number raster to its contour lines: skeleton, tracing, simplification.
#pragma once

#include <vector>

#include "base/progress.h"
#include "vector/bridge.h"
#include "vector/framed.h"
#include "vector/lines.h"

namespace torvanelle::vect {

struct Options {
  int min_branch = 3;     ///< branches shorter than this many pixels are pruned at junctions
  double simplify = 0;    ///< Douglas-Peucker tolerance in pixels; 0: every pixel is a vertex
  double bridge = 0;      ///< free ends at most this many pixels apart may be joined; 0: none
  double min_length = 2;  ///< lines shorter than this many pixels are left out
  /// The ground the bridges follow (an elevation model of the raster's windows); none: straight
  /// bridges.
  Ground ground = {};
};

/// What `vectorise` left out and added, for the caller to report.
struct Counts {
  int left_out = 0;                              ///< lines shorter than `Options::min_length`
  int bridges = 0;                               ///< bridges made across gaps
  std::vector<std::vector<Pixel>> bridge_paths;  ///< each bridge's pixels, its ends included
};

/// The contour lines of `image`: every number thinned as if alone (`skeleton`), traced
/// (`trace`), free ends bridged when `options.bridge` > 0 (`bridge`, along
/// `options.ground` when given), simplified (`simplify`),
/// cut where a line would touch itself (`cut_where_not_simple`), and the lines shorter than
/// `options.min_length` pixels along their vertices left out, as is every line of fewer than two
/// distinct vertices. Every line is simple, every closed line a ring of four vertices or more.
/// Each line keeps its number; lines come ordered by number. `counts`, when given, receives how
/// many lines were left out and how many bridges made. `progress` hears how far the work has got:
/// through the thinning's rounds, the tracing's phases, the bridges and the lines simplified;
/// the last report is 1.
std::vector<Line> vectorise(const Image& image, const Options& options, Counts* counts = nullptr,
                            const Progress& progress = {});

/// The same on a framed raster, thinned in place: the caller may let go of the image first.
/// With bridges, a copy of the raster before thinning is kept while the lines are made.
std::vector<Line> vectorise(Framed& framed, const Options& options, Counts* counts = nullptr,
                            const Progress& progress = {});

}  // namespace torvanelle::vect
