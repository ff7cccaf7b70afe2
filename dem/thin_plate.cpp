#include "dem/thin_plate.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <limits>
#include <span>
#include <utility>

#include "base/together.h"

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

/// One squared difference of the energy, Σ coef[k] z at (i + at[k][0], j + at[k][1]), weighted
/// plate × (1 - tension) + membrane × tension and summed over every placement of it whose pixels
/// all lie in the grid.
struct Difference {
  int plate = 0;
  int membrane = 0;
  int size = 0;
  int at[4][2] = {};
  int coef[4] = {};
};

/// The energy's differences, in the order their terms are summed at a pixel near the edge (that
/// order is part of the floats that come out).
constexpr Difference energy[] = {
    {1, 0, 3, {{0, -1}, {0, 0}, {0, 1}}, {1, -2, 1}},             // second, along the row
    {1, 0, 3, {{-1, 0}, {0, 0}, {1, 0}}, {1, -2, 1}},             // second, along the column
    {2, 0, 4, {{0, 0}, {0, 1}, {1, 0}, {1, 1}}, {1, -1, -1, 1}},  // mixed, of a 2×2 cell
    {0, 1, 2, {{0, 0}, {1, 0}}, {-1, 1}},                         // first, along the column
    {0, 1, 2, {{0, 0}, {0, 1}}, {-1, 1}},                         // first, along the row
};

/// A weight in the equation at a pixel: plate × (1 - tension) + membrane × tension.
struct Weight {
  int plate = 0;
  int membrane = 0;
  friend constexpr bool operator==(const Weight&, const Weight&) = default;

  /// Its value; a membrane part of zero is left out rather than added, which keeps the sign of
  /// a zero plate part.
  float of(float p, float t) const {
    float v = static_cast<float>(plate) * p;
    if (membrane != 0) v += static_cast<float>(membrane) * t;
    return v;
  }
};

/// The coefficient of the pixel at offset (di, dj) in the equation at a pixel whose
/// neighbourhood lies wholly in the grid, (Σ w a²) z = Σ coefficient × neighbour: each
/// placement of each difference that holds the pixel, with a its coefficient there and b the
/// neighbour's, adds w a² to the pixel's own (0, 0) and -w a b to the neighbour's.
constexpr Weight stencil(int di, int dj) {
  Weight out;
  for (const Difference& d : energy) {
    for (int s = 0; s < d.size; ++s) {
      for (int k = 0; k < d.size; ++k) {
        if (d.at[k][0] - d.at[s][0] != di || d.at[k][1] - d.at[s][1] != dj) continue;
        const int product = k == s ? d.coef[s] * d.coef[s] : -d.coef[s] * d.coef[k];
        out.plate += d.plate * product;
        out.membrane += d.membrane * product;
      }
    }
  }
  return out;
}

/// The interior stencil by ring: the pixel itself, its four sides, its four diagonals and the
/// four pixels two away along the axes.
constexpr Weight own = stencil(0, 0);
constexpr Weight side = stencil(0, 1);
constexpr Weight diagonal = stencil(1, 1);
constexpr Weight apart = stencil(0, 2);

/// Whether the stencil is the same on each ring's four pixels and nothing outside them.
constexpr bool rings_hold() {
  for (int di = -2; di <= 2; ++di) {
    for (int dj = -2; dj <= 2; ++dj) {
      const int ring = di * di + dj * dj;
      const Weight want = ring == 0   ? own
                          : ring == 1 ? side
                          : ring == 2 ? diagonal
                          : ring == 4 ? apart
                                      : Weight{};
      if (!(stencil(di, dj) == want)) return false;
    }
  }
  return true;
}
static_assert(rings_hold(), "the interior relaxation reads 13 pixels, grouped by ring");
static_assert(own == Weight{20, 4} && side == Weight{8, 1} && diagonal == Weight{-2, 0} &&
                  apart == Weight{-1, 0},
              "the stencil given at the top of this file");

