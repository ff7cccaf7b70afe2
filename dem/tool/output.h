// What torvanelle-dem checks and reads besides the pixels, and the GeoTIFF it writes.
#pragma once

#include <filesystem>

#include "dem/dem.h"
#include "gis/gdal.h"
#include "gis/georef.h"
#include "vector/lines.h"

namespace torvanelle::dem::tool {

/// The metadata items, of the dataset or else of its band, that give a source's base and
/// interval when the command line does not.
inline constexpr const char* base_key = "BASE";
inline constexpr const char* interval_key = "INTERVAL";

/// The metadata items in which the output records its elevation range.
inline constexpr const char* lowest_key = "ELEVATION_MIN";
inline constexpr const char* highest_key = "ELEVATION_MAX";

/// The levels of `source`: base and interval from its metadata items. Throws gis::Error naming
/// `shown` when either is missing, and the item and its accepted range too when it is not a
/// number within what the command line accepts (base_range, interval_range).
Levels levels_of(GDALDataset& source, const std::filesystem::path& shown);

/// Refuses (gis::Error naming `shown`) a source whose pixels hold no contour line at all.
void check_lines(const vect::Image& contours, const std::filesystem::path& shown);

/// Writes `model` as the GeoTIFF `path` (Float32, DEFLATE, tiled, nodata NaN), placed by `g`
/// (the parts it has), its range as `lowest_key` and `highest_key`; then checks that GDAL reads
/// it whole. Throws gis::Error naming `shown` when GDAL fails (write it in a Staging), and
/// before creating anything when the model holds an infinite elevation.
void write_model(const std::filesystem::path& path, const Model& model, const gis::Georef& g,
                 const gis::Progress::Stage& progress, gis::ErrorTrap& trap,
                 const std::filesystem::path& shown);

}  // namespace torvanelle::dem::tool
