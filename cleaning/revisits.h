// The pixels that the thinning must look at again: one bit per pixel, kept row by row.
//
// A pixel's code changes only when one of its neighbours goes. So after a removal the pixel's
// neighbours are marked, and a scan visits the marked pixels only, in row-major order. One set
// of marks serves the scan under way and the next one: a neighbour after the pixel just removed
// is still ahead of the scan and is visited in this scan, a neighbour before it is behind the
// scan and keeps its mark for the next one.
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>
#include <vector>

namespace torvanelle {

class Revisits {
 public:
  Revisits(int nb_lig, int nb_col)
      : words_per_row_(static_cast<int>((std::int64_t{std::max(nb_col, 0)} + 63) / 64)),
        bits_(static_cast<std::size_t>(std::max(nb_lig, 0)) *
              static_cast<std::size_t>(words_per_row_)),
        rows_marked_((static_cast<std::size_t>(std::max(nb_lig, 0)) + 63) / 64) {}

  /// Marks the pixel (i, j) for a visit.
  void mark(int i, int j) {
    word(i, j / 64) |= std::uint64_t{1} << (j % 64);
    rows_marked_[static_cast<std::size_t>(i) / 64] |= std::uint64_t{1} << (i % 64);
  }

  /// The first row from `i` on, before `end`, that holds a mark; `end` when there is none. A
  /// scan that goes on for a long while at a line's end finds its few rows at once.
  int next_marked_row(int i, int end) const {
    while (i < end) {
      const std::uint64_t later = rows_marked_[static_cast<std::size_t>(i) / 64] >> (i % 64);
      if (later != 0) return std::min(end, i + std::countr_zero(later));
      i = (i / 64 + 1) * 64;
    }
    return end;
  }

  /// Calls visit(j) for every marked pixel of row i, left to right, clearing each mark first.
  /// A pixel marked during the sweep is visited in it when it lies ahead of the pixel being
  /// visited; behind it, it keeps its mark for the next sweep of the row.
  template <class Visit>
  void sweep(int i, Visit visit) {
    std::uint64_t& row_word = rows_marked_[static_cast<std::size_t>(i) / 64];
    const std::uint64_t row_bit = std::uint64_t{1} << (i % 64);
    if ((row_word & row_bit) == 0) return;
    row_word &= ~row_bit;
    for (int w = 0; w < words_per_row_; ++w) {
      std::uint64_t behind = 0;  // the bits of this word the sweep has passed
      while (const std::uint64_t ahead = word(i, w) & ~behind) {
        const int b = std::countr_zero(ahead);
        const std::uint64_t bit = std::uint64_t{1} << b;
        word(i, w) &= ~bit;
        behind = (bit << 1) - 1;  // every bit up to b, all 64 when b is 63
        visit(w * 64 + b);
      }
    }
  }

 private:
  std::uint64_t& word(int i, int w) {
    return bits_[static_cast<std::size_t>(i) * static_cast<std::size_t>(words_per_row_) +
                 static_cast<std::size_t>(w)];
  }

  int words_per_row_;
  std::vector<std::uint64_t> bits_;
  std::vector<std::uint64_t> rows_marked_;  ///< bit i: row i holds a mark; spares empty rows
};

}  // namespace torvanelle
