// Seeded random rasters for the differential tests.
#pragma once

#include <cstdint>

#include "devtools/model/literal_model.h"

namespace support {

/// The raster of case `seed`: the same seed always gives the same raster. Seeds cycle through
/// kinds of raster: bands of up to 255 numbers touching everywhere, contour lines of many
/// numbers, thick blobs needing dozens of scans, lines along all four borders, and mixed strokes,
/// blobs and rings of a few numbers. Sides run from 1 to 96 pixels, with 1-, 2- and 3-wide
/// rasters more common than chance would make them.
model::Grid random_raster(std::uint32_t seed);

}  // namespace support
