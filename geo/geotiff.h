// The GeoTIFF that export and clean write (DEFLATE, tiled, nodata 255, the preview's colour
// table), and the descriptor values a source raster gives the program.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <ostream>

#include "geo/program_files.h"
#include "gis/gdal.h"
#include "gis/georef.h"

namespace geo {

/// The metadata items in which a GeoTIFF records the descriptor's lowest and highest altitude
/// (whole numbers); written by the export, read by the import.
inline constexpr const char* lowest_altitude_key = "LOWEST_ALTITUDE";
inline constexpr const char* highest_altitude_key = "HIGHEST_ALTITUDE";

/// The descriptor of the source `ds` placed by `g`: its size, type 1, the altitudes of its
/// metadata (else 0 and 255), the pixel width rounded (warnings on `log`).
Descriptor describe(GDALDataset& ds, const gis::Georef& g, std::ostream& log);

/// Fills `buffer` with `count` rows of the raster starting at row `first`, each row d.nb_col
/// bytes; throws gis::Error when it cannot.
using RowSource = std::function<void(int first, int count, std::uint8_t* buffer)>;

/// Writes the GeoTIFF `path` of d.nb_lig x d.nb_col pixels taken from `rows`, placed by `g` (the
/// parts it has), with nodata 255, one colour per contour number as the preview draws them, and
/// d.min_al and d.max_al as the metadata items that an import reads back; then checks that GDAL
/// reads it whole. Throws gis::Error naming `shown` when GDAL fails (write it in a Staging).
void write_geotiff(const std::filesystem::path& path, const Descriptor& d, const gis::Georef& g,
                   const RowSource& rows, const gis::Progress::Stage& progress,
                   gis::ErrorTrap& trap, const std::filesystem::path& shown);

}  // namespace geo
