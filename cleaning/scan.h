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

/// The line pixels among the eight pixels from column j of `row` that lie before column `end`:
/// the top bit of byte b of the result is set when pixel j + b holds a line (not the background).
inline std::uint64_t line_pixels(const std::uint8_t* row, int j, int end) {
  static_assert(background == 0xFF, "a line pixel is a byte that is not all ones");
  // Byte b is pixel j + b turned over: zero for the background only, and past the end.
  std::uint64_t lines = 0;
  if (end - j >= 8) {
    std::memcpy(&lines, row + j, sizeof lines);
    if constexpr (std::endian::native == std::endian::big) lines = __builtin_bswap64(lines);
    lines = ~lines;
  } else {
    for (int b = 0; b < end - j; ++b)
      lines |= std::uint64_t{static_cast<std::uint8_t>(~row[j + b])} << (8 * b);
  }
  // A byte's top bit ends up set when the byte is not zero: its low seven bits carry into the top
  // bit, or the top bit was set already.
  constexpr std::uint64_t low_seven = 0x7F7F'7F7F'7F7F'7F7FULL;
  return (((lines & low_seven) + low_seven) | lines) & ~low_seven;
}

/// Calls visit(i, j) for every interior pixel (i, j) of `tab` that holds a line and whose code
/// at its turn is in `set`, row by row, left to right; the outermost rows and columns are never
/// visited. `visit` may turn the pixel it is given into background: every pixel is coded
/// against what the visits before it left.
///
/// When the scan reaches a row, the row above has had all its visits, and the row below and the
/// pixels ahead have had none: only a pixel's west neighbour can change between the start of the
/// row and the pixel's turn. So every code but its west bit is worked out for the whole row first,
/// in a loop the compiler does many pixels at a time; a line pixel whose code cannot be in the set
/// with or without the west bit is passed over, and the others get their west bit at their turn.
template <class Visit>
void for_each_pixel_coded_in(Raster tab, int nb_lig, int nb_col, const CodeSet& set, Visit visit) {
  CodeSet maybe{};  // maybe[c]: some code whose bits but the west one are c is in the set
  for (std::size_t code = 0; code < set.size(); ++code)
    maybe[code & ~std::size_t{west}] = maybe[code & ~std::size_t{west}] || set[code];
  std::vector<std::uint8_t> but_west(static_cast<std::size_t>(std::max(nb_col, 0)));
  std::uint8_t* codes = but_west.data();
  for (int i = 1; i < nb_lig - 1; ++i) {
    const std::uint8_t* up = tab[i - 1];
    const std::uint8_t* row = tab[i];
    const std::uint8_t* down = tab[i + 1];
    for (int j = 1; j < nb_col - 1; ++j)
      codes[j] = ico_but_west(up, row, down, j);
    for (int first = 1; first < nb_col - 1; first += 8) {
      for (std::uint64_t lines = line_pixels(row, first, nb_col - 1); lines != 0;
           lines &= lines - 1) {
        const int j = first + std::countr_zero(lines) / 8;
        if (maybe[codes[j]] && set[codes[j] | ico_west(row, j)]) visit(i, j);
      }
    }
  }
}

}  // namespace torvanelle
