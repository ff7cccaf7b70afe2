// The command line of torvanelle-vect.
#pragma once

#include <optional>
#include <string>

#include <CLI/CLI.hpp>

#include "cli/levels.h"

namespace torvanelle::vect::tool {

/// The vectoriser's options (cli::LineOptions) and the file's.
struct ToolOptions : cli::LineOptions {
  std::string source;
  std::string output;
  std::string format;  ///< the OGR driver: --format, or the one the output's extension names
  std::string layer = "contours";
  std::optional<double> base;      ///< elevation of contour number 0
  std::optional<double> interval;  ///< elevation between two numbers, positive
  bool overwrite = false;
  bool quiet = false;  ///< no progress
};

/// Declares the tool's operands and options on `app`, to be read into `o`.
void declare(CLI::App& app, ToolOptions& o);

/// The checks that need every word read, and the format from the output's extension when
/// --format was not given: "" when the options hold, else what is wrong, in one line.
std::string complete(ToolOptions& o);

/// The OGR driver that a file name's extension stands for, in any case: .gpkg GPKG, .geojson and
/// .json GeoJSON, .shp ESRI Shapefile, .fgb FlatGeobuf; "" for any other extension.
std::string format_for(const std::string& path);

}  // namespace torvanelle::vect::tool
