// What torvanelle-dem checks and reads besides the pixels, and the GeoTIFF it writes.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "cli/cli.h"
#include "dem/dem.h"
#include "gis/gdal.h"
#include "gis/georef.h"
#include "gis/raster_output.h"

namespace torvanelle::dem::tool {

/// Declares `output` an output of `command` and creates it: cols x rows Float32 pixels in the
/// format `format` names, else its extension (a GeoTIFF: DEFLATE with the floating-point
/// predictor, tiled).
std::unique_ptr<gis::RasterOutput> create_model_output(cli::Command& command,
                                                       const std::filesystem::path& output,
                                                       const std::string& format, int cols,
                                                       int rows, gis::ErrorTrap& trap);

/// Writes `model` into `out` (nodata NaN), placed by `g` (the parts it has), its range as
/// gis::items::elevation_min and elevation_max; then checks that GDAL reads it back whole and the
/// same. Throws gis::Error naming `shown` when GDAL fails.
void write_model(gis::RasterOutput& out, const Model& model, const gis::Georef& g,
                 const gis::ProgressBar::Stage& progress, gis::ErrorTrap& trap,
                 const std::filesystem::path& shown);

}  // namespace torvanelle::dem::tool
