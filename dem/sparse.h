// Values for a few of a raster's pixels, held for those pixels alone.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace torvanelle::dem {

/// A value for each of some pixels of a raster of fewer than 2³² pixels: which pixels, as a
/// bitmap, and their values in the order of the pixels, each found by its rank among them,
/// counted from a running count kept every 64 pixels. Some 1.5 bits a pixel of the raster and
/// the values of those held, rather than a value a pixel; nothing where none is held.
template <typename T>
class SparsePixels {
 public:
  SparsePixels() = default;

  /// Holds the pixels below `pixels` that each(mark) names by calling mark(n), once or more
  /// each, in any order; their values start as T{}.
  template <typename Each>
  SparsePixels(std::size_t pixels, Each each) : bits_((pixels + 63) / 64, 0) {
    each([this](std::size_t n) { bits_[n / 64] |= std::uint64_t{1} << (n % 64); });
    counts_.resize(bits_.size());
    std::uint32_t total = 0;
    for (std::size_t w = 0; w < bits_.size(); ++w) {
      counts_[w] = total;
      total += static_cast<std::uint32_t>(std::popcount(bits_[w]));
    }
    if (total == 0) {
      bits_ = {};
      counts_ = {};
    }
    values_.resize(total);
  }

  bool empty() const { return values_.empty(); }

  bool contains(std::size_t n) const {
    return !bits_.empty() && (bits_[n / 64] >> (n % 64) & 1) != 0;
  }

  /// The value of pixel `n`, one of those held.
  T& operator[](std::size_t n) { return values_[rank(n)]; }
  const T& operator[](std::size_t n) const { return values_[rank(n)]; }

 private:
  std::size_t rank(std::size_t n) const {
    const std::uint64_t below = (std::uint64_t{1} << (n % 64)) - 1;
    return counts_[n / 64] + static_cast<std::size_t>(std::popcount(bits_[n / 64] & below));
  }

  std::vector<std::uint64_t> bits_;
  std::vector<std::uint32_t> counts_;  // pixels held before each 64
  std::vector<T> values_;              // in the order of the pixels
};

}  // namespace torvanelle::dem