/// The lowest and highest offset of a difference's pixels along one axis (0 rows, 1 columns).
struct Reach {
  int low = 0;
  int high = 0;
};

constexpr Reach reach(const Difference& d, int axis) {
  Reach r{d.at[0][axis], d.at[0][axis]};
  for (int k = 1; k < d.size; ++k) {
    r.low = std::min(r.low, d.at[k][axis]);
    r.high = std::max(r.high, d.at[k][axis]);
  }
  return r;
}

/// Adds to `num` and `den` the terms at (i, j) of the energy's difference number D: each
/// placement of it that holds the pixel and lies in the grid, with a the pixel's coefficient
/// there and r the rest of the difference, adds -w a r to the numerator and w a² to the
/// denominator. The pixel last in the difference is taken first.
template <std::size_t D>
void add_difference(const PlateGrid& g, int i, int j, double p, double tension, double& num,
                    double& den) {
  constexpr Difference d = energy[D];
  constexpr Reach rows = reach(d, 0);
  constexpr Reach cols = reach(d, 1);
  const double w = d.plate * p + d.membrane * tension;
  for (int s = d.size; s-- > 0;) {
    const int oi = i - d.at[s][0];
    const int oj = j - d.at[s][1];
    if (oi + rows.low < 0 || oi + rows.high >= g.rows || oj + cols.low < 0 ||
        oj + cols.high >= g.cols) {
      continue;  // not all in the grid
    }
    double rest = 0;
    for (int k = 0; k < d.size; ++k) {
      if (k == s) continue;
      rest += d.coef[k] * static_cast<double>(g.z[index(g, oi + d.at[k][0], oj + d.at[k][1])]);
    }
    const double a = d.coef[s];
    num -= w * a * rest;
    den += w * a * a;
  }
}

/// The value that minimises the energy at (i, j) given all its neighbours, any position.
float edge_update(const PlateGrid& g, int i, int j, double tension, double hold) {
  const double p = 1 - tension;
  double num = 0;
  double den = 0;
  [&]<std::size_t... D>(std::index_sequence<D...>) {
    (add_difference<D>(g, i, j, p, tension, num, den), ...);
  }
  (std::make_index_sequence<std::size(energy)>{});
  const std::size_t at = index(g, i, j);
  if (g.held[at]) {
    num += hold * g.fixed[at];
    den += hold;
  }
  return den > 0 ? static_cast<float>(num / den) : g.z[index(g, i, j)];
}

/// Working space of one row's relaxation.
struct RowWork {
  std::vector<float> a;  ///< what of each pixel's update no pixel updated before it enters
  std::vector<float> b;  ///< weight of the pixel just updated to its left
  std::vector<float> c;  ///< weight of the one two to its left
};

/// The terms of pixel j's equation that no pixel updated earlier in its row enters: everything
/// but its two left neighbours.
inline float rest_of(const float* z, std::ptrdiff_t j, std::ptrdiff_t w, float c1, float c2,
                     float c3) {
  return c1 * (z[j + 1] + z[j - w] + z[j + w]) +
         c2 * (z[j - w - 1] + z[j - w + 1] + z[j + w - 1] + z[j + w + 1]) +
         c3 * (z[j + 2] + z[j - 2 * w] + z[j + 2 * w]);
}

/// The stencil's weights for `plate`.
struct Weights {
  float c1, c2, c3, den;
  explicit Weights(const Plate& plate) {
    const float p = static_cast<float>(1 - plate.tension);
    const float t = static_cast<float>(plate.tension);
    c1 = side.of(p, t);
    c2 = diagonal.of(p, t);
    c3 = apart.of(p, t);
    den = own.of(p, t);
  }
};

