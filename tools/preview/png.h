// A PNG writer for indexed images: the chunks laid out here, the image data compressed and the
// chunks checksummed by zlib.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace torvanelle::png {

struct Rgb {
  std::uint8_t r, g, b;
};

/// The bytes of a PNG file holding a `width` × `height` image of 8-bit palette indices,
/// row-major in `pixels`. Contract: width, height ≥ 1; pixels.size() == width × height;
/// 1 ≤ palette.size() ≤ 256 and every index < palette.size(). Empty when zlib fails (memory).
std::vector<std::uint8_t> encode_indexed(int width, int height,
                                         std::span<const std::uint8_t> pixels,
                                         std::span<const Rgb> palette);

}  // namespace torvanelle::png
