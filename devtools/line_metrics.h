// How close two sets of contour lines are: length within a distance, lines of equal numbers only.
#pragma once

#include <unordered_map>
#include <vector>

#include "devtools/contour_field.h"

namespace field {

/// The segments of a set of lines, filed by square cell for nearby searches.
class SegmentIndex {
 public:
  SegmentIndex(const std::vector<Polyline>& lines, double cell);

  /// The distance from p to the nearest segment of number k, or `reach` when none lies nearer
  /// than `reach` (which is at most the cell size); with the line that segment belongs to.
  struct Nearest {
    double distance;
    int line;
  };
  Nearest nearest(int k, Point p, double reach) const;

 private:
  struct Segment {
    Point a, b;
    int number;
    int line;
  };
  /// The cell of (cx, cy), or -1 outside the grid.
  long cell_at(long cx, long cy) const;

  double cell_;
  double x0_ = 0, y0_ = 0;  ///< the grid's corner
  long cols_ = 0, rows_ = 0;
  std::vector<Segment> segments_;
  std::vector<std::vector<int>> cells_;  ///< per cell, row after row: the segments crossing it
};

/// Length of `line` lying within `distance` of the lines of its number in `index`; with the
/// length per line of the index that the nearest points belong to when `per_line` is given.
struct Closeness {
  double total = 0;
  double within = 0;
  double fraction() const { return total > 0 ? within / total : 1; }
};
Closeness closeness(const Polyline& line, const SegmentIndex& index, double distance,
                    std::unordered_map<int, double>* per_line = nullptr);

/// Whether the line of `out` that lies along closed true line `t` for most of its length is
/// closed and covers 99% of `t`; `index` holds `out`.
bool comes_back_closed(const Polyline& t, const std::vector<Polyline>& out,
                       const SegmentIndex& index);

/// Whether `line` is simple: at least two distinct points, no point passed twice (but a closed
/// line's ends) and no two segments that cross or touch other than consecutive ones at the point
/// they share.
bool is_simple(const Polyline& line);

}  // namespace field
