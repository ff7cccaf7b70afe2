#include "dem/hull.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace torvanelle::dem {
namespace {

struct Point {
  std::int64_t x = 0;  // column
  std::int64_t y = 0;  // row
};

std::int64_t cross(const Point& o, const Point& a, const Point& b) {
  return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x);
}

/// The first and last line pixel of each row: the hull of these is the hull of all.
std::vector<Point> row_extremes(const torvanelle::Image& image) {
  std::vector<Point> points;
  for (int i = 0; i < image.rows; ++i) {
    int first = -1;
    int last = -1;
    for (int j = 0; j < image.cols; ++j) {
      if (image.at(i, j) == torvanelle::no_line) continue;
      if (first < 0) first = j;
      last = j;
    }
    if (first < 0) continue;
    points.push_back({first, i});
    if (last != first) points.push_back({last, i});
  }
  return points;
}

/// Andrew's monotone chain; `points` sorted by row then column. Returns the hull's corners
/// counter-clockwise (in x-right, y-down terms: clockwise on screen), without collinear ones.
std::vector<Point> convex_hull(std::vector<Point> points) {
  std::sort(points.begin(), points.end(),
            [](const Point& a, const Point& b) { return a.x != b.x ? a.x < b.x : a.y < b.y; });
  if (points.size() < 3) return points;
  std::vector<Point> hull(2 * points.size());
  std::size_t k = 0;
  for (const Point& p : points) {
    while (k >= 2 && cross(hull[k - 2], hull[k - 1], p) <= 0)
      --k;
    hull[k++] = p;
  }
  const std::size_t lower = k + 1;
  for (std::size_t n = points.size() - 1; n-- > 0;) {
    while (k >= lower && cross(hull[k - 2], hull[k - 1], points[n]) <= 0)
      --k;
    hull[k++] = points[n];
  }
  hull.resize(k - 1);
  return hull;
}

/// Where the hull's edges cross row `y`: the leftmost and rightmost column inside, rounded
/// inwards, with a small slack so that a centre lying on an edge counts as inside.
Span row_span(const std::vector<Point>& hull, int y) {
  double left = 1e300;
  double right = -1e300;
  for (std::size_t n = 0; n < hull.size(); ++n) {
    const Point& a = hull[n];
    const Point& b = hull[(n + 1) % hull.size()];
    if (y < std::min(a.y, b.y) || y > std::max(a.y, b.y)) continue;
    if (a.y == b.y) {
      left = std::min<double>({left, static_cast<double>(a.x), static_cast<double>(b.x)});
      right = std::max<double>({right, static_cast<double>(a.x), static_cast<double>(b.x)});
      continue;
    }
    const double x = a.x + static_cast<double>(b.x - a.x) * static_cast<double>(y - a.y) /
                               static_cast<double>(b.y - a.y);
    left = std::min(left, x);
    right = std::max(right, x);
  }
  if (left > right) return {};
  return {static_cast<int>(std::ceil(left - 1e-9)), static_cast<int>(std::floor(right + 1e-9))};
}

}  // namespace

std::vector<Span> hull_spans(const torvanelle::Image& image) {
  std::vector<Span> spans(static_cast<std::size_t>(image.rows));
  const std::vector<Point> hull = convex_hull(row_extremes(image));
  if (hull.empty()) return spans;
  if (hull.size() < 3) {
    // A point or a segment: rows between its ends, the column where the segment crosses.
    const Point a = hull.front();
    const Point b = hull.back();
    for (int y = static_cast<int>(std::min(a.y, b.y)); y <= std::max(a.y, b.y); ++y) {
      spans[static_cast<std::size_t>(y)] = row_span({a, b}, y);
    }
    return spans;
  }
  for (int y = 0; y < image.rows; ++y)
    spans[static_cast<std::size_t>(y)] = row_span(hull, y);
  return spans;
}

}  // namespace torvanelle::dem
