// The command line of torvanelle-dem.
#pragma once

#include <optional>
#include <string>

#include <CLI/CLI.hpp>

namespace torvanelle::dem::tool {

/// The values a level may take, from the command line or the source's metadata alike.
struct Range {
  double low;
  double high;
  bool holds(double x) const { return x >= low && x <= high; }  // false for NaN
};
inline constexpr Range base_range{-1e9, 1e9};
/// Above zero: a higher number lies higher.
inline constexpr Range interval_range{1e-6, 1e6};

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
