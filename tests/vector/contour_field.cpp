#include "contour_field.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <random>
#include <unordered_map>

namespace field {

double Terrain::elevation(double x, double y) const { return elevation_and_slope(x, y).first; }

std::pair<double, double> Terrain::elevation_and_slope(double x, double y) const {
  double e = tilt_x * x + tilt_y * y, gx = tilt_x, gy = tilt_y;
  for (const Hill& h : hills) {
    const double dx = x - h.x, dy = y - h.y;
    const double g = h.height * std::exp(-(dx * dx + dy * dy) / (2 * h.sigma * h.sigma));
    e += g;
    gx -= g * dx / (h.sigma * h.sigma);
    gy -= g * dy / (h.sigma * h.sigma);
  }
  return {e, std::hypot(gx, gy)};
}

namespace {

double band_width(double x, double y, int k) { return 3 + 2 * std::sin(x / 41 + y / 59 + 1.7 * k); }

/// The number whose band holds the pixel centre (x, y), or no_line.
std::uint8_t band_at(const Terrain& t, double x, double y) {
  const auto [e, slope] = t.elevation_and_slope(x, y);
  const double g = std::max(slope, 1e-9);
  const int centre = static_cast<int>(std::floor((e - t.base) / t.interval));
  const int reach = static_cast<int>(std::ceil(2.5 * g / t.interval)) + 1;
  std::uint8_t best = torvanelle::vect::no_line;
  double best_distance = 1e300;
  for (int k = std::max(centre - reach, 0); k <= std::min(centre + reach, t.numbers - 1); ++k) {
    const double distance = std::abs(e - (t.base + k * t.interval)) / g;
    if (distance <= band_width(x, y, k) / 2 && distance < best_distance) {
      best = static_cast<std::uint8_t>(k);
      best_distance = distance;
    }
  }
  return best;
}

}  // namespace

Terrain test_terrain() {
  Terrain t;
  t.rows = 800;
  t.cols = 1000;
  t.hills = {{260, 240, 70, 95}, {700, 290, 110, 50}, {480, 600, 55, 120}, {860, 660, -45, 70}};
  t.tilt_x = 0.012;
  t.tilt_y = 0.008;
  t.interval = 2.5;
  t.base = -40;
  t.numbers = 80;
  return t;
}

torvanelle::vect::Image draw_bands(const Terrain& t) {
  torvanelle::vect::Image image(t.rows, t.cols);
  for (int i = 0; i < t.rows; ++i) {
    for (int j = 0; j < t.cols; ++j)
      image.at(i, j) = band_at(t, j + 0.5, i + 0.5);
  }
  return image;
}

void roughen(torvanelle::vect::Image& bands, unsigned seed, double probability) {
  std::mt19937 gen(seed);
  const torvanelle::vect::Image before = bands;
  for (int i = 1; i + 1 < bands.rows; ++i) {
    for (int j = 1; j + 1 < bands.cols; ++j) {
      if (before.at(i, j) != torvanelle::vect::no_line) continue;
      const std::array<std::uint8_t, 4> sides = {before.at(i - 1, j), before.at(i, j + 1),
                                                 before.at(i + 1, j), before.at(i, j - 1)};
      std::uint8_t k = torvanelle::vect::no_line;
      bool one = true;
      for (const std::uint8_t s : sides) {
        if (s == torvanelle::vect::no_line) continue;
        one = one && (k == torvanelle::vect::no_line || k == s);
        k = s;
      }
      const bool draw = (gen() >> 8) < probability * (1 << 24);
      if (k != torvanelle::vect::no_line && one && draw) bands.at(i, j) = k;
    }
  }
}

namespace {

// Marching squares. The samples are the elevations at pixel centres; a sample is "above" level
// L when it is L or more. An edge between two samples is named by its first sample and whether
// it runs down (vertical) or right; a contour crosses it where the samples' sides differ.

using EdgeId = long long;

class Squares {
 public:
  explicit Squares(const Terrain& t) : t_(t), v_(static_cast<std::size_t>(t.rows) * t.cols) {
    for (int i = 0; i < t.rows; ++i) {
      for (int j = 0; j < t.cols; ++j)
        v_[static_cast<std::size_t>(i) * t.cols + j] = t.elevation(j + 0.5, i + 0.5);
    }
  }

  std::vector<Polyline> lines() {
    for (int i = 0; i + 1 < t_.rows; ++i) {
      for (int j = 0; j + 1 < t_.cols; ++j)
        cell(i, j);
    }
    std::vector<Polyline> out;
    for (int k = 0; k < t_.numbers; ++k)
      link(k, out);
    return out;
  }

