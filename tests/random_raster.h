// Seeded random rasters for the differential tests: thick strokes, blobs, rings, touching lines
// of several numbers, lines on the borders, and the degenerate sizes.
#pragma once

#include <cstdint>

#include "model/literal_model.h"

namespace support {

/// The raster of case `seed`: the same seed always gives the same raster. Sizes run from 1×1 to
/// 64×64, with 1-, 2- and 3-wide rasters more common than chance would make them.
model::Grid random_raster(std::uint32_t seed);

}  // namespace support
