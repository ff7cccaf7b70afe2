// A small PNG writer for indexed images, with its own deflate: no image or compression library.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace png {

struct Rgb {
  std::uint8_t r, g, b;
};

/// The bytes of a PNG file holding a `width` × `height` image of 8-bit palette indices,
/// row-major in `pixels`. Contract: width, height ≥ 1; pixels.size() == width × height;
/// 1 ≤ palette.size() ≤ 256 and every index < palette.size().
std::vector<std::uint8_t> encode_indexed(int width, int height,
                                         std::span<const std::uint8_t> pixels,
                                         std::span<const Rgb> palette);

/// A zlib stream (RFC 1950) of one fixed-Huffman deflate block (RFC 1951). It looks for repeats
/// one byte back and `period` bytes back only, which suits images of `period`-byte rows.
std::vector<std::uint8_t> zlib_compress(std::span<const std::uint8_t> data, std::size_t period);

/// The CRC-32 of PNG chunks and the Adler-32 of zlib streams.
std::uint32_t crc32(std::span<const std::uint8_t> data);
std::uint32_t adler32(std::span<const std::uint8_t> data);

}  // namespace png
