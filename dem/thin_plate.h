// A thin-plate surface with tension through fixed pixels, solved coarse to fine.
#pragma once

#include <vector>

namespace torvanelle::dem {

/// One grid of the solver: rows × cols values and, for each, the value it is held at or NaN
/// where it is free.
struct PlateGrid {
  int rows = 0;
  int cols = 0;
  std::vector<float> z;      ///< the surface
  std::vector<float> fixed;  ///< the held value, NaN where free
};

/// Sets the free pixels of `grid` to the surface that minimises
///   (1 - tension) (z_xx² + 2 z_xy² + z_yy²) + tension (z_x² + z_y²)
/// summed over the grid (natural conditions at its edges), the fixed pixels held. Needs at least
/// one fixed pixel. The free pixels' values on entry are ignored: the problem is first solved on
/// grids halved again and again, each coarse pixel held at the mean of its held children, and
/// each solution, interpolated, starts the next finer one (cascadic multigrid).
void solve_thin_plate(PlateGrid& grid, double tension);

/// One Gauss-Seidel sweep over `grid`'s free pixels in scan order: each set to the value that
/// minimises the energy above given its neighbours. Returns the largest change.
float relax(PlateGrid& grid, double tension);

}  // namespace torvanelle::dem