/// Relaxes the pixels of row i from column `from` to `to` (exclusive) with the interior
/// stencil, some held at a finite weight; every pixel there has its 13-pixel neighbourhood in
/// the grid.
float relax_interior_loosely(PlateGrid& g, int i, int from, int to, const Plate& plate, float omega,
                             RowWork& work) {
  const Weights k(plate);
  const std::ptrdiff_t w = g.cols;
  float* z = g.z.data() + index(g, i, 0);
  const std::uint8_t* held = g.held.data() + index(g, i, 0);
  const float* fixed = g.fixed.data() + index(g, i, 0);
  work.a.resize(static_cast<std::size_t>(g.cols));
  float* a = work.a.data();
  const float weight = static_cast<float>(plate.hold);
  for (int j = from; j < to; ++j)
    a[j] = rest_of(z, j, w, k.c1, k.c2, k.c3);
  float change = 0;
  for (int j = from; j < to; ++j) {
    const float sum = a[j] + k.c1 * z[j - 1] + k.c3 * z[j - 2];
    const float v = held[j] == 0 ? z[j] + omega * (sum / k.den - z[j])
                                 : (sum + weight * fixed[j]) / (k.den + weight);
    change = std::max(change, std::abs(v - z[j]));
    z[j] = v;
  }
  return change;
}

/// The first part of relaxing the pixels of row i from column `from` to `to` (exclusive) with
/// the interior stencil, held exactly; every pixel there has its 13-pixel neighbourhood in the
/// grid. A pixel's update is a_j + b_j v_{j-1} + c_j v_{j-2}, v being the values just set to
/// its left: a, b and c are found here over the whole row (b = c = 0 and a the value itself
/// where it is held), which leaves one product and one sum a pixel to `finish_interior`.
void prepare_interior(const PlateGrid& g, int i, int from, int to, const Plate& plate, float omega,
                      RowWork& work) {
  const Weights k(plate);
  const std::ptrdiff_t w = g.cols;
  const float* z = g.z.data() + index(g, i, 0);
  const std::uint8_t* held = g.held.data() + index(g, i, 0);
  const std::size_t cols = static_cast<std::size_t>(g.cols);
  work.a.resize(cols);
  work.b.resize(cols);
  work.c.resize(cols);
  float* a = work.a.data();
  float* b = work.b.data();
  float* c = work.c.data();
  const float step = omega / k.den;
  // Two loops without a branch, which the compiler turns into vector instructions: each value
  // is chosen by a mask of all ones where the pixel is free, as a choice here would be a branch.
  for (int j = from; j < to; ++j)
    a[j] = rest_of(z, j, w, k.c1, k.c2, k.c3);
  const std::uint32_t b_free = std::bit_cast<std::uint32_t>(step * k.c1);
  const std::uint32_t c_free = std::bit_cast<std::uint32_t>(step * k.c3);
  for (int j = from; j < to; ++j) {
    const std::uint32_t free = static_cast<std::uint32_t>(held[j]) - 1u;
    const float moved = (1 - omega) * z[j] + step * a[j];
    a[j] = std::bit_cast<float>((std::bit_cast<std::uint32_t>(moved) & free) |
                                (std::bit_cast<std::uint32_t>(z[j]) & ~free));
    b[j] = std::bit_cast<float>(b_free & free);
    c[j] = std::bit_cast<float>(c_free & free);
  }
}

/// The pixels' updates in order along the row, from what `prepare_interior` found.
float finish_interior(PlateGrid& g, int i, int from, int to, const RowWork& work) {
  float* z = g.z.data() + index(g, i, 0);
  const float* a = work.a.data();
  const float* b = work.b.data();
  const float* c = work.c.data();
  float left = z[from - 1];
  float further = z[from - 2];
  float change = 0;
  for (int j = from; j < to; ++j) {
    const float v = a[j] + c[j] * further + b[j] * left;
    change = std::max(change, std::abs(v - z[j]));
    z[j] = v;
    further = left;
    left = v;
  }
  return change;
}

