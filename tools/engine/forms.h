// The files torvanelle-engine reads and writes: simple and uncompressed, for a program that holds
// the user's layers itself (the QGIS plugin) to write and read without GDAL.
//
// A raster is one file: a line of text, then its pixels row after row, top row first, and
// nothing after them.
//
//   TVRASTER 1 COLS ROWS u8\n    then ROWS x COLS bytes: 0 to 254 a contour number, 255 none
//   TVRASTER 1 COLS ROWS f32\n   then ROWS x COLS little-endian IEEE 754 32-bit floats, NaN none
//
// The header's fields are separated by one space; 1 is the form's version; COLS and ROWS are
// whole numbers from 1, in decimal. A contour raster is u8, an elevation model f32.
//
// Lines are text: a header line, then one line per feature.
//
//   TVLINES 1 COUNT\n
//   NUMBER BRIDGED X1 Y1 X2 Y2 ...\n     COUNT times
//
// NUMBER is the contour number (0 to 254), BRIDGED how many bridges across gaps joined the line
// (0 without --bridge), then two vertices or more in pixel coordinates: x = column + 0.5,
// y = row + 0.5, the raster's top left corner at 0 0, y growing downwards. Each coordinate is
// written in the shortest decimal form that reads back to the same double.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "base/contour_image.h"
#include "dem/dem.h"
#include "vector/lines.h"

namespace torvanelle::engine {

/// A contour raster read from `file` (u8). Throws cli::Error naming `shown` when the file cannot
/// be read, does not begin with the TVRASTER header, holds another type or size of pixels than
/// its header says, or ends early.
Image read_raster(const std::filesystem::path& file, const std::string& shown);

/// Writes `image` to `file` as a u8 raster; throws cli::Error naming `shown` when it cannot.
void write_raster(const std::filesystem::path& file, const Image& image, const std::string& shown);

/// An elevation model read from `file` (f32), its range found again; refusals as read_raster.
dem::Model read_model(const std::filesystem::path& file, const std::string& shown);

/// Writes `model` to `file` as an f32 raster; throws cli::Error naming `shown` when it cannot.
void write_model(const std::filesystem::path& file, const dem::Model& model,
                 const std::string& shown);

/// One line as the lines' form holds it.
struct Feature {
  int number = 0;
  int bridged = 0;
  std::vector<double> xy;  ///< x1 y1 x2 y2 ...

  friend bool operator==(const Feature&, const Feature&) = default;
};

/// The vectoriser's lines as features, their vertices at the pixels' centres.
std::vector<Feature> features_of(const std::vector<vect::Line>& lines);

/// Writes `features` to `file`; throws cli::Error naming `shown` when it cannot.
void write_lines(const std::filesystem::path& file, const std::vector<Feature>& features,
                 const std::string& shown);

/// The features read from `file`. Throws cli::Error naming `shown` (and the line of the file)
/// when it cannot be read, lacks the TVLINES header, holds fewer or more features than the
/// header says, or a feature that is not a number, a count and two vertices or more.
std::vector<Feature> read_lines(const std::filesystem::path& file, const std::string& shown);

}  // namespace torvanelle::engine
