// The elevation levels of contour numbers as the command line takes them: --base B and
// --interval I, both or neither, number n lying at B + n x I. No GDAL: the programs that read
// them from a source's metadata do so in gis/levels.h, within the same ranges.
#pragma once

#include <optional>
#include <ostream>
#include <string>

#include <CLI/CLI.hpp>

namespace torvanelle::cli {

/// The values a level may take, from the command line or a source's metadata alike.
struct Range {
  double low;
  double high;
  bool holds(double x) const { return x >= low && x <= high; }  // false for NaN
};
inline constexpr Range base_range{-1e9, 1e9};
/// Above zero: a higher number lies higher.
inline constexpr Range interval_range{1e-6, 1e6};

/// Declares --base and --interval on `app`, each needing the other, read into `base` and
/// `interval`. Given the names of metadata items, their help says that the source's items of
/// those names stand in.
void declare_levels(CLI::App& app, std::optional<double>& base, std::optional<double>& interval,
                    const char* base_item = nullptr, const char* interval_item = nullptr);

/// The vectoriser's options as torvanelle-vect and torvanelle-engine take them.
struct LineOptions {
  int min_branch = 3;
  double simplify = 0;
  double bridge = 0;              ///< join free ends at most this many pixels apart; 0: none
  double min_length = 2;          ///< leave out lines shorter than this many pixels
  bool straight_bridges = false;  ///< bridges straight rather than along the ground
};

/// Declares --min-branch, --simplify, --bridge, --straight-bridges and --min-length on `app`,
/// read into `o`.
void declare_line_options(CLI::App& app, LineOptions& o);

/// Says on `err`, after "PROGRAM: ", how many lines were left out as shorter than --min-length
/// (when any) and how many bridges were made (when bridging).
void say_line_counts(std::ostream& err, const std::string& program, const LineOptions& o,
                     long long left_out, long long bridges);

}  // namespace torvanelle::cli
