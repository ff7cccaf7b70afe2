// Helpers of the vectoriser's tests: pictures, seeded random contour rasters, and a literal model
// of the thinning that the engine is compared with.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "vector/lines.h"

namespace vtest {

using torvanelle::Image;
using torvanelle::vect::Line;
using torvanelle::vect::Pixel;

/// A picture row per raster row: '.' no line, '0'..'9' the numbers 0..9, '#' the number 254.
using Picture = std::vector<std::string>;
Image image(const Picture& picture);
Picture picture(const Image& image);

/// The raster of case `seed`, 1 to 20 pixels a side: noise, thick strokes, rings or discs of one
/// to three numbers drawn over one another, so that numbers touch and pieces hold holes.
Image random_image(std::uint32_t seed);

/// The thinning as its comments describe it, one number at a time with full scans, and a pixel
/// simple when taking it away changes neither how many 8-connected pieces its number has nor
/// how many 4-connected pieces the rest of the raster and the outside make.
Image literal_thinning(const Image& in);

/// The 8-connected pieces of number k, and the 4-connected pieces of everything else, the
/// outside of the raster included.
int pieces(const Image& image, std::uint8_t k);
int gaps(const Image& image, std::uint8_t k);

/// The pixels of a line as "(row,col) (row,col) ...", for readable failures.
std::string describe(const Line& line);

}  // namespace vtest
