#include "devtools/contour_field.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <random>
#include <unordered_map>

#include "devtools/terrain.h"

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

double segment_distance(Point p, Point a, Point b) {
  const double dx = b.x - a.x, dy = b.y - a.y;
  const double length2 = dx * dx + dy * dy;
  double t = length2 == 0 ? 0 : ((p.x - a.x) * dx + (p.y - a.y) * dy) / length2;
  t = std::clamp(t, 0.0, 1.0);
  return std::hypot(p.x - (a.x + t * dx), p.y - (a.y + t * dy));
}

namespace {

double band_width(double x, double y, int k) { return 3 + 2 * std::sin(x / 41 + y / 59 + 1.7 * k); }

/// The number whose band holds the centre of pixel (i, j), or no_line.
std::uint8_t band_at(const Grid& t, int i, int j) {
  const double e = t.at(i, j), x = j + 0.5, y = i + 0.5;
  const double g = std::max(t.slope_at(i, j), 1e-9);
  const int centre = static_cast<int>(std::floor((e - t.base) / t.interval));
  const int reach = static_cast<int>(std::ceil(2.5 * g / t.interval)) + 1;
  std::uint8_t best = torvanelle::no_line;
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

Grid sample(const Terrain& t) {
  Grid g{t.rows, t.cols, {}, {}, t.base, t.interval, t.numbers};
  for (int i = 0; i < t.rows; ++i) {
    for (int j = 0; j < t.cols; ++j) {
      const auto [e, slope] = t.elevation_and_slope(j + 0.5, i + 0.5);
      g.elevation.push_back(e);
      g.slope.push_back(slope);
    }
  }
  return g;
}

Grid resample(const std::vector<double>& dem, int rows, int cols, int out_rows, int out_cols,
              int numbers) {
  Grid g{out_rows, out_cols, {}, {}, 0, 1, numbers};
  const auto in = [&](int i, int j) {
    return dem[static_cast<std::size_t>(std::clamp(i, 0, rows - 1)) * cols +
               static_cast<std::size_t>(std::clamp(j, 0, cols - 1))];
  };
  for (int i = 0; i < out_rows; ++i) {
    const double y = (i + 0.5) * rows / out_rows - 0.5;
    const int y0 = static_cast<int>(std::floor(y));
    const std::array<double, 4> wy = terrain::catmull_rom(y - y0);
    for (int j = 0; j < out_cols; ++j) {
      const double x = (j + 0.5) * cols / out_cols - 0.5;
      const int x0 = static_cast<int>(std::floor(x));
      const std::array<double, 4> wx = terrain::catmull_rom(x - x0);
      double e = 0;
      for (int a = 0; a < 4; ++a) {
        for (int b = 0; b < 4; ++b)
          e += wy[a] * wx[b] * in(y0 - 1 + a, x0 - 1 + b);
      }
      g.elevation.push_back(e);
    }
  }
  const auto [lo, hi] = std::minmax_element(g.elevation.begin(), g.elevation.end());
  g.interval = (*hi - *lo) / (numbers + 1);
  g.base = *lo + g.interval;
  g.slope.resize(g.elevation.size());
  for (int i = 0; i < out_rows; ++i) {
    for (int j = 0; j < out_cols; ++j) {
      const int u = std::max(i - 1, 0), d = std::min(i + 1, out_rows - 1);
      const int l = std::max(j - 1, 0), r = std::min(j + 1, out_cols - 1);
      const double gx = (g.at(i, r) - g.at(i, l)) / std::max(r - l, 1);
      const double gy = (g.at(d, j) - g.at(u, j)) / std::max(d - u, 1);
      g.slope[static_cast<std::size_t>(i) * out_cols + j] = std::hypot(gx, gy);
    }
  }
  return g;
}

torvanelle::Image draw_bands(const Grid& g) {
  torvanelle::Image image(g.rows, g.cols);
  for (int i = 0; i < g.rows; ++i) {
    for (int j = 0; j < g.cols; ++j)
      image.at(i, j) = band_at(g, i, j);
  }
  return image;
}

torvanelle::Image draw_bands(const Terrain& t) { return draw_bands(sample(t)); }

torvanelle::Image draw_lines(int rows, int cols, const std::vector<Polyline>& truth) {
  torvanelle::Image image(rows, cols);
  std::vector<float> nearest(image.px.size(), 1e9f);
  for (const Polyline& line : truth) {
    for (std::size_t s = 0; s + 1 < line.points.size(); ++s) {
      const Point a = line.points[s], b = line.points[s + 1];
      const int i0 = std::max(static_cast<int>(std::floor(std::min(a.y, b.y) - 3)), 0);
      const int i1 = std::min(static_cast<int>(std::ceil(std::max(a.y, b.y) + 3)), rows - 1);
      const int j0 = std::max(static_cast<int>(std::floor(std::min(a.x, b.x) - 3)), 0);
      const int j1 = std::min(static_cast<int>(std::ceil(std::max(a.x, b.x) + 3)), cols - 1);
      for (int i = i0; i <= i1; ++i) {
        for (int j = j0; j <= j1; ++j) {
          const Point p{j + 0.5, i + 0.5};
          const auto d = static_cast<float>(segment_distance(p, a, b));
          const std::size_t at = static_cast<std::size_t>(i) * cols + j;
          if (d > band_width(p.x, p.y, line.number) / 2 || d >= nearest[at]) continue;
          nearest[at] = d;
          image.px[at] = static_cast<std::uint8_t>(line.number);
        }
      }
    }
  }
  return image;
}

void roughen(torvanelle::Image& bands, unsigned seed, double probability) {
  std::mt19937 gen(seed);
  const torvanelle::Image before = bands;
  for (int i = 1; i + 1 < bands.rows; ++i) {
    for (int j = 1; j + 1 < bands.cols; ++j) {
      if (before.at(i, j) != torvanelle::no_line) continue;
      const std::array<std::uint8_t, 4> sides = {before.at(i - 1, j), before.at(i, j + 1),
                                                 before.at(i + 1, j), before.at(i, j - 1)};
      std::uint8_t k = torvanelle::no_line;
      bool one = true;
      for (const std::uint8_t s : sides) {
        if (s == torvanelle::no_line) continue;
        one = one && (k == torvanelle::no_line || k == s);
        k = s;
      }
      const bool draw = (gen() >> 8) < probability * (1 << 24);
      if (k != torvanelle::no_line && one && draw) bands.at(i, j) = k;
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
  explicit Squares(const Grid& t) : t_(t) {}

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
  double v(int i, int j) const { return t_.at(i, j); }
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

  const Grid& t_;
  std::array<std::unordered_map<EdgeId, std::array<EdgeId, 2>>, 256> next_;
};

}  // namespace

std::vector<Polyline> true_lines(const Grid& g) { return Squares(g).lines(); }

std::vector<Polyline> true_lines(const Terrain& t) { return true_lines(sample(t)); }

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

namespace field {
namespace {

double length_of(const std::vector<Point>& p) {
  double length = 0;
  for (std::size_t s = 0; s + 1 < p.size(); ++s)
    length += std::hypot(p[s + 1].x - p[s].x, p[s + 1].y - p[s].y);
  return length;
}

/// The stretch of `line` from arc length `from` to `to`.
std::vector<Point> stretch(const std::vector<Point>& line, double from, double to) {
  std::vector<Point> out;
  double at = 0;
  for (std::size_t s = 0; s + 1 < line.size(); ++s) {
    const Point a = line[s], b = line[s + 1];
    const double length = std::hypot(b.x - a.x, b.y - a.y);
    const auto point_at = [&](double arc) {
      const double f = length > 0 ? (arc - at) / length : 0;
      return Point{a.x + f * (b.x - a.x), a.y + f * (b.y - a.y)};
    };
    if (at + length >= from && at <= to) {
      if (out.empty()) out.push_back(point_at(std::max(from, at)));
      out.push_back(point_at(std::min(to, at + length)));
    }
    at += length;
  }
  return out;
}

/// Erases the pixels of number k within `reach` of the polyline `p`.
void erase_near(torvanelle::Image& bands, int k, const std::vector<Point>& p, double reach) {
  for (std::size_t s = 0; s + 1 < p.size(); ++s) {
    const int i0 = std::max(static_cast<int>(std::min(p[s].y, p[s + 1].y) - reach) - 1, 0);
    const int i1 =
        std::min(static_cast<int>(std::max(p[s].y, p[s + 1].y) + reach) + 1, bands.rows - 1);
    const int j0 = std::max(static_cast<int>(std::min(p[s].x, p[s + 1].x) - reach) - 1, 0);
    const int j1 =
        std::min(static_cast<int>(std::max(p[s].x, p[s + 1].x) + reach) + 1, bands.cols - 1);
    for (int i = i0; i <= i1; ++i) {
      for (int j = j0; j <= j1; ++j) {
        if (bands.at(i, j) == k && segment_distance({j + 0.5, i + 0.5}, p[s], p[s + 1]) <= reach)
          bands.at(i, j) = torvanelle::no_line;
      }
    }
  }
}

}  // namespace

std::vector<Gap> cut_gaps(torvanelle::Image& bands, const std::vector<Polyline>& truth,
                          unsigned seed, double spacing) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<double> unit(0, 1);
  std::vector<Gap> gaps;
  for (const Polyline& line : truth) {
    const double length = length_of(line.points);
    for (double from = 40 + spacing * unit(gen);;) {
      const double size = 8 + 22 * unit(gen);
      if (from + size > length - 40) break;
      // Erased within 3 px of a stretch 6 px shorter: the band breaks for `size` pixels.
      Gap gap{line.number, stretch(line.points, from + 3, from + size - 3), size};
      erase_near(bands, line.number, gap.points, 3);
      gaps.push_back(std::move(gap));
      from += size + std::max(40.0, spacing * (0.5 + unit(gen)));
    }
  }
  return gaps;
}

void add_specks_and_holes(torvanelle::Image& bands, unsigned seed, int count, double holes) {
  std::mt19937 gen(seed);
  const auto empty_around = [&bands](int i, int j) {
    for (int di = -3; di <= 3; ++di) {
      for (int dj = -3; dj <= 3; ++dj) {
        if (bands.at(i + di, j + dj) != torvanelle::no_line) return false;
      }
    }
    return true;
  };
  for (int placed = 0, tries = 0; placed < count && tries < 100 * count; ++tries) {
    const int i = 3 + static_cast<int>(gen() % static_cast<unsigned>(bands.rows - 6));
    const int j = 3 + static_cast<int>(gen() % static_cast<unsigned>(bands.cols - 6));
    const std::uint8_t k = bands.px[gen() % bands.px.size()];
    if (k == torvanelle::no_line || !empty_around(i, j)) continue;
    const unsigned shape = gen() % 4;  // a dot, two across, two down, three in an L
    bands.at(i, j) = k;
    if (shape == 1 || shape == 3) bands.at(i, j + 1) = k;
    if (shape >= 2) bands.at(i + 1, j) = k;
    ++placed;
  }
  for (int i = 1; i + 1 < bands.rows; ++i) {
    for (int j = 1; j + 1 < bands.cols; ++j) {
      const std::uint8_t k = bands.at(i, j);
      bool inside = k != torvanelle::no_line;
      for (int di = -1; di <= 1 && inside; ++di) {
        for (int dj = -1; dj <= 1; ++dj)
          inside = inside && bands.at(i + di, j + dj) == k;
      }
      if (inside && (gen() >> 8) < holes * (1 << 24)) bands.at(i, j) = torvanelle::no_line;
    }
  }
}

}  // namespace field
