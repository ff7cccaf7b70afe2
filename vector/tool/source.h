// The contour-number raster that torvanelle-vect reads, through GDAL.
#pragma once

#include <array>
#include <memory>
#include <optional>
#include <string>

#include "vector/lines.h"
#include "vector/tool/progress.h"

class OGRSpatialReference;

namespace torvanelle::vect::tool {

struct Source {
  Image image;
  /// GDAL's geotransform: the map position of pixel corner (column c, row r) is
  /// (t[0] + c t[1] + r t[2], t[3] + c t[4] + r t[5]). Without a georeference, pixel units.
  std::array<double, 6> transform{0, 1, 0, 0, 0, 1};
  std::shared_ptr<OGRSpatialReference> crs;  ///< null without one
};

/// Reads the raster at `path`: one band of 8-bit pixels, those equal to the band's nodata value
/// made no_line. Returns nothing, with `error` saying why in one line, when it cannot be opened
/// or is not such a raster. Needs GDAL's drivers registered.
std::optional<Source> read_source(const std::string& path, std::string& error, Progress& progress);

}  // namespace torvanelle::vect::tool
