// The command line of torvanelle-vect, read without GDAL.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace torvanelle::vect::tool {

/// The synopsis and options, as --help prints them.
extern const char* const usage;

struct ToolOptions {
  std::string source;
  std::string output;
  std::string format;  ///< the OGR driver: --format, or the one the output's extension names
  std::string layer = "contours";
  std::optional<double> base;      ///< elevation of contour number 0
  std::optional<double> interval;  ///< elevation between two numbers
  int min_branch = 3;
  double simplify = 0;
  bool overwrite = false;
  bool quiet = false;  ///< no progress, whatever the raster's size
  bool help = false;   ///< print the usage and do nothing else
};

/// The options that the words (the program's name left out) give, or nothing, with `error`
/// saying what is wrong in one line.
std::optional<ToolOptions> parse_options(const std::vector<std::string>& words, std::string& error);

/// The OGR driver that a file name's extension stands for, in any case: .gpkg GPKG, .geojson and
/// .json GeoJSON, .shp ESRI Shapefile, .fgb FlatGeobuf; "" for any other extension.
std::string format_for(const std::string& path);

}  // namespace torvanelle::vect::tool
