// The contour-number raster that torvanelle-vect reads, through the tools' shared reading.
#pragma once

#include <filesystem>
#include <ostream>

#include "gis/gdal.h"
#include "gis/georef.h"
#include "vector/lines.h"

namespace torvanelle::vect::tool {

struct Source {
  Image image;
  /// Where the pixels lie: without a georeference, pixel units (the identity transform).
  gis::Georef georef;
};

/// Reads the raster at `path` whole, nodata pixels made no_line. Throws gis::Error naming it
/// when it cannot be opened, is not a contour raster or holds no line; warnings go to `log`.
Source read_source(const std::filesystem::path& path, const gis::Progress::Stage& progress,
                   gis::ErrorTrap& trap, std::ostream& log);

}  // namespace torvanelle::vect::tool
