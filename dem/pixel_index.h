// Pixel indices in 32 bits: the queues and stacks that can hold a good share of a raster's
// pixels at once keep them at half the size of a std::size_t.
#pragma once

#include <cassert>
#include <cstddef>
#include <cstdint>
#include <stdexcept>

namespace torvanelle::dem {

/// The indices of one raster's pixels, packed into 32 bits and back. Made only for a raster of
/// fewer than 2³² pixels, so that every index of it packs.
class PixelIndex {
 public:
  using Packed = std::uint32_t;

  /// The most pixels a raster may have: 2³² - 1.
  static constexpr std::size_t max_pixels = 0xffff'ffffu;

  /// Throws std::length_error when `pixels` is more than `max_pixels`.
  explicit PixelIndex(std::size_t pixels) : pixels_(pixels) {
    if (pixels > max_pixels) {
      throw std::length_error("an elevation model holds fewer than 2^32 pixels");
    }
  }

  std::size_t pixels() const { return pixels_; }

  /// Pixel `n` of the raster (below `pixels()`) in 32 bits.
  Packed pack(std::size_t n) const {
    assert(n < pixels_);
    return static_cast<Packed>(n);
  }

  static std::size_t unpack(Packed p) { return p; }

 private:
  std::size_t pixels_;
};

}  // namespace torvanelle::dem
