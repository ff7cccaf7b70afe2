// Where a raster lies on the map, carried from one file to another, and the ENVI header that
// places the program's headless raw rasters.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <ostream>

#include <gdal_priv.h>
#include <ogr_spatialref.h>

#include "gis/gdal.h"

namespace torvanelle::gis {

/// A raster's georeference as GDAL gives it: the affine transform from (column, line) to map
/// coordinates and the coordinate reference system.
struct Georef {
  std::array<double, 6> transform{0, 1, 0, 0, 0, 1};
  bool has_transform = false;
  std::optional<OGRSpatialReference> crs;  ///< absent when the raster names none
};

/// The georeference of `ds` (has_transform false when it has none).
Georef read_georef(GDALDataset& ds);

/// A raster's size and georeference, as read from a file.
struct PlacedRaster {
  int lines = 0;
  int cols = 0;
  Georef georef;
};

/// The size and georeference of the raster GDAL opens at `path` (read-only, its messages kept
/// quiet); nothing when GDAL opens no raster there.
std::optional<PlacedRaster> read_placed(const std::filesystem::path& path);

/// Gives `ds` the georeference `g` (the parts it has). Returns false when the driver refuses.
bool apply_georef(GDALDataset& ds, const Georef& g);

/// Whether a and b place a raster at the same place: the same coordinate system and a transform
/// whose terms differ by at most `tolerance` of their size (at least 1); 0 asks for equal terms.
bool same_place(const Georef& a, const Georef& b, double tolerance = 0);

/// The descriptor's pixel size for `g`: the pixel width in the CRS's units, rounded to a whole
/// number. Writes a warning to `log` when the pixels are not square, when the width is not whole,
/// and when there is no georeference (the size is then 1). Throws Error when the rounded width
/// does not fit the descriptor's 32-bit field.
std::int32_t pixel_size(const Georef& g, std::ostream& log);

/// Creates the headless raster `raw` (lines x cols bytes, row by row, nothing else in the file:
/// the program's raster format) with its ENVI header beside it, named like `raw` with ".hdr" for
/// ".raw", which GDAL writes when the dataset closes: georeference `g`, nodata 255. With that
/// header GDAL opens `raw` itself, at its place on the map. Pixels never written read as 0 and
/// take no room on most file systems (sparse). The header's description is `raw`'s file name, so
/// that a raster created in a Staging folder does not record that folder. Throws Error when GDAL
/// cannot create it.
GDALDatasetUniquePtr create_envi(const std::filesystem::path& raw, int lines, int cols,
                                 const Georef& g, ErrorTrap& trap);

}  // namespace torvanelle::gis
