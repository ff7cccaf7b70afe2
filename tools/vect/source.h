// The contour-number raster that torvanelle-vect reads, through the tools' shared reading.
#pragma once

#include <filesystem>
#include <ostream>

#include "gis/contour_raster.h"
#include "gis/gdal.h"
#include "gis/georef.h"
#include "vector/lines.h"

namespace torvanelle::vect::tool {

struct Source {
  Image image;
  /// Where the pixels lie: without a georeference, pixel units (the identity transform).
  gis::Georef georef;
};

/// Reads `raster` whole, nodata pixels made no_line. Throws gis::Error naming it when it cannot
/// be read or holds no line; warnings go to `log`.
Source read_source(gis::ContourRaster& raster, const gis::ProgressBar::Stage& progress,
                   std::ostream& log);

}  // namespace torvanelle::vect::tool