/// `finish_interior` on `Count` rows at once, in one loop: each row's chain of updates runs
/// while the others wait for their last product.
template <int Count>
void finish_interiors(PlateGrid& g, const int* rows, int from, int to, const RowWork* const* work) {
  float* z[Count];
  float left[Count];
  float further[Count];
  for (int c = 0; c < Count; ++c) {
    z[c] = g.z.data() + index(g, rows[c], 0);
    left[c] = z[c][from - 1];
    further[c] = z[c][from - 2];
  }
  for (int j = from; j < to; ++j) {
    const std::size_t at = static_cast<std::size_t>(j);
    for (int c = 0; c < Count; ++c) {
      const float v = work[c]->a[at] + work[c]->c[at] * further[c] + work[c]->b[at] * left[c];
      z[c][j] = v;
      further[c] = left[c];
      left[c] = v;
    }
  }
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
  coarse.held.assign(n, 0);
  if (!fine.fixed.empty()) coarse.fixed.assign(n, std::numeric_limits<float>::quiet_NaN());
  by_halves(coarse.rows, n, [&](int first, int last) {
    for (int i = first; i < last; ++i) {
      for (int j = 0; j < coarse.cols; ++j) {
        double sum = 0;
        int count = 0;
        bool held = false;
        for (int k = 0; k < 4; ++k) {
          const int fi = 2 * i + k / 2;
          const int fj = 2 * j + k % 2;
          if (!inside(fine, fi, fj)) continue;
          const std::size_t at = index(fine, fi, fj);
          held = held || fine.held[at] != 0;
          sum += fine.z[at];
          ++count;
        }
        const float mean = static_cast<float>(sum / count);
        const std::size_t at = index(coarse, i, j);
        coarse.z[at] = mean;
        coarse.held[at] = held ? 1 : 0;
        if (held && !coarse.fixed.empty()) coarse.fixed[at] = mean;
      }
    }
  });
  return coarse;
}

/// Where fine row or column k falls between coarse ones: the coarse pixel before it, the one
/// after (the same at the grid's ends) and the share of the one after.
struct Between {
  int before = 0;
  int after = 0;
  double share = 0;
};

Between between(int k, int coarse_count) {
  const double x = std::clamp((k - 0.5) / 2, 0.0, coarse_count - 1.0);
  Between b;
  b.before = std::min(static_cast<int>(x), std::max(coarse_count - 2, 0));
  b.after = std::min(b.before + 1, coarse_count - 1);
  b.share = x - b.before;
  return b;
}

