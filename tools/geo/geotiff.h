// The raster that export and clean write (DEFLATE, tiled, nodata 255, the preview's colour
// table), and the descriptor values a source raster gives the program.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <ostream>

#include "cli/cli.h"
#include "gis/gdal.h"
#include "gis/georef.h"
#include "gis/raster_output.h"
#include "tools/geo/program_files.h"

namespace torvanelle::geo {

/// The descriptor of the source `ds` placed by `g`: its size, type 1, the altitudes of its
/// metadata (else 0 and 255), the pixel width rounded (warnings on `log`).
Descriptor describe(GDALDataset& ds, const gis::Georef& g, std::ostream& log);

/// Fills `buffer` with `count` rows of the raster starting at row `first`, each row d.nb_col
/// bytes; throws gis::Error when it cannot.
using RowSource = std::function<void(int first, int count, std::uint8_t* buffer)>;

/// Declares `output` an output of `command` and creates it, in the format `format` names or else
/// its extension (a GeoTIFF: DEFLATE, tiled): d.nb_lig x d.nb_col pixels placed by `g` (the
/// parts it has), with nodata 255, one colour per contour number as the preview draws them, and
/// d.min_al and d.max_al as the metadata items that an import reads back. Throws gis::Error
/// naming `output` when it is refused or GDAL fails.
std::unique_ptr<gis::RasterOutput> create_contour_raster(torvanelle::cli::Command& command,
                                                         const std::filesystem::path& output,
                                                         const std::string& format,
                                                         const Descriptor& d, const gis::Georef& g,
                                                         gis::ErrorTrap& trap);

/// Writes the pixels `rows` gives into `out`, then checks that GDAL reads it back whole and the
/// same, placed by `g`.
void write_contour_raster(gis::RasterOutput& out, const Descriptor& d, const gis::Georef& g,
                          const RowSource& rows, const gis::ProgressBar::Stage& progress);

}  // namespace torvanelle::geo
