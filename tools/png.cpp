#include "tools/png.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace png {
namespace {

// Deflate's bit order: values go out least significant bit first, Huffman codes most
// significant bit first.
class BitWriter {
 public:
  explicit BitWriter(std::vector<std::uint8_t>& out) : out_(out) {}

  void bits(std::uint32_t value, int count) {
    for (int i = 0; i < count; ++i)
      put((value >> i) & 1u);
  }
  void code(std::uint32_t code, int length) {
    for (int i = length - 1; i >= 0; --i)
      put((code >> i) & 1u);
  }
  void flush() {
    if (used_ > 0) out_.push_back(byte_);
    byte_ = 0;
    used_ = 0;
  }

 private:
  void put(std::uint32_t bit) {
    byte_ = static_cast<std::uint8_t>(byte_ | (bit << used_));
    if (++used_ == 8) flush();
  }

  std::vector<std::uint8_t>& out_;
  std::uint8_t byte_ = 0;
  int used_ = 0;
};

// The fixed literal/length code of deflate: symbols 0-143 take 8 bits, 144-255 nine,
// 256-279 seven, 280-287 eight.
void fixed_symbol(BitWriter& w, int sym) {
  const auto s = static_cast<std::uint32_t>(sym);
  if (sym < 144) {
    w.code(0x30 + s, 8);
  } else if (sym < 256) {
    w.code(0x190 + s - 144, 9);
  } else if (sym < 280) {
    w.code(s - 256, 7);
  } else {
    w.code(0xC0 + s - 280, 8);
  }
}

constexpr std::array<int, 29> kLenBase = {3,  4,  5,  6,   7,   8,   9,   10,  11, 13,
                                          15, 17, 19, 23,  27,  31,  35,  43,  51, 59,
                                          67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr std::array<int, 29> kLenExtra = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                           2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr std::array<int, 30> kDistBase = {
    1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
    193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr std::array<int, 30> kDistExtra = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                            6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

// The last table entry whose base is at most v.
template <std::size_t N>
int bucket(const std::array<int, N>& base, int v) {
  return static_cast<int>(std::upper_bound(base.begin(), base.end(), v) - base.begin()) - 1;
}

// A copy of `length` (3..258) bytes from `distance` (1..32768) back.
void match(BitWriter& w, int length, int distance) {
  const int l = bucket(kLenBase, length);
  fixed_symbol(w, 257 + l);
  w.bits(static_cast<std::uint32_t>(length - kLenBase[l]), kLenExtra[l]);
  const int d = bucket(kDistBase, distance);
  w.code(static_cast<std::uint32_t>(d), 5);
  w.bits(static_cast<std::uint32_t>(distance - kDistBase[d]), kDistExtra[d]);
}

// How many bytes from i repeat those `distance` back, at most 258.
std::size_t repeat_length(std::span<const std::uint8_t> data, std::size_t i, std::size_t distance) {
  if (distance == 0 || distance > i || distance > 32768) return 0;
  const std::size_t end = std::min(data.size(), i + 258);
  std::size_t j = i;
  while (j < end && data[j] == data[j - distance])
    ++j;
  return j - i;
}

void put_u32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8)
    out.push_back(static_cast<std::uint8_t>(v >> shift));
}

void chunk(std::vector<std::uint8_t>& out, std::string_view type,
           std::span<const std::uint8_t> body) {
  put_u32(out, static_cast<std::uint32_t>(body.size()));
  const std::size_t start = out.size();
  out.insert(out.end(), type.begin(), type.end());
  out.insert(out.end(), body.begin(), body.end());
  put_u32(out, crc32(std::span(out).subspan(start)));
}

}  // namespace

std::uint32_t crc32(std::span<const std::uint8_t> data) {
  static const std::array<std::uint32_t, 256> table = [] {
    std::array<std::uint32_t, 256> t{};
    for (std::uint32_t n = 0; n < 256; ++n) {
      std::uint32_t c = n;
      for (int k = 0; k < 8; ++k)
        c = (c & 1u) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[n] = c;
    }
    return t;
  }();
  std::uint32_t c = 0xFFFFFFFFu;
  for (std::uint8_t b : data)
    c = table[(c ^ b) & 0xFFu] ^ (c >> 8);
  return c ^ 0xFFFFFFFFu;
}

std::uint32_t adler32(std::span<const std::uint8_t> data) {
  std::uint32_t a = 1, b = 0;
  for (std::uint8_t v : data) {
    a = (a + v) % 65521u;
    b = (b + a) % 65521u;
  }
  return (b << 16) | a;
}

std::vector<std::uint8_t> zlib_compress(std::span<const std::uint8_t> data, std::size_t period) {
  std::vector<std::uint8_t> out = {0x78, 0x01};  // deflate, 32 KiB window, no dictionary
  BitWriter w(out);
  w.bits(1, 1);  // the last block
  w.bits(1, 2);  // fixed Huffman codes
  for (std::size_t i = 0; i < data.size();) {
    const std::size_t near = repeat_length(data, i, 1);
    const std::size_t above = repeat_length(data, i, period);
    const std::size_t len = std::max(near, above);
    if (len >= 3) {
      match(w, static_cast<int>(len), static_cast<int>(above >= near ? period : 1));
      i += len;
    } else {
      fixed_symbol(w, data[i++]);
    }
  }
  fixed_symbol(w, 256);  // end of block
  w.flush();
  put_u32(out, adler32(data));
  return out;
}

std::vector<std::uint8_t> encode_indexed(int width, int height,
                                         std::span<const std::uint8_t> pixels,
                                         std::span<const Rgb> palette) {
  const auto w = static_cast<std::size_t>(width), h = static_cast<std::size_t>(height);
  std::vector<std::uint8_t> scanlines;  // each row behind its filter byte, 0: unfiltered
  scanlines.reserve(h * (w + 1));
  for (std::size_t y = 0; y < h; ++y) {
    scanlines.push_back(0);
    const auto row = pixels.subspan(y * w, w);
    scanlines.insert(scanlines.end(), row.begin(), row.end());
  }

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
  chunk(out, "IDAT", zlib_compress(scanlines, w + 1));
  chunk(out, "IEND", {});
  return out;
}

}  // namespace png
