// A thin-plate surface with tension through fixed pixels, solved coarse to fine.
#pragma once

#include <cstdint>
#include <limits>
#include <span>
#include <vector>

#include "base/progress.h"

namespace torvanelle::dem {

/// One grid of the solver: rows × cols values, which of them are held, and at what.
struct PlateGrid {
  int rows = 0;
  int cols = 0;
  std::vector<float> z;            ///< the surface
  std::vector<std::uint8_t> held;  ///< 1 where held, 0 where free
  /// The held values (NaN where free), needed only when the hold is finite: held exactly, a held
  /// pixel keeps what `z` holds there, and this may be left empty.
  std::vector<float> fixed;
};

/// The surface's stiffness and how firmly the held pixels hold.
struct Plate {
  double tension = 0.25;  ///< 0 to 1, see below
  /// Weight of a held pixel's squared distance from its value; infinite: held exactly.
  double hold = std::numeric_limits<double>::infinity();
  /// The side of the coarsest grid: grids are halved while wider or taller, and the coarsest is
  /// relaxed until it settles. Smaller is faster but less smooth on the large scale.
  int coarsest = 16;
};

/// Sets `grid` to the surface that minimises, summed over the grid (natural conditions at its
/// edges),
///   (1 - tension) (z_xx² + 2 z_xy² + z_yy²) + tension (z_x² + z_y²) + hold (z - fixed)²
/// the last term over the held pixels only. Needs at least one held pixel and a guess in `z`
/// (held pixels' entries are set to `fixed` first where it is given): the problem is first solved
/// on grids halved again and again down to `plate.coarsest` pixels each way, each coarse pixel that
/// covers a held one held at the mean of the guess over it, and each solution, interpolated, starts
/// the next finer one (cascadic multigrid). The guess need only be right on average over a few
/// pixels near the held ones; what it says elsewhere is forgotten. `progress` hears the share of
/// the sweeps' work done, at most about a hundred times, the last 1.
void solve_thin_plate(PlateGrid& grid, const Plate& plate, const Progress& progress = {});

/// One sweep over `grid`'s pixels (free ones only when held exactly) in scan order, each set to
/// the value that minimises the energy above given its neighbours (Gauss-Seidel); free pixels
/// two or more from the edge move `over_relaxation` times as far (successive over-relaxation,
/// 1 to below 2). Returns the largest change.
float relax(PlateGrid& grid, const Plate& plate, float over_relaxation);

/// Sweeps, as `relax` with each of `over_relaxations` in turn, bit for bit: eight at a time,
/// each three rows behind the one before, the first half on another core (when there is one),
/// the second on the calling thread, and each core's four relaxed row by row together, as no
/// row of one reads a row that another changes: the chain of updates along one row waits on
/// each product, and four of them fill that wait.
void relax_sweeps(PlateGrid& grid, const Plate& plate, std::span<const float> over_relaxations);

}  // namespace torvanelle::dem
