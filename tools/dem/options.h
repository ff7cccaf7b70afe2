// The command line of torvanelle-dem.
#pragma once

#include <optional>
#include <string>

#include <CLI/CLI.hpp>

namespace torvanelle::dem::tool {

struct ToolOptions {
  std::string source;
  std::string output;
  std::string format;          ///< the GDAL raster format of the output; empty: from its extension
  std::optional<double> base;  ///< elevation of contour number 0
  std::optional<double> interval;  ///< elevation between two numbers, positive
  bool overwrite = false;
  bool quiet = false;  ///< no progress
};

/// Declares the tool's operands and options on `app`, to be read into `o`.
void declare(CLI::App& app, ToolOptions& o);

}  // namespace torvanelle::dem::tool
