#include "vector/ground_path.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <functional>
#include <limits>
#include <numbers>
#include <queue>
#include <utility>

#include "vector/steps.h"

namespace torvanelle::vect {
namespace {

/// How far from the contour a pixel of the path may lie, in pixels.
constexpr double widest = 1;

/// How much a pixel's distance from the contour weighs against the length of the step onto it:
/// enough to keep the path on the nearer pixel of each pair that the contour passes between.
constexpr double off_weight = 20;

class Search {
 public:
  Search(const GroundWindow& w, std::uint8_t level)
      : w_(w), level_(level), off_(w.box.size(), std::numeric_limits<float>::infinity()) {
    for (int r = 0; r < w.box.rows; ++r) {
      for (int c = 0; c < w.box.cols; ++c)
        off_[at(r, c)] = static_cast<float>(distance_from_contour(r, c));
    }
  }

  std::vector<Pixel> run(Pixel from, Pixel to, double longest) {
    const Box& b = w_.box;
    if (!b.holds(from) || !b.holds(to)) return {};
    const std::size_t start = b.index(from), goal = b.index(to);
    cost_.assign(b.size(), std::numeric_limits<double>::infinity());
    length_.assign(b.size(), 0);
    came_from_.assign(b.size(), -1);
    using Entry = std::pair<double, std::size_t>;
    std::priority_queue<Entry, std::vector<Entry>, std::greater<>> open;
    cost_[start] = 0;
    open.push({0, start});
    while (!open.empty()) {
      const auto [cost, here] = open.top();
      open.pop();
      if (cost > cost_[here]) continue;
      if (here == goal) return path(start, goal);
      expand(here, goal, longest, open);
    }
    return {};
  }

 private:
  std::size_t at(int r, int c) const {
    return static_cast<std::size_t>(r) * static_cast<std::size_t>(w_.box.cols) +
           static_cast<std::size_t>(c);
  }

  /// The pixel's distance from the contour by the ground's slope there; infinite where the
  /// ground is unknown.
  double distance_from_contour(int r, int c) const {
    const float z = w_.z[at(r, c)];
    if (!std::isfinite(z)) return std::numeric_limits<double>::infinity();
    const double rise = std::abs(z - level_);
    if (rise < 1e-6) return 0;
    const double slope = std::hypot(derivative(r, c, 1, 0), derivative(r, c, 0, 1));
    return slope > 0 ? rise / slope : std::numeric_limits<double>::infinity();
  }

  /// The ground's rise per pixel at (r, c) along (dr, dc): central where both neighbours are
  /// known, else one-sided, else 0.
  double derivative(int r, int c, int dr, int dc) const {
    const auto z = [&](int i, int j) -> double {
      if (i < 0 || j < 0 || i >= w_.box.rows || j >= w_.box.cols)
        return std::numeric_limits<double>::quiet_NaN();
      return w_.z[at(i, j)];
    };
    const double ahead = z(r + dr, c + dc), behind = z(r - dr, c - dc), here = z(r, c);
    if (std::isfinite(ahead) && std::isfinite(behind)) return (ahead - behind) / 2;
    if (std::isfinite(ahead)) return ahead - here;
    if (std::isfinite(behind)) return here - behind;
    return 0;
  }

  bool open_to(int r, int c, std::size_t goal) const {
    const std::size_t i = at(r, c);
    if (off_[i] > widest) return false;
    if (w_.number[i] != level_ && w_.number[i] != no_line) return false;
    return i == goal || !w_.taken[i];
  }

  template <class Queue>
  void expand(std::size_t here, std::size_t goal, double longest, Queue& open) {
    const int r = static_cast<int>(here / static_cast<std::size_t>(w_.box.cols));
    const int c = static_cast<int>(here % static_cast<std::size_t>(w_.box.cols));
    for (const Step s : steps) {
      const int nr = r + s.drow, nc = c + s.dcol;
      if (nr < 0 || nc < 0 || nr >= w_.box.rows || nc >= w_.box.cols) continue;
      if (!open_to(nr, nc, goal)) continue;
      const bool diagonal = s.drow != 0 && s.dcol != 0;
      if (diagonal && w_.taken[at(nr, c)] && w_.taken[at(r, nc)]) continue;
      const double step = diagonal ? std::numbers::sqrt2 : 1.0;
      const double length = length_[here] + step;
      const std::size_t next = at(nr, nc);
      const double cost = cost_[here] + step * (1 + off_weight * off_[next]);
      if (length > longest + 1e-9 || cost >= cost_[next]) continue;
      cost_[next] = cost;
      length_[next] = length;
      came_from_[next] = static_cast<std::ptrdiff_t>(here);
      open.push({cost, next});
    }
  }

  std::vector<Pixel> path(std::size_t start, std::size_t goal) const {
    std::vector<Pixel> out;
    for (std::size_t i = goal;; i = static_cast<std::size_t>(came_from_[i])) {
      out.push_back({w_.box.top + static_cast<int>(i / static_cast<std::size_t>(w_.box.cols)),
                     w_.box.left + static_cast<int>(i % static_cast<std::size_t>(w_.box.cols))});
      if (i == start) break;
    }
    std::reverse(out.begin(), out.end());
    return out;
  }

  const GroundWindow& w_;
  std::uint8_t level_;
  std::vector<float> off_;  ///< per pixel: its distance from the contour
  std::vector<double> cost_, length_;
  std::vector<std::ptrdiff_t> came_from_;
};

}  // namespace

std::vector<Pixel> along_contour(const GroundWindow& window, std::uint8_t level, Pixel from,
                                 Pixel to, double longest) {
  return Search(window, level).run(from, to, longest);
}

double path_length(const std::vector<Pixel>& path) {
  double sum = 0;
  for (std::size_t v = 0; v + 1 < path.size(); ++v)
    sum += std::hypot(path[v + 1].row - path[v].row, path[v + 1].col - path[v].col);
  return sum;
}

}  // namespace torvanelle::vect
