// Pixel indices in 32 bits: the queues and stacks that can hold a good share of a raster's
// pixels at once keep them at half the size of a std::size_t. And a pixel's 8 neighbours by
// index, as the floods that walk a raster pixel by pixel take them.
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

/// The 8 neighbours of a raster's pixels, row by row from the top left; `offsets[k]` is the
/// (row, column) step to neighbour k, 1, 3, 4 and 6 the sides.
class Neighbours {
 public:
  static constexpr int offsets[8][2] = {{-1, -1}, {-1, 0}, {-1, 1}, {0, -1},
                                        {0, 1},   {1, -1}, {1, 0},  {1, 1}};

  Neighbours(int rows, int cols) : rows_(rows), cols_(cols) {
    for (int k = 0; k < 8; ++k)
      step_[k] = static_cast<std::ptrdiff_t>(offsets[k][0]) * cols + offsets[k][1];
  }

  static constexpr bool side(int k) { return k == 1 || k == 3 || k == 4 || k == 6; }

  /// Calls visit(m, k) for each neighbour m of pixel n that lies in the raster, k in order.
  template <typename Visit>
  void each(std::size_t n, Visit visit) const {
    const int i = static_cast<int>(n / static_cast<std::size_t>(cols_));
    const int j =
        static_cast<int>(n - static_cast<std::size_t>(i) * static_cast<std::size_t>(cols_));
    if (i > 0 && j > 0 && i < rows_ - 1 && j < cols_ - 1) {
      for (int k = 0; k < 8; ++k)
        visit(static_cast<std::size_t>(static_cast<std::ptrdiff_t>(n) + step_[k]), k);
      return;
    }
    for (int k = 0; k < 8; ++k) {
      const int a = i + offsets[k][0];
      const int b = j + offsets[k][1];
      if (a < 0 || b < 0 || a >= rows_ || b >= cols_) continue;
      visit(static_cast<std::size_t>(static_cast<std::ptrdiff_t>(n) + step_[k]), k);
    }
  }

  /// Whether pixel n lies on the raster's edge.
  bool on_border(std::size_t n) const {
    const std::size_t i = n / static_cast<std::size_t>(cols_);
    const std::size_t j = n % static_cast<std::size_t>(cols_);
    return i == 0 || j == 0 || i + 1 == static_cast<std::size_t>(rows_) ||
           j + 1 == static_cast<std::size_t>(cols_);
  }

 private:
  int rows_;
  int cols_;
  std::ptrdiff_t step_[8] = {};
};

}  // namespace torvanelle::dem
