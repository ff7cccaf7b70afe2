#include "tools/preview/png.h"

#include <zlib.h>

#include <string_view>

namespace torvanelle::png {
namespace {

void put_u32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  out.insert(out.end(), {static_cast<std::uint8_t>(v >> 24), static_cast<std::uint8_t>(v >> 16),
                         static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v)});
}

/// A chunk: its length, its type and data, and the CRC-32 of type and data.
void chunk(std::vector<std::uint8_t>& out, std::string_view type,
           const std::vector<std::uint8_t>& data) {
  put_u32(out, static_cast<std::uint32_t>(data.size()));
  const std::size_t typed_at = out.size();
  out.insert(out.end(), type.begin(), type.end());
  out.insert(out.end(), data.begin(), data.end());
  const uLong crc =
      crc32(crc32(0L, Z_NULL, 0), out.data() + typed_at, static_cast<uInt>(out.size() - typed_at));
  put_u32(out, static_cast<std::uint32_t>(crc));
}

/// The image data: each row behind its filter byte (0: unfiltered), as one zlib stream.
bool compressed_rows(std::size_t w, std::size_t h, std::span<const std::uint8_t> pixels,
                     std::vector<std::uint8_t>& out) {
  std::vector<std::uint8_t> rows;
  rows.reserve(h * (w + 1));
  for (std::size_t y = 0; y < h; ++y) {
    rows.push_back(0);
    const auto row = pixels.subspan(y * w, w);
    rows.insert(rows.end(), row.begin(), row.end());
  }
  uLongf size = compressBound(static_cast<uLong>(rows.size()));
  out.resize(size);
  if (compress2(out.data(), &size, rows.data(), static_cast<uLong>(rows.size()),
                Z_BEST_COMPRESSION) != Z_OK)
    return false;
  out.resize(size);
  return true;
}

}  // namespace

std::vector<std::uint8_t> encode_indexed(int width, int height,
                                         std::span<const std::uint8_t> pixels,
                                         std::span<const Rgb> palette) {
  std::vector<std::uint8_t> data;
  if (!compressed_rows(static_cast<std::size_t>(width), static_cast<std::size_t>(height), pixels,
                       data))
    return {};
  std::vector<std::uint8_t> header;
  put_u32(header, static_cast<std::uint32_t>(width));
  put_u32(header, static_cast<std::uint32_t>(height));
  header.insert(header.end(), {8, 3, 0, 0, 0});  // 8-bit palette indices, no interlace
  std::vector<std::uint8_t> colours;
  for (const Rgb& c : palette)
    colours.insert(colours.end(), {c.r, c.g, c.b});

  std::vector<std::uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  chunk(out, "IHDR", header);
  chunk(out, "PLTE", colours);
  chunk(out, "IDAT", data);
  chunk(out, "IEND", {});
  return out;
}

}  // namespace torvanelle::png