/// Sets `fine`'s free pixels by bilinear interpolation of `coarse`, whose pixel (i, j) is
/// centred on fine position (2i + 0.5, 2j + 0.5); held pixels take their value.
void prolong(const PlateGrid& coarse, PlateGrid& fine) {
  std::vector<Between> columns(static_cast<std::size_t>(fine.cols));
  for (int j = 0; j < fine.cols; ++j)
    columns[static_cast<std::size_t>(j)] = between(j, coarse.cols);
  by_halves(fine.rows, fine.z.size(), [&](int first, int last) {
    for (int i = first; i < last; ++i) {
      const Between y = between(i, coarse.rows);
      for (int j = 0; j < fine.cols; ++j) {
        const std::size_t at = index(fine, i, j);
        if (fine.held[at]) {
          if (!fine.fixed.empty()) fine.z[at] = fine.fixed[at];
          continue;
        }
        const Between& x = columns[static_cast<std::size_t>(j)];
        const double top = (1 - x.share) * coarse.z[index(coarse, y.before, x.before)] +
                           x.share * coarse.z[index(coarse, y.before, x.after)];
        const double bottom = (1 - x.share) * coarse.z[index(coarse, y.after, x.before)] +
                              x.share * coarse.z[index(coarse, y.after, x.after)];
        fine.z[at] = static_cast<float>((1 - y.share) * top + y.share * bottom);
      }
    }
  });
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

/// The sweeps' work over the pyramid's grids finer than the coarsest (`coarser` holds them
/// halved, finest first), in pixels swept, reported as it passes each hundredth of the whole.
class SweepWork {
 public:
  SweepWork(const PlateGrid& grid, const std::vector<PlateGrid>& coarser, const Progress& progress)
      : progress_(progress) {
    for (std::size_t level = 0; level < coarser.size(); ++level) {
      const PlateGrid& fine = level == 0 ? grid : coarser[level - 1];
      total_ += static_cast<double>(fine.z.size()) * sweeps_at(static_cast<int>(level));
    }
  }

  /// One sweep over `g` done.
  void swept(const PlateGrid& g) {
    done_ += static_cast<double>(g.z.size());
    const double fraction = total_ > 0 ? done_ / total_ : 1;
    if (fraction < next_) return;
    progress_.at(fraction);
    next_ = fraction + 0.01;
  }

 private:
  const Progress& progress_;
  double total_ = 0;
  double done_ = 0;
  double next_ = 0.01;
};

/// Relaxes the pixels of row i from column `from` to `to` (exclusive) one by one, with the
/// terms that lie in the grid.
float relax_edge(PlateGrid& g, int i, int from, int to, const Plate& plate) {
  float change = 0;
  for (int j = from; j < to; ++j) {
    const std::size_t at = index(g, i, j);
    if (g.held[at] && std::isinf(plate.hold)) continue;
    const float v = edge_update(g, i, j, plate.tension, plate.hold);
    change = std::max(change, std::abs(v - g.z[at]));
    g.z[at] = v;
  }
  return change;
}

/// Whether row i's pixels two or more from the grid's sides have their 13-pixel
/// neighbourhoods in the grid.
bool has_interior(const PlateGrid& g, int i) { return i >= 2 && i < g.rows - 2 && g.cols >= 5; }

/// Relaxes row i of a sweep (see `relax`); `work` is working space. Reads rows i - 2 to i + 2.
float relax_row(PlateGrid& g, int i, const Plate& plate, float omega, RowWork& work) {
  if (!has_interior(g, i)) return relax_edge(g, i, 0, g.cols, plate);
  float change = relax_edge(g, i, 0, 2, plate);
  if (std::isinf(plate.hold)) {
    prepare_interior(g, i, 2, g.cols - 2, plate, omega, work);
    change = std::max(change, finish_interior(g, i, 2, g.cols - 2, work));
  } else {
    change = std::max(change, relax_interior_loosely(g, i, 2, g.cols - 2, plate, omega, work));
  }
  return std::max(change, relax_edge(g, i, g.cols - 2, g.cols, plate));
}

/// The most sweeps that one core runs at once.
constexpr int sweeps_a_core = 4;

/// Rows of successive sweeps, each three rows or more above the one before, as `relax_row` on
/// each: none reads a row that another writes, so their interiors are relaxed together.
void relax_rows(PlateGrid& g, const int* rows, const float* omegas, RowWork* const* work, int count,
                const Plate& plate) {
  const bool interiors = std::isinf(plate.hold) &&
                         std::all_of(rows, rows + count, [&](int i) { return has_interior(g, i); });
  if (!interiors || count == 1) {
    for (int c = 0; c < count; ++c)
      relax_row(g, rows[c], plate, omegas[c], *work[c]);
    return;
  }
  for (int c = 0; c < count; ++c) {
    relax_edge(g, rows[c], 0, 2, plate);
    prepare_interior(g, rows[c], 2, g.cols - 2, plate, omegas[c], *work[c]);
  }
  switch (count) {
    case 2:
      finish_interiors<2>(g, rows, 2, g.cols - 2, work);
      break;
    case 3:
      finish_interiors<3>(g, rows, 2, g.cols - 2, work);
      break;
    default:
      finish_interiors<sweeps_a_core>(g, rows, 2, g.cols - 2, work);
  }
  for (int c = 0; c < count; ++c)
    relax_edge(g, rows[c], g.cols - 2, g.cols, plate);
}

/// Runs `count` (1 to `sweeps_a_core`) sweeps from number `first` of `omegas`, each three rows
/// behind the one before; before each row of the first, waits for `ready` to count the rows it
/// reads of the sweep before (when `wait`), and counts in `done` the rows of the last that are
/// done.
void run_sweeps(PlateGrid& g, const Plate& plate, std::span<const float> omegas, int first,
                int count, bool wait, std::atomic<int>& ready, std::atomic<int>& done) {
  RowWork work[sweeps_a_core];
  const int lag = 3 * (count - 1);
  for (int t = 0; t < g.rows + lag; ++t) {
    if (wait && t < g.rows) {
      while (ready.load(std::memory_order_acquire) < std::min(t + 3, g.rows))
        pause_briefly();
    }
    int rows[sweeps_a_core];
    float omega[sweeps_a_core];
    RowWork* works[sweeps_a_core];
    int now = 0;
    for (int s = 0; s < count; ++s) {
      const int i = t - 3 * s;
      if (i < 0 || i >= g.rows) continue;
      rows[now] = i;
      omega[now] = omegas[static_cast<std::size_t>(first + s)];
      works[now] = &work[s];
      ++now;
    }
    relax_rows(g, rows, omega, works, now, plate);
    done.store(std::clamp(t - lag + 1, 0, g.rows), std::memory_order_release);
  }
}

}  // namespace

