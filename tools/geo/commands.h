// The two commands of torvanelle-geo: a GIS raster into the program's files, and the program's
// result back out as a GeoTIFF. Each throws Error on failure; warnings and progress go to `log`.
#pragma once

#include <filesystem>
#include <optional>
#include <ostream>

namespace geo {

struct ImportOptions {
  bool force = false;  ///< replace an existing DEST
};

/// Writes DEST.raw (the pixels of `source`, nodata pixels made 255), DEST.txt (the descriptor)
/// and DEST.hdr (the ENVI header that places DEST.raw on the map). Refused, with nothing written:
/// a source of more than one band or of pixels other than unsigned 8-bit, a DEST whose folder
/// does not exist, and an existing DEST.raw, DEST.txt or DEST.hdr unless options.force.
void import_raster(const std::filesystem::path& source, const std::filesystem::path& dest,
                   const ImportOptions& options, std::ostream& log);

struct ExportOptions {
  bool force = false;                                ///< replace an existing OUTPUT
  std::optional<std::filesystem::path> images_root;  ///< stands for C:\images\ in the trailer
};

/// Writes `output`, a GeoTIFF of STEM.raw (DEFLATE, tiled, nodata 255, the preview's colours),
/// georeferenced like the input image that STEM.txt names or else like STEM.raw's own sidecar;
/// writes STEM.hdr too when STEM.raw had none. Refused, with nothing written: a missing or
/// unreadable STEM.raw or STEM.txt, no georeference found, a missing folder for `output`, and an
/// existing `output` unless options.force.
void export_result(const std::filesystem::path& stem, const std::filesystem::path& output,
                   const ExportOptions& options, std::ostream& log);

}  // namespace geo
