// The elevation levels of contour numbers, as torvanelle-vect and torvanelle-dem take them:
// --base B and --interval I, both or neither, number n lying at B + n x I; torvanelle-dem also
// reads them from its source's metadata items BASE and INTERVAL.
#pragma once

#include <filesystem>
#include <optional>

#include <CLI/CLI.hpp>

#include "cli/levels.h"
#include "gis/gdal.h"

namespace torvanelle::gis {

/// The values a level may take, from the command line or the source's metadata alike.
using cli::base_range;
using cli::interval_range;
using cli::Range;

/// Declares --base and --interval on `app`, each needing the other, read into `base` and
/// `interval`. `from_metadata`: their help says that the source's metadata items stand in.
void declare_levels(CLI::App& app, std::optional<double>& base, std::optional<double>& interval,
                    bool from_metadata);

struct Levels {
  double base = 0;
  double interval = 1;
};

/// The levels of `source` from its metadata items (of the dataset, else of its band). Throws
/// Error naming `shown` when either is missing, and the item and its accepted range too when it
/// is not a number within what the command line accepts.
Levels levels_of(GDALDataset& source, const std::filesystem::path& shown);

}  // namespace torvanelle::gis
