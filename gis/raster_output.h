// A raster output in the format its name or --format asks for: written through the driver's
// Create where it has one (a GeoTIFF tiled and compressed), else built in memory and copied
// into the file, as GDAL's CreateCopy-only formats (PNG, ASCII grid) need; then read back and
// compared with what was written, pixel for pixel and in georeference, so that a format that
// loses either (JPEG's compression, a PNG without its place) fails the command.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include <cpl_string.h>

#include "cli/cli.h"
#include "gis/gdal.h"
#include "gis/georef.h"

namespace torvanelle::gis {

class RasterOutput {
 public:
  /// Creates the raster `path` of `cols` x `rows` pixels of `type` in `driver`'s format;
  /// `gtiff_options` apply when it is a GeoTIFF. Throws Error naming `shown` when it cannot.
  RasterOutput(GDALDriver& driver, const std::filesystem::path& path, int cols, int rows,
               GDALDataType type, const CPLStringList& gtiff_options, ErrorTrap& trap,
               const std::filesystem::path& shown);
  /// The same, with `options` for the driver, and read back by the GDAL name `read_back`
  /// (a table of a GeoPackage: "GPKG:file:table").
  RasterOutput(GDALDriver& driver, const std::filesystem::path& path, int cols, int rows,
               GDALDataType type, const CPLStringList& options, const std::string& read_back,
               ErrorTrap& trap, const std::filesystem::path& shown);
  ~RasterOutput();
  RasterOutput(const RasterOutput&) = delete;
  RasterOutput& operator=(const RasterOutput&) = delete;

  /// The dataset to describe (georeference, nodata, colours, metadata) before writing pixels.
  GDALDataset& dataset() { return *ds_; }

  /// Writes `count` rows from row `first` (`buffer` holds count x cols pixels of the type).
  void write(int first, int count, const void* buffer);

  /// Writes what is left, closes the file and reads it back: its size, georeference `g` and
  /// every pixel must be what was written. Throws Error naming the output otherwise.
  void finish(const Georef& g);

 private:
  GDALDriver& driver_;
  std::filesystem::path path_, shown_;
  std::string read_back_;
  GDALDataType type_;
  ErrorTrap& trap_;
  GDALDatasetUniquePtr ds_;
  bool copied_;               ///< built in memory, copied into the file at finish
  std::uint64_t digest_ = 0;  ///< of the pixels written, row by row
};

/// Declares `output` a raster output of `command` in the format `format` names, else its
/// extension, and creates it: cols x rows pixels of `type`. Into an existing GeoPackage the
/// raster goes as the table named like the file's stem, every other table kept; an existing
/// table of that name is replaced only with --overwrite.
std::unique_ptr<RasterOutput> create_raster_output(torvanelle::cli::Command& command,
                                                   const std::filesystem::path& output,
                                                   const std::string& format, int cols, int rows,
                                                   GDALDataType type,
                                                   const CPLStringList& gtiff_options,
                                                   ErrorTrap& trap);

}  // namespace torvanelle::gis
