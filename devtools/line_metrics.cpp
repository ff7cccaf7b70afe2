#include "devtools/line_metrics.h"

#include <algorithm>
#include <cmath>

namespace field {

SegmentIndex::SegmentIndex(const std::vector<Polyline>& lines, double cell) : cell_(cell) {
  double x1 = 0, y1 = 0;
  bool first = true;
  for (const Polyline& line : lines) {
    for (const Point p : line.points) {
      x0_ = first ? p.x : std::min(x0_, p.x);
      y0_ = first ? p.y : std::min(y0_, p.y);
      x1 = first ? p.x : std::max(x1, p.x);
      y1 = first ? p.y : std::max(y1, p.y);
      first = false;
    }
  }
  cols_ = static_cast<long>((x1 - x0_) / cell_) + 1;
  rows_ = static_cast<long>((y1 - y0_) / cell_) + 1;
  cells_.resize(static_cast<std::size_t>(cols_ * rows_));
  for (std::size_t l = 0; l < lines.size(); ++l) {
    const std::vector<Point>& p = lines[l].points;
    // A line of one point is a segment of no length.
    for (std::size_t s = 0; s == 0 || s + 1 < p.size(); ++s) {
      if (p.empty()) break;
      const Point a = p[s], b = s + 1 < p.size() ? p[s + 1] : p[s];
      const int id = static_cast<int>(segments_.size());
      segments_.push_back({a, b, lines[l].number, static_cast<int>(l)});
      const auto cx0 = static_cast<long>((std::min(a.x, b.x) - x0_) / cell_);
      const auto cx1 = static_cast<long>((std::max(a.x, b.x) - x0_) / cell_);
      const auto cy0 = static_cast<long>((std::min(a.y, b.y) - y0_) / cell_);
      const auto cy1 = static_cast<long>((std::max(a.y, b.y) - y0_) / cell_);
      for (long cy = cy0; cy <= cy1; ++cy) {
        for (long cx = cx0; cx <= cx1; ++cx)
          cells_[static_cast<std::size_t>(cell_at(cx, cy))].push_back(id);
      }
    }
  }
}

long SegmentIndex::cell_at(long cx, long cy) const {
  return cx < 0 || cy < 0 || cx >= cols_ || cy >= rows_ ? -1 : cy * cols_ + cx;
}

SegmentIndex::Nearest SegmentIndex::nearest(int k, Point p, double reach) const {
  Nearest best{reach, -1};
  const auto cx = static_cast<long>(std::floor((p.x - x0_) / cell_));
  const auto cy = static_cast<long>(std::floor((p.y - y0_) / cell_));
  for (long y = cy - 1; y <= cy + 1; ++y) {
    for (long x = cx - 1; x <= cx + 1; ++x) {
      const long c = cell_at(x, y);
      if (c < 0) continue;
      for (const int s : cells_[static_cast<std::size_t>(c)]) {
        const Segment& seg = segments_[static_cast<std::size_t>(s)];
        if (seg.number != k) continue;
        const double d = segment_distance(p, seg.a, seg.b);
        if (d < best.distance) best = {d, seg.line};
      }
    }
  }
  return best;
}

Closeness closeness(const Polyline& line, const SegmentIndex& index, double distance,
                    std::unordered_map<int, double>* per_line) {
  Closeness c;
  for (std::size_t s = 0; s + 1 < line.points.size(); ++s) {
    const Point a = line.points[s], b = line.points[s + 1];
    const double length = std::hypot(b.x - a.x, b.y - a.y);
    const int samples = std::max(1, static_cast<int>(std::ceil(length / 0.5)));
    for (int n = 0; n < samples; ++n) {
      const double t = (n + 0.5) / samples;
      const Point p{a.x + t * (b.x - a.x), a.y + t * (b.y - a.y)};
      const SegmentIndex::Nearest near = index.nearest(line.number, p, distance);
      c.total += length / samples;
      if (near.line < 0) continue;
      c.within += length / samples;
      if (per_line != nullptr) (*per_line)[near.line] += length / samples;
    }
  }
  return c;
}

bool comes_back_closed(const Polyline& t, const std::vector<Polyline>& out,
                       const SegmentIndex& index) {
  std::unordered_map<int, double> per_line;
  const Closeness c = closeness(t, index, 2, &per_line);
  int best = -1;
  for (const auto& [line, length] : per_line) {
    if (best < 0 || length > per_line[best]) best = line;
  }
  return best >= 0 && out[static_cast<std::size_t>(best)].closed() &&
         per_line[best] >= 0.99 * c.total;
}

namespace {

double cross(Point o, Point a, Point b) {
  return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x);
}

bool on_segment(Point p, Point a, Point b) {
  return std::min(a.x, b.x) <= p.x && p.x <= std::max(a.x, b.x) && std::min(a.y, b.y) <= p.y &&
         p.y <= std::max(a.y, b.y);
}

/// Whether segments ab and cd have a point in common (coordinates are exact in a double).
bool meet(Point a, Point b, Point c, Point d) {
  const double d1 = cross(c, d, a), d2 = cross(c, d, b), d3 = cross(a, b, c), d4 = cross(a, b, d);
  if (((d1 > 0 && d2 < 0) || (d1 < 0 && d2 > 0)) && ((d3 > 0 && d4 < 0) || (d3 < 0 && d4 > 0)))
    return true;
  return (d1 == 0 && on_segment(a, c, d)) || (d2 == 0 && on_segment(b, c, d)) ||
         (d3 == 0 && on_segment(c, a, b)) || (d4 == 0 && on_segment(d, a, b));
}

/// Whether consecutive segments ab and bc double back over each other.
bool doubles_back(Point a, Point b, Point c) {
  return cross(a, b, c) == 0 && (c.x - b.x) * (a.x - b.x) + (c.y - b.y) * (a.y - b.y) > 0;
}

}  // namespace

bool is_simple(const Polyline& line) {
  const std::vector<Point>& p = line.points;
  const std::size_t n = p.size() < 2 ? 0 : p.size() - 1;  // segments
  if (n == 0) return false;
  const bool closed = line.closed();
  std::unordered_map<long long, std::vector<std::size_t>> cells;  // 2 x 2 px cells
  const auto key = [](long cx, long cy) { return (static_cast<long long>(cy) << 32) ^ cx; };
  for (std::size_t s = 0; s < n; ++s) {
    const Point a = p[s], b = p[s + 1];
    if (a.x == b.x && a.y == b.y) return false;
    for (long cy = std::lround(std::floor(std::min(a.y, b.y) / 2));
         cy <= std::lround(std::floor(std::max(a.y, b.y) / 2)); ++cy) {
      for (long cx = std::lround(std::floor(std::min(a.x, b.x) / 2));
           cx <= std::lround(std::floor(std::max(a.x, b.x) / 2)); ++cx) {
        for (const std::size_t t : cells[key(cx, cy)]) {
          const bool next = s == t + 1, wrap = closed && t == 0 && s == n - 1;
          if (next && !doubles_back(p[t], a, b)) continue;
          if (wrap && !doubles_back(a, b, p[1])) continue;
          if (next || wrap || meet(p[t], p[t + 1], a, b)) return false;
        }
        auto& cell = cells[key(cx, cy)];
        if (cell.empty() || cell.back() != s) cell.push_back(s);
      }
    }
  }
  return true;
}

}  // namespace field
