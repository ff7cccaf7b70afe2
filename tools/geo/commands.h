// The three commands of torvanelle-geo: a GIS raster into the program's files (import), the
// program's result back out as a GeoTIFF (export), and both with the program's cleaning between
// them, in one step (clean). Each adds what it reads to `command`'s sources and writes its
// outputs where `command`'s outputs say, which the runner puts in place once it returns; each
// throws gis::Error on failure. Warnings go to `log`, progress to `progress`.
#pragma once

#include <filesystem>
#include <optional>
#include <ostream>

#include "cli/cli.h"
#include "gis/gdal.h"

namespace torvanelle::geo {

/// Writes DEST.raw (the pixels of `source`, nodata pixels made 255), DEST.txt (the descriptor)
/// and DEST.hdr (the ENVI header that places DEST.raw on the map). Refused, with nothing written:
/// a source that is not a contour raster, a DEST whose folder does not exist, a DEST file that
/// is the source, and an existing DEST.raw, DEST.txt or DEST.hdr unless --overwrite.
void import_raster(torvanelle::cli::Command& command, const std::string& source,
                   const std::filesystem::path& dest, const gis::ProgressBar& progress,
                   std::ostream& log);

struct ExportOptions {
  std::string format;  ///< the GDAL raster format of OUTPUT; empty: from its extension
  std::optional<std::filesystem::path> images_root;  ///< stands for C:\images\ in the trailer
};

/// Writes `output`, a GeoTIFF of STEM.raw (DEFLATE, tiled, nodata 255, the preview's colours),
/// placed like the input image that STEM.txt names (looked for beside STEM first, then under
/// the images root), else like STEM.raw's own sidecar, else nowhere (with a warning); says on
/// `log` which file placed it. Writes STEM.hdr too, so that GDAL opens STEM.raw at its place,
/// unless it already says that place; one that says another is replaced only with
/// --overwrite. Refused, with nothing written: a missing or unreadable STEM.raw or
/// STEM.txt, an input image name that is not a regular file, a missing folder for `output`, an
/// output that is STEM's own file, and an existing `output` unless --overwrite.
void export_result(torvanelle::cli::Command& command, const std::filesystem::path& stem,
                   const std::filesystem::path& output, const ExportOptions& options,
                   const gis::ProgressBar& progress, std::ostream& log);

struct CleanOptions {
  std::string format;     ///< the GDAL raster format of OUTPUT; empty: from its extension
  bool deburring = true;  ///< remove one-point spurs after the thinning
  /// Where the thinning report goes: a file, "-" for `log`, or nowhere.
  std::optional<std::filesystem::path> report;
};

/// Writes `output`, the GeoTIFF that import, the program (with the same deburring answer) and
/// export give for `source`, pixel for pixel and in georeference, in one process: the source
/// read, thinned and deburred by the program's own engine, written as export writes. Refused as
/// the import and export refuse.
void clean_raster(torvanelle::cli::Command& command, const std::string& source,
                  const std::filesystem::path& output, const CleanOptions& options,
                  const gis::ProgressBar& progress, std::ostream& log);

}  // namespace torvanelle::geo