float relax(PlateGrid& g, const Plate& plate, float omega) {
  RowWork rest;
  float change = 0;
  for (int i = 0; i < g.rows; ++i)
    change = std::max(change, relax_row(g, i, plate, omega, rest));
  return change;
}

void relax_sweeps(PlateGrid& g, const Plate& plate, std::span<const float> omegas) {
  const int n = static_cast<int>(omegas.size());
  if (n > 2 * sweeps_a_core) {
    relax_sweeps(g, plate, omegas.first(2 * sweeps_a_core));
    relax_sweeps(g, plate, omegas.subspan(2 * sweeps_a_core));
    return;
  }
  if (n == 1) {
    relax(g, plate, omegas[0]);
    return;
  }
  const int lead = (n + 1) / 2;
  std::atomic<int> none{0};
  std::atomic<int> lead_done{0};  // rows of the lead's last sweep done
  std::atomic<int> follow_done{0};
  run_together([&] { run_sweeps(g, plate, omegas, 0, lead, false, none, lead_done); },
               [&] { run_sweeps(g, plate, omegas, lead, n - lead, true, lead_done, follow_done); });
}

void solve_thin_plate(PlateGrid& grid, const Plate& plate, const Progress& progress) {
  for (std::size_t n = 0; n < grid.fixed.size(); ++n) {
    if (grid.held[n]) grid.z[n] = grid.fixed[n];
  }
  // The pyramid, finest first.
  std::vector<PlateGrid> coarser;
  const PlateGrid* top = &grid;
  while (top->rows > plate.coarsest || top->cols > plate.coarsest) {
    coarser.push_back(coarsen(*top));
    top = &coarser.back();
  }
  if (coarser.empty()) {
    solve_directly(grid, plate);
    progress.at(1);
    return;
  }
  SweepWork work(grid, coarser, progress);
  solve_directly(coarser.back(), plate);
  for (std::size_t level = coarser.size(); level-- > 0;) {
    PlateGrid& fine = level == 0 ? grid : coarser[level - 1];
    prolong(coarser[level], fine);
    coarser.pop_back();
    const int sweeps = sweeps_at(static_cast<int>(level));
    const auto omega = [&](int s) { return s < sweeps - plain_sweeps ? over_relaxation : 1.0f; };
    const int together = two_cores() && fine.rows >= 64 ? 2 * sweeps_a_core : 1;
    for (int s = 0; s < sweeps; s += together) {
      float omegas[2 * sweeps_a_core];
      const int count = std::min(together, sweeps - s);
      for (int k = 0; k < count; ++k)
        omegas[k] = omega(s + k);
      relax_sweeps(fine, plate, std::span<const float>(omegas, static_cast<std::size_t>(count)));
      for (int k = 0; k < count; ++k)
        work.swept(fine);
    }
  }
  progress.at(1);
}

}  // namespace torvanelle::dem
