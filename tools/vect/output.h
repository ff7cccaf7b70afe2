// The vector file that torvanelle-vect writes, through OGR.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "gis/gdal.h"
#include "tools/vect/options.h"
#include "tools/vect/source.h"
#include "vector/lines.h"

namespace torvanelle::vect::tool {

/// Refuses (gis::Error) a format that is not an OGR driver able to create vector files of line
/// geometry (GeoTIFF, CSV, ...). Needs GDAL's drivers registered.
void check_format(const std::string& format);

/// Whether the output is an existing file of a format of many layers (GeoPackage, SQLite),
/// into which the lines go as one layer, every other layer kept.
bool is_container(const ToolOptions& o);

/// Writes `lines` to a new vector dataset at `path`, or as the layer o.layer of the copy of a
/// container there (an earlier layer of that name replaced only with `overwrite`), in the options'
/// format: one layer of LineString features, each with `number` and, given a base and interval,
/// `elevation`; the vertices are pixel centres placed by the source's georeference, the layer takes
/// its CRS. Throws gis::Error naming the output on failure; returns how many features it wrote.
long long write_lines(const std::filesystem::path& path, const ToolOptions& o, bool overwrite,
                      const Source& source, const std::vector<Line>& lines,
                      const gis::ProgressBar::Stage& progress, gis::ErrorTrap& trap);

}  // namespace torvanelle::vect::tool
