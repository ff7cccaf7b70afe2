// The one-point deburring: the second half of the cleaning, one scan that takes the end pixel
// off every open branch. No console and no file.
#pragma once

#include <cstdint>

#include "base/image.h"

namespace torvanelle {

/// Removes, in one row-major scan of the interior of tab_out (nb_lig x nb_col), every pixel
/// that has exactly one present neighbour of its own number at its turn: a pixel removed
/// earlier in the scan no longer counts, so a branch whose free end comes first in scan order
/// goes pixel after pixel. Returns how many pixels went.
std::int64_t deburring(Raster tab_out, std::int32_t nb_lig, std::int32_t nb_col);

}  // namespace torvanelle
