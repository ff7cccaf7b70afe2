// A contour-number raster as the tools read it through GDAL: one band of unsigned 8-bit pixels,
// 0 to 254 a contour number, 255 (or the band's nodata value) no line.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <ostream>

#include "cli/background.h"
#include "gis/datasets.h"
#include "gis/gdal.h"
#include "gis/georef.h"

namespace torvanelle::gis {

class ContourRaster {
 public:
  /// Opens `path` (any name GDAL opens) and adds its files to `sources`. Refuses (Error naming it)
  /// a raster of several bands and pixels other than unsigned 8-bit (signed 8-bit too). Warns on
  /// `log` about a 1-bit raster, whose two values are not contour numbers.
  ContourRaster(const std::string& path, ErrorTrap& trap, std::ostream& log,
                torvanelle::cli::Sources& sources);

  /// The name it was opened by.
  const std::filesystem::path& name() const { return path_; }
  int lines() const { return ds_->GetRasterYSize(); }
  int cols() const { return ds_->GetRasterXSize(); }
  GDALDataset& dataset() { return *ds_; }
  Georef georef() const { return read_georef(*ds_); }

  /// Reads `count` rows from row `first` into `buffer` (count x cols() bytes), the nodata
  /// value's pixels made 255. `progress` is told how far the read is. Throws Error naming the
  /// source when GDAL cannot read them.
  void read(int first, int count, std::uint8_t* buffer,
            const ProgressBar::Stage* progress = nullptr);

  /// Reads every row into `buffer` (lines() x cols() bytes) as read() does, then refuses (Error
  /// naming the source) pixels that hold no contour line at all: the output would be empty or
  /// nodata everywhere, which a wrong band or nodata value gives as readily as a blank sheet.
  /// Judges the background as judge_background() does.
  void read_all(std::uint8_t* buffer, const ProgressBar::Stage& progress, std::ostream& log);

  /// Reads the rows in chunks of chunk_rows(cols()) from the first, as read() does, and hands
  /// each to `take` (`count` rows from row `first`, row after row). `progress` is told each
  /// chunk taken.
  void read_chunks(const std::function<void(int first, int count, const std::uint8_t* rows)>& take,
                   const ProgressBar::Stage& progress);

  /// Once every row was read: refuses (Error naming the source) a raster where one contour
  /// number covers most pixels, as a background burned as a line does; warns on `log` when
  /// nothing marked the background (no nodata value, no pixel of 255), so every pixel was taken
  /// for a line. Both messages say how to make the raster right.
  void judge_background(std::ostream& log) const;

 private:
  std::filesystem::path path_;
  ErrorTrap& trap_;
  GDALDatasetUniquePtr ds_;
  std::optional<std::uint8_t> nodata_;
  torvanelle::cli::Background background_;
};

/// How many rows of `cols` pixels make one chunk of a copy: about 4 MiB, at least one row.
int chunk_rows(int cols);

}  // namespace torvanelle::gis
