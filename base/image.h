// What every layer of the program shares: the raster, the value that means "no line", and the six
// values of an image descriptor. Nothing here does anything; everything may include it.
#pragma once

#include <cstdint>

namespace torvanelle {

/// A raster: nb_lig row pointers, each row nb_col pixels, row 0 at the top (as ucmatrice makes
/// them); null when nb_lig is 0. A pixel holds a contour line number, 0 to 254, or `background`.
using Raster = std::uint8_t**;

/// The pixel value that means "no contour line here".
inline constexpr std::uint8_t background = 255;

/// The six values of an image descriptor, in file order. Only nb_lig and nb_col steer the work;
/// the other four are carried from the input descriptor to the output descriptor unchanged.
struct Descriptor {
  std::int32_t nb_lig = 0;      ///< lines (rows)
  std::int32_t nb_col = 0;      ///< columns
  std::int32_t type = 0;        ///< carried through
  std::int32_t min_al = 0;      ///< lowest altitude, carried through
  std::int32_t max_al = 0;      ///< highest altitude, carried through
  std::int32_t taille_pix = 0;  ///< pixel size, carried through
};

}  // namespace torvanelle
