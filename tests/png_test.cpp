#include "tools/png.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string_view>
#include <vector>

namespace {

std::vector<std::uint8_t> bytes(std::string_view s) { return {s.begin(), s.end()}; }

std::uint32_t be32(const std::vector<std::uint8_t>& b, std::size_t at) {
  return std::uint32_t{b[at]} << 24 | std::uint32_t{b[at + 1]} << 16 |
         std::uint32_t{b[at + 2]} << 8 | b[at + 3];
}

TEST(Checksums, MatchTheirPublishedCheckValues) {
  EXPECT_EQ(png::crc32(bytes("123456789")), 0xCBF43926u);
  EXPECT_EQ(png::crc32(bytes("IEND")), 0xAE426082u);
  EXPECT_EQ(png::adler32(bytes("Wikipedia")), 0x11E60398u);
  EXPECT_EQ(png::adler32({}), 1u);
}

TEST(Zlib, HeaderPassesItsCheckAndTrailerIsTheAdler32) {
  const std::vector<std::uint8_t> data = bytes("aaaaaaaaaabcabcabcabc\nxyz");
  const std::vector<std::uint8_t> z = png::zlib_compress(data, 3);
  ASSERT_GE(z.size(), 7u);
  EXPECT_EQ(z[0] & 0x0F, 8);  // deflate
  EXPECT_EQ((z[0] * 256 + z[1]) % 31, 0);
  EXPECT_EQ(be32(z, z.size() - 4), png::adler32(data));
  EXPECT_LT(z.size(), data.size() + 6);  // the repeats were found
}

// Walks the chunks: each length fits, each CRC matches; returns the chunk types in order.
std::vector<std::string> chunk_types(const std::vector<std::uint8_t>& f) {
  std::vector<std::string> types;
  for (std::size_t at = 8; at + 12 <= f.size();) {
    const std::uint32_t n = be32(f, at);
    EXPECT_LE(at + 12 + n, f.size());
    if (at + 12 + n > f.size()) break;
    const std::vector<std::uint8_t> typed(f.begin() + at + 4, f.begin() + at + 8 + n);
    EXPECT_EQ(be32(f, at + 8 + n), png::crc32(typed));
    types.emplace_back(typed.begin(), typed.begin() + 4);
    at += 12 + n;
  }
  return types;
}

TEST(Png, IndexedImageHasSignatureHeaderPaletteAndValidChunks) {
  const std::vector<std::uint8_t> pixels = {0, 1, 2, 2, 1, 0};
  const std::vector<png::Rgb> palette = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
  const std::vector<std::uint8_t> f = png::encode_indexed(3, 2, pixels, palette);
  const std::vector<std::uint8_t> signature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  ASSERT_GT(f.size(), 8u + 25 + 12);
  EXPECT_TRUE(std::equal(signature.begin(), signature.end(), f.begin()));
  EXPECT_EQ(be32(f, 8), 13u);  // IHDR length
  EXPECT_EQ(be32(f, 16), 3u);  // width
  EXPECT_EQ(be32(f, 20), 2u);  // height
  EXPECT_EQ(f[24], 8);         // bits per index
  EXPECT_EQ(f[25], 3);         // palette colour type
  EXPECT_EQ(be32(f, 33), 9u);  // PLTE length: three colours
  EXPECT_EQ(chunk_types(f), (std::vector<std::string>{"IHDR", "PLTE", "IDAT", "IEND"}));
}

}  // namespace
