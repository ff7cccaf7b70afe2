// The row-major scan of a raster's interior that the thinning and the deburring share.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

#include "app/state.h"

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

/// Calls visit(i, j) for every interior pixel of `tab` that holds a line (not the background),
/// row by row, left to right; the outermost rows and columns are never visited. `visit` may turn
/// the pixel it is given into background: each pixel is read when the scan reaches it, so it
/// sees what the visits before it left. Background is passed over eight pixels at a time.
template <class Visit>
void for_each_line_pixel(Raster tab, int nb_lig, int nb_col, Visit visit) {
  for (int i = 1; i < nb_lig - 1; ++i) {
    const std::uint8_t* row = tab[i];
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
      visit(i, j);
      ++j;
    }
  }
}

}  // namespace torvanelle
