// The GeoTIFF the export writes: DEFLATE, tiled, nodata 255, the preview's colour table.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>

#include "tools/geo/gdal_support.h"
#include "tools/geo/georef.h"
#include "tools/geo/program_files.h"

namespace geo {

/// The metadata items in which a GeoTIFF records the descriptor's lowest and highest altitude
/// (whole numbers); written by the export, read by the import.
inline constexpr const char* lowest_altitude_key = "LOWEST_ALTITUDE";
inline constexpr const char* highest_altitude_key = "HIGHEST_ALTITUDE";

/// Fills `buffer` with `count` rows of the raster starting at row `first`, each row d.nb_col
/// bytes; throws Error when it cannot.
using RowSource = std::function<void(int first, int count, std::uint8_t* buffer)>;

/// Writes the GeoTIFF `path` of d.nb_lig x d.nb_col pixels taken from `rows`, placed by `g`, with
/// nodata 255, one colour per contour number as the preview draws them, and d.min_al and
/// d.max_al as the metadata items that an import reads back. Throws Error when GDAL fails
/// (the file is then incomplete: write it in a Staging folder).
void write_geotiff(const std::filesystem::path& path, const Descriptor& d, const Georef& g,
                   const RowSource& rows, Progress& progress, ErrorTrap& trap);

/// How many rows of `cols` pixels make one chunk of a copy: about 4 MiB, at least one row.
int chunk_rows(int cols);

}  // namespace geo
