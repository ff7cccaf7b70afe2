#include "dem/thin_plate.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <limits>

// The energy is discretised as sums over the grid of squared differences: the second difference
// along rows and along columns centred on each pixel whose two neighbours on that axis exist,
// the mixed difference of each 2×2 cell (weighted 2), and the first difference of each pair of
// 4-neighbours for the tension. Setting its derivative to zero at a pixel whose 13-pixel
// neighbourhood lies wholly in the grid gives the familiar stencil
//   (20 p + 4 t) z = (8 p + t) S1 - 2 p S2 - p S3
// (p = 1 - tension, t = tension; S1 the four side neighbours, S2 the four diagonal ones, S3 the
// four two pixels away along the axes); nearer the edge fewer terms exist, which is the discrete
// form of the plate's free edges (B. Smith and P. Wessel, "Gridding with continuous curvature
// splines in tension", Geophysics 55, 1990, solve the same equation, coarse to fine too).

namespace torvanelle::dem {
namespace {

/// The free pixels move this much further than Gauss-Seidel's step: faster to converge, and it
/// stays stable (the system is symmetric positive definite, so any factor below 2 is).
constexpr float over_relaxation = 1.9f;

/// Sweeps at the end of each grid without over-relaxation: over-relaxed sweeps carry the smooth
/// part of the error away fast but leave ripples of a pixel or two, which plain Gauss-Seidel
/// takes out (ripples read as sinks).
constexpr int plain_sweeps = 3;

std::size_t index(const PlateGrid& g, int i, int j) {
  return static_cast<std::size_t>(i) * static_cast<std::size_t>(g.cols) +
         static_cast<std::size_t>(j);
}

bool inside(const PlateGrid& g, int i, int j) {
  return i >= 0 && j >= 0 && i < g.rows && j < g.cols;
}

/// Accumulates the terms of one difference that involves pixel (i, j): the difference is
/// Σ coef[k] z[at k]; its squared weight w adds w a² to `den` and -w a r to `num`, where a is
/// the pixel's own coefficient and r the rest of the sum.
struct Terms {
  double num = 0;
  double den = 0;
};

/// The second differences along axis (di, dj) that involve (i, j): centred on it and on its two
/// neighbours along the axis, each only where its three pixels lie in the grid.
void add_second(const PlateGrid& g, int i, int j, int di, int dj, double w, Terms& t) {
  for (int c = -1; c <= 1; ++c) {
    const int ci = i + c * di;
    const int cj = j + c * dj;
    if (!inside(g, ci - di, cj - dj) || !inside(g, ci + di, cj + dj)) continue;
    double rest = 0;
    for (int k = -1; k <= 1; ++k) {
      if (k == -c) continue;  // the pixel itself
      rest += (k == 0 ? -2.0 : 1.0) * g.z[index(g, ci + k * di, cj + k * dj)];
    }
    const double a = c == 0 ? -2.0 : 1.0;
    t.num -= w * a * rest;
    t.den += w * a * a;
  }
}

/// The mixed differences of the (up to four) 2×2 cells that hold (i, j).
void add_mixed(const PlateGrid& g, int i, int j, double w, Terms& t) {
  for (int ti = i - 1; ti <= i; ++ti) {
    for (int tj = j - 1; tj <= j; ++tj) {
      if (!inside(g, ti, tj) || !inside(g, ti + 1, tj + 1)) continue;
      double rest = 0;
      for (int k = 0; k < 4; ++k) {
        const int pi = ti + k / 2;
        const int pj = tj + k % 2;
        if (pi == i && pj == j) continue;
        rest += ((k == 0 || k == 3) ? 1.0 : -1.0) * g.z[index(g, pi, pj)];
      }
      const double a = (i - ti) == (j - tj) ? 1.0 : -1.0;
      t.num -= w * a * rest;
      t.den += w * a * a;
    }
  }
}

/// The value that minimises the energy at (i, j) given all its neighbours, any position.
float edge_update(const PlateGrid& g, int i, int j, double tension, double hold) {
  const double p = 1 - tension;
  Terms t;
  add_second(g, i, j, 0, 1, p, t);
  add_second(g, i, j, 1, 0, p, t);
  add_mixed(g, i, j, 2 * p, t);
  constexpr int side[4][2] = {{-1, 0}, {1, 0}, {0, -1}, {0, 1}};
  for (const auto& s : side) {
    if (!inside(g, i + s[0], j + s[1])) continue;
    t.num += tension * g.z[index(g, i + s[0], j + s[1])];
    t.den += tension;
  }
  const float f = g.fixed[index(g, i, j)];
  if (!std::isnan(f)) {
    t.num += hold * f;
    t.den += hold;
  }
  return t.den > 0 ? static_cast<float>(t.num / t.den) : g.z[index(g, i, j)];
}

/// Relaxes the pixels of row i from column `from` to `to` (exclusive) with the interior
/// stencil; every pixel there has its 13-pixel neighbourhood in the grid. The terms that do not
/// involve the two pixels just updated to the left are summed first, over the whole row, into
/// `rest`: that part has no dependence from pixel to pixel, so only two products remain in the
/// sequential part.
float relax_interior(PlateGrid& g, int i, int from, int to, const Plate& plate, float omega,
                     std::vector<float>& rest) {
  const float p = static_cast<float>(1 - plate.tension);
  const float t = static_cast<float>(plate.tension);
  const float c1 = 8 * p + t;
  const float c2 = -2 * p;
  const float c3 = -p;
  const float den = 20 * p + 4 * t;
  const float weight = static_cast<float>(plate.hold);
  const bool exact = std::isinf(weight);
  const std::ptrdiff_t w = g.cols;
  float* z = g.z.data() + index(g, i, 0);
  const float* fixed = g.fixed.data() + index(g, i, 0);
  rest.resize(static_cast<std::size_t>(g.cols));
  float* r = rest.data();
  for (int j = from; j < to; ++j) {
    r[j] = c1 * (z[j + 1] + z[j - w] + z[j + w]) +
           c2 * (z[j - w - 1] + z[j - w + 1] + z[j + w - 1] + z[j + w + 1]) +
           c3 * (z[j + 2] + z[j - 2 * w] + z[j + 2 * w]);
  }
  float change = 0;
  for (int j = from; j < to; ++j) {
    const float sum = r[j] + c1 * z[j - 1] + c3 * z[j - 2];
    float v = 0;
    if (std::isnan(fixed[j])) {
      v = z[j] + omega * (sum / den - z[j]);
    } else if (exact) {
      continue;
    } else {
      v = (sum + weight * fixed[j]) / (den + weight);
    }
    change = std::max(change, std::abs(v - z[j]));
    z[j] = v;
  }
  return change;
}

/// The grid halved: each pixel covers up to 2×2 of `fine` and starts at the mean of their
/// values; it is held, at that mean, when one of them is held. The mean of a guess that is
/// right on average over the cell is the surface at the cell's centre, where the held children
/// alone would put a line's value up to half a coarse pixel off its place.
PlateGrid coarsen(const PlateGrid& fine) {
  PlateGrid coarse;
  coarse.rows = (fine.rows + 1) / 2;
  coarse.cols = (fine.cols + 1) / 2;
  const std::size_t n = static_cast<std::size_t>(coarse.rows) * coarse.cols;
  coarse.z.assign(n, 0.0f);
  coarse.fixed.assign(n, std::numeric_limits<float>::quiet_NaN());
  for (int i = 0; i < coarse.rows; ++i) {
    for (int j = 0; j < coarse.cols; ++j) {
      double sum = 0;
      int count = 0;
      bool held = false;
      for (int k = 0; k < 4; ++k) {
        const int fi = 2 * i + k / 2;
        const int fj = 2 * j + k % 2;
        if (!inside(fine, fi, fj)) continue;
        const std::size_t at = index(fine, fi, fj);
        held = held || !std::isnan(fine.fixed[at]);
        sum += fine.z[at];
        ++count;
      }
      const float mean = static_cast<float>(sum / count);
      coarse.z[index(coarse, i, j)] = mean;
      if (held) coarse.fixed[index(coarse, i, j)] = mean;
    }
  }
  return coarse;
}

/// Sets `fine`'s free pixels by bilinear interpolation of `coarse`, whose pixel (i, j) is
/// centred on fine position (2i + 0.5, 2j + 0.5); held pixels take their value.
void prolong(const PlateGrid& coarse, PlateGrid& fine) {
  for (int i = 0; i < fine.rows; ++i) {
    const double y = std::clamp((i - 0.5) / 2, 0.0, coarse.rows - 1.0);
    const int i0 = std::min(static_cast<int>(y), std::max(coarse.rows - 2, 0));
    const int i1 = std::min(i0 + 1, coarse.rows - 1);
    const double fy = y - i0;
    for (int j = 0; j < fine.cols; ++j) {
      const std::size_t at = index(fine, i, j);
      if (!std::isnan(fine.fixed[at])) {
        fine.z[at] = fine.fixed[at];
        continue;
      }
      const double x = std::clamp((j - 0.5) / 2, 0.0, coarse.cols - 1.0);
      const int j0 = std::min(static_cast<int>(x), std::max(coarse.cols - 2, 0));
      const int j1 = std::min(j0 + 1, coarse.cols - 1);
      const double fx = x - j0;
      const double top =
          (1 - fx) * coarse.z[index(coarse, i0, j0)] + fx * coarse.z[index(coarse, i0, j1)];
      const double bottom =
          (1 - fx) * coarse.z[index(coarse, i1, j0)] + fx * coarse.z[index(coarse, i1, j1)];
      fine.z[at] = static_cast<float>((1 - fy) * top + fy * bottom);
    }
  }
}

/// The coarsest grid: relaxed from its guess until it settles.
void solve_directly(PlateGrid& g, const Plate& plate) {
  float low = std::numeric_limits<float>::infinity();
  float high = -low;
  for (float v : g.z) {
    low = std::min(low, v);
    high = std::max(high, v);
  }
  const float scale = std::max(high - low, 1e-6f);
  for (int sweep = 0; sweep < 4000; ++sweep) {
    if (relax(g, plate, over_relaxation) <= 1e-6f * scale) break;
  }
}

/// How many sweeps a grid of `level` halvings gets: the finest few, the coarse ones more, as
/// they cost a quarter as much each and carry the smooth part of the solution.
int sweeps_at(int level) { return std::min(16 + 10 * level, 60); }

}  // namespace

float relax(PlateGrid& g, const Plate& plate, float omega) {
  std::vector<float> rest;
  float change = 0;
  for (int i = 0; i < g.rows; ++i) {
    const bool border_row = i < 2 || i >= g.rows - 2 || g.cols < 5;
    const int inner_from = border_row ? g.cols : 2;
    const int inner_to = border_row ? g.cols : std::max(g.cols - 2, 2);
    for (int j = 0; j < g.cols; ++j) {
      if (j == inner_from) {
        change = std::max(change, relax_interior(g, i, inner_from, inner_to, plate, omega, rest));
        j = inner_to - 1;
        continue;
      }
      const std::size_t at = index(g, i, j);
      if (!std::isnan(g.fixed[at]) && std::isinf(plate.hold)) continue;
      const float v = edge_update(g, i, j, plate.tension, plate.hold);
      change = std::max(change, std::abs(v - g.z[at]));
      g.z[at] = v;
    }
  }
  return change;
}

void solve_thin_plate(PlateGrid& grid, const Plate& plate) {
  for (std::size_t n = 0; n < grid.z.size(); ++n) {
    if (!std::isnan(grid.fixed[n])) grid.z[n] = grid.fixed[n];
  }
  // The pyramid, finest first; coarsened while a grid still has more than 16 pixels each way.
  std::vector<PlateGrid> coarser;
  const PlateGrid* top = &grid;
  while (top->rows > 16 || top->cols > 16) {
    coarser.push_back(coarsen(*top));
    top = &coarser.back();
  }
  if (coarser.empty()) {
    solve_directly(grid, plate);
    return;
  }
  solve_directly(coarser.back(), plate);
  for (std::size_t level = coarser.size(); level-- > 0;) {
    PlateGrid& fine = level == 0 ? grid : coarser[level - 1];
    prolong(coarser[level], fine);
    coarser.pop_back();
    const int sweeps = sweeps_at(static_cast<int>(level));
    for (int s = 0; s < sweeps; ++s) {
      relax(fine, plate, s < sweeps - plain_sweeps ? over_relaxation : 1.0f);
    }
  }
}

}  // namespace torvanelle::dem