 private:
  double v(int i, int j) const { return v_[static_cast<std::size_t>(i) * t_.cols + j]; }
  static EdgeId edge(int i, int j, bool down) { return (EdgeId{i} << 21 | j) << 1 | down; }
  double level(int k) const { return t_.base + k * t_.interval; }

  /// The segments of cell (i, j) (samples (i, j) to (i + 1, j + 1)) for every level it holds.
  void cell(int i, int j) {
    const std::array<double, 4> c = {v(i, j), v(i, j + 1), v(i + 1, j + 1), v(i + 1, j)};
    const double lo = *std::min_element(c.begin(), c.end());
    const double hi = *std::max_element(c.begin(), c.end());
    const int first = std::max(static_cast<int>(std::floor((lo - t_.base) / t_.interval)) + 1, 0);
    const int last =
        std::min(static_cast<int>(std::floor((hi - t_.base) / t_.interval)), t_.numbers - 1);
    // Edges round the cell: top, right, bottom, left; edge e joins corners e and e + 1.
    const std::array<EdgeId, 4> edges = {edge(i, j, false), edge(i, j + 1, true),
                                         edge(i + 1, j, false), edge(i, j, true)};
    for (int k = first; k <= last; ++k) {
      const double L = level(k);
      std::array<int, 4> crossed{};
      int n = 0;
      for (int e = 0; e < 4; ++e) {
        if ((c[e] >= L) != (c[(e + 1) % 4] >= L)) crossed[n++] = e;
      }
      if (n == 2) {
        join(k, edges[crossed[0]], edges[crossed[1]]);
      } else if (n == 4) {
        // A saddle: the centre's side says which diagonal pair of corners is joined.
        const bool centre_above = (c[0] + c[1] + c[2] + c[3]) / 4 >= L;
        const bool first_corner_above = c[0] >= L;
        if (centre_above == first_corner_above) {
          join(k, edges[0], edges[1]);
          join(k, edges[2], edges[3]);
        } else {
          join(k, edges[3], edges[0]);
          join(k, edges[1], edges[2]);
        }
      }
    }
  }

  void join(int k, EdgeId a, EdgeId b) {
    auto& next = next_[static_cast<std::size_t>(k)];
    auto add = [&next](EdgeId from, EdgeId to) {
      auto [it, fresh] = next.try_emplace(from, std::array<EdgeId, 2>{-1, -1});
      it->second[it->second[0] < 0 ? 0 : 1] = to;
    };
    add(a, b);
    add(b, a);
  }

  Point point(int k, EdgeId e) const {
    const bool down = e & 1;
    const int j = static_cast<int>((e >> 1) & ((1 << 21) - 1));
    const int i = static_cast<int>(e >> 22);
    const double a = v(i, j);
    const double b = down ? v(i + 1, j) : v(i, j + 1);
    const double f = (level(k) - a) / (b - a);
    return down ? Point{j + 0.5, i + 0.5 + f} : Point{j + 0.5 + f, i + 0.5};
  }

  /// The segments of number k linked into lines: open ones from their ends first, then rings.
  void link(int k, std::vector<Polyline>& out) {
    auto& next = next_[static_cast<std::size_t>(k)];
    std::vector<EdgeId> keys;
    for (const auto& [e, n] : next)
      keys.push_back(e);
    std::sort(keys.begin(), keys.end());
    std::unordered_map<EdgeId, bool> done;
    for (const bool rings : {false, true}) {
      for (const EdgeId start : keys) {
        if (done[start] || (!rings && next[start][1] >= 0)) continue;
        Polyline line{k, {}};
        EdgeId prev = -1, e = start;
        while (e >= 0 && !done[e]) {
          done[e] = true;
          line.points.push_back(point(k, e));
          const auto& n = next[e];
          const EdgeId to = n[0] != prev ? n[0] : n[1];
          prev = e;
          e = to;
        }
        if (rings) line.points.push_back(line.points.front());
        out.push_back(std::move(line));
      }
    }
  }

  const Terrain& t_;
  std::vector<double> v_;
  std::array<std::unordered_map<EdgeId, std::array<EdgeId, 2>>, 256> next_;
};

}  // namespace

std::vector<Polyline> true_lines(const Terrain& t) { return Squares(t).lines(); }

std::vector<Polyline> polylines(const std::vector<torvanelle::vect::Line>& lines) {
  std::vector<Polyline> out;
  for (const torvanelle::vect::Line& line : lines) {
    Polyline p{line.number, {}};
    for (const torvanelle::vect::Pixel px : line.pixels)
      p.points.push_back({px.col + 0.5, px.row + 0.5});
    out.push_back(std::move(p));
  }
  return out;
}

}  // namespace field
