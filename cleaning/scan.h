// The row-major scan of a raster's interior that the thinning and the deburring share.
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <vector>

#include "app/state.h"
#include "cleaning/neighbour.h"

namespace torvanelle {

/// How many of the eight pixels from `p` on are background before the first line pixel (8 if
/// none is a line pixel).
inline int background_run(const std::uint8_t* p) {
  static_assert(background == 0xFF, "a line pixel is a byte that is not all ones");
  std::uint64_t eight = 0;
  std::memcpy(&eight, p, sizeof eight);
  const std::uint64_t lines = ~eight;  // non-zero bytes: the line pixels
  if (lines == 0) return 8;
  if constexpr (std::endian::native == std::endian::little) return std::countr_zero(lines) / 8;
  return std::countl_zero(lines) / 8;
}

/// Calls visit(i, j, code) for every interior pixel of `tab` that holds a line (not the
/// background), row by row, left to right, with the pixel's code at its turn; the outermost rows
/// and columns are never visited. `visit` may turn the pixel it is given into background: every
/// pixel is coded against what the visits before it left.
///
/// When the scan reaches a row, the row above has had all its visits, and the row below and the
/// pixels ahead have had none: only a pixel's west neighbour can change between the start of the
/// row and the pixel's turn. So every code but its west bit is worked out for the whole row first,
/// in a loop the compiler does many pixels at a time, and the west bit at the pixel's turn.
/// Background is passed over eight pixels at a time.
template <class Visit>
void for_each_line_pixel(Raster tab, int nb_lig, int nb_col, Visit visit) {
  std::vector<std::uint8_t> but_west(static_cast<std::size_t>(std::max(nb_col, 0)));
  for (int i = 1; i < nb_lig - 1; ++i) {
    const std::uint8_t* up = tab[i - 1];
    const std::uint8_t* row = tab[i];
    const std::uint8_t* down = tab[i + 1];
    std::uint8_t* codes = but_west.data();
    for (int j = 1; j < nb_col - 1; ++j)
      codes[j] = ico_but_west(up, row, down, j);
    int j = 1;
    while (j < nb_col - 1) {
      if (j + 8 <= nb_col - 1) {
        const int skip = background_run(row + j);
        j += skip;
        if (skip == 8) continue;
      } else if (row[j] == background) {
        ++j;
        continue;
      }
      visit(i, j, static_cast<std::uint8_t>(codes[j] | ico_west(row, j)));
      ++j;
    }
  }
}

}  // namespace torvanelle
