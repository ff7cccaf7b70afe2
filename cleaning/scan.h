// The row-major scan of a raster's interior that the thinning and the deburring share.
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <vector>

#include "base/image.h"
#include "cleaning/neighbour.h"

namespace torvanelle {

/// The fewest and the most present neighbours that a code of `set` has.
struct NeighbourRange {
  int fewest = 9;
  int most = -1;
};

inline NeighbourRange neighbour_range(const CodeSet& set) {
  NeighbourRange range;
  for (unsigned code = 0; code < set.size(); ++code) {
    if (!set[code]) continue;
    range.fewest = std::min(range.fewest, std::popcount(code));
    range.most = std::max(range.most, std::popcount(code));
  }
  return range;
}

/// flags[j] = 1 for the line pixels among columns 1 to nb_col-2 of `row` whose number of
/// neighbours of their own number lies in `range`, 0 for the others. One plain loop without
/// branches over the whole row: the compiler does it many pixels at a time.
inline void flag_row(const std::uint8_t* up, const std::uint8_t* row, const std::uint8_t* down,
                     int nb_col, NeighbourRange range, std::uint8_t* flags) {
  const auto fewest = static_cast<std::uint8_t>(range.fewest);
  const auto most = static_cast<std::uint8_t>(range.most);
  for (int j = 1; j < nb_col - 1; ++j) {
    const std::uint8_t n = neighbours(up, row, down, j);
    flags[j] = static_cast<std::uint8_t>((row[j] != background) & (n >= fewest) & (n <= most));
  }
}

/// The first column from `j` on, before `end`, whose flag is set; `end` when there is none.
/// Eight flags at a time: most are 0.
inline int next_flagged(const std::uint8_t* flags, int j, int end) {
  for (; end - j >= 8; j += 8) {
    std::uint64_t eight = 0;
    std::memcpy(&eight, flags + j, sizeof eight);
    if constexpr (std::endian::native == std::endian::big) eight = __builtin_bswap64(eight);
    if (eight != 0) return j + std::countr_zero(eight) / 8;
  }
  while (j < end && flags[j] == 0)
    ++j;
  return j;
}

/// Calls visit(i, j) for every interior pixel (i, j) of `tab` that holds a line and whose code
/// at its turn is in `set`, row by row, left to right; the outermost rows and columns are never
/// visited. `visit` may turn the pixel it is given into background: every pixel is coded
/// against what the visits before it left.
///
/// When the scan reaches a row, the row above has had all its visits, and the row below and the
/// pixels ahead have had none: a pixel's code at its turn is its code at the start of the row,
/// unless its west neighbour was removed just before its turn. So the row's neighbour counts are
/// worked out first, in a loop the compiler does many pixels at a time, and only the pixels
/// whose count a code of the set can have are coded, with the pixel after each removed one.
template <class Visit>
void for_each_pixel_coded_in(Raster tab, int nb_lig, int nb_col, const CodeSet& set, Visit visit) {
  if (nb_lig < 3 || nb_col < 3) return;  // no interior pixel: no row of flags to pay for
  const NeighbourRange range = neighbour_range(set);
  std::vector<std::uint8_t> flags(static_cast<std::size_t>(nb_col));
  const int end = nb_col - 1;
  for (int i = 1; i < nb_lig - 1; ++i) {
    const std::uint8_t* up = tab[i - 1];
    const std::uint8_t* row = tab[i];
    const std::uint8_t* down = tab[i + 1];
    flag_row(up, row, down, nb_col, range, flags.data());
    for (int j = next_flagged(flags.data(), 1, end); j < end;) {
      const bool coded_in = row[j] != background && set[ico(up, row, down, j)];
      if (coded_in) visit(i, j);
      // A removed pixel changes the code of the next one, whose turn comes now.
      j = coded_in && row[j] == background ? j + 1 : next_flagged(flags.data(), j + 1, end);
    }
  }
}

}  // namespace torvanelle
