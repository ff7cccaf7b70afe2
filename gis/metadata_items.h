// The metadata items the tools write into their rasters and read from their sources. The names
// are fixed: files in the field carry them.
#pragma once

#include <gdal_priv.h>

namespace torvanelle::gis::items {

/// The descriptor's lowest altitude, a whole number: written by torvanelle-geo export and clean,
/// read back (of the dataset, else of its band) by torvanelle-geo import and clean.
inline constexpr const char* lowest_altitude = "LOWEST_ALTITUDE";
/// The descriptor's highest altitude, a whole number: written and read as lowest_altitude.
inline constexpr const char* highest_altitude = "HIGHEST_ALTITUDE";

/// The elevation of contour number 0: read by torvanelle-dem (of the dataset, else of its band)
/// when the command line gives no --base; the user or another program writes it.
inline constexpr const char* base = "BASE";
/// The elevation between two contour numbers: read by torvanelle-dem as base, with it.
inline constexpr const char* interval = "INTERVAL";

/// The lowest elevation of a model: written by torvanelle-dem, for the user's GIS to read.
inline constexpr const char* elevation_min = "ELEVATION_MIN";
/// The highest elevation of a model: written by torvanelle-dem, for the user's GIS to read.
inline constexpr const char* elevation_max = "ELEVATION_MAX";

/// The text of item `key` of `ds`, else of its first band, as the tools read every item above;
/// null when neither has it.
inline const char* text_of(GDALDataset& ds, const char* key) {
  const char* text = ds.GetMetadataItem(key);
  return text != nullptr ? text : ds.GetRasterBand(1)->GetMetadataItem(key);
}

}  // namespace torvanelle::gis::items
