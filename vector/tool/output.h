// The vector file that torvanelle-vect writes, through OGR.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "gis/gdal.h"
#include "vector/lines.h"
#include "vector/tool/options.h"
#include "vector/tool/source.h"

namespace torvanelle::vect::tool {

/// Refuses (gis::Error) a format that is not an OGR driver able to create vector files of line
/// geometry (GeoTIFF, CSV, ...). Needs GDAL's drivers registered.
void check_format(const std::string& format);

/// Writes `lines` to a new vector dataset at `path` in the options' format: one layer of
/// LineString features, each with `number` and, given a base and interval, `elevation`; the
/// vertices are pixel centres placed by the source's georeference, the layer takes its CRS.
/// Throws gis::Error naming the output on failure; returns how many features it wrote.
long long write_lines(const std::filesystem::path& path, const ToolOptions& o, const Source& source,
                      const std::vector<Line>& lines, const gis::Progress::Stage& progress,
                      gis::ErrorTrap& trap);

}  // namespace torvanelle::vect::tool
