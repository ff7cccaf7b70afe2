#include "vector/simplify.h"

#include <cstddef>
#include <utility>
#include <vector>

namespace torvanelle::vect {
namespace {

/// The squared distance from p to the segment from a to b.
double squared_distance(Pixel p, Pixel a, Pixel b) {
  const double dx = b.col - a.col;
  const double dy = b.row - a.row;
  const double px = p.col - a.col;
  const double py = p.row - a.row;
  const double length2 = dx * dx + dy * dy;
  double t = length2 == 0 ? 0 : (px * dx + py * dy) / length2;
  t = t < 0 ? 0 : (t > 1 ? 1 : t);
  const double ex = px - t * dx;
  const double ey = py - t * dy;
  return ex * ex + ey * ey;
}

/// The vertex strictly between first and last farthest from their segment, and its squared
/// distance; {first, -1} when there is none.
std::pair<std::size_t, double> farthest(const std::vector<Pixel>& v, std::size_t first,
                                        std::size_t last) {
  std::pair<std::size_t, double> best{first, -1};
  for (std::size_t k = first + 1; k < last; ++k) {
    const double d = squared_distance(v[k], v[first], v[last]);
    if (d > best.second) best = {k, d};
  }
  return best;
}

/// Marks in `keep` the vertices Douglas-Peucker keeps between first and last (both kept by the
/// caller); when `keep_one`, the farthest is kept whatever its distance.
void mark(const std::vector<Pixel>& v, std::size_t first, std::size_t last, double tolerance2,
          bool keep_one, std::vector<bool>& keep) {
  std::vector<std::pair<std::size_t, std::size_t>> todo = {{first, last}};
  while (!todo.empty()) {
    const auto [a, b] = todo.back();
    todo.pop_back();
    const auto [k, d] = farthest(v, a, b);
    const bool forced = keep_one && a == first && b == last;
    if (d < 0 || (d <= tolerance2 && !forced)) continue;
    keep[k] = true;
    todo.push_back({a, k});
    todo.push_back({k, b});
  }
}

std::size_t farthest_from_first(const std::vector<Pixel>& v) {
  std::size_t best = 0;
  double best_d = -1;
  for (std::size_t k = 1; k < v.size(); ++k) {
    const double d = squared_distance(v[k], v[0], v[0]);
    if (d > best_d) {
      best = k;
      best_d = d;
    }
  }
  return best;
}

}  // namespace

void simplify(Line& line, double tolerance) {
  std::vector<Pixel>& v = line.pixels;
  if (!(tolerance > 0) || v.size() < 3) return;
  const double tolerance2 = tolerance * tolerance;
  std::vector<bool> keep(v.size());
  keep.front() = keep.back() = true;
  if (line.closed()) {
    const std::size_t cut = farthest_from_first(v);
    keep[cut] = true;
    mark(v, 0, cut, tolerance2, true, keep);
    mark(v, cut, v.size() - 1, tolerance2, true, keep);
  } else {
    mark(v, 0, v.size() - 1, tolerance2, false, keep);
  }
  std::size_t out = 0;
  for (std::size_t k = 0; k < v.size(); ++k) {
    if (keep[k]) v[out++] = v[k];
  }
  v.resize(out);
}

}  // namespace torvanelle::vect
