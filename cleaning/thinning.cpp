#include "cleaning/thinning.h"

#include <algorithm>
#include <cstring>

#include "cleaning/neighbour.h"
#include "cleaning/revisits.h"
#include "cleaning/scan.h"

namespace torvanelle {
namespace {

// Lines of different numbers never meet in a code: a pixel's code counts only neighbours of its
// own number, and a removed pixel becomes background, which no number matches. So every number
// is thinned at once, in place in tab_out, which starts as a copy of tab_in: scan t of the raster
// is scan t of every line on its own, and what is left at the end is the result (survivors keep
// their number, the rest is background).
//
// A pixel's code changes only when a neighbour of its number goes, so after the first scan,
// which visits every line pixel, a scan visits only the pixels marked when a neighbour went. A
// pixel whose neighbourhood did not change since its last visit would be kept again: visiting
// the marked pixels gives the result of full scans, at a cost that follows the removals.

/// The scans of tab_out, one after the other, and what each removed.
class Scans {
 public:
  Scans(Raster tab, std::int32_t nb_lig, std::int32_t nb_col, Revisits& due)
      : tab_(tab), nb_lig_(nb_lig), nb_col_(nb_col), due_(due) {}

  /// Removes the pixel (i, j). Its neighbours of the same number lose a neighbour and are due
  /// again: those behind the scan in the next scan, and, when `mark_ahead`, those ahead of it in
  /// this one (a full scan reaches them anyway).
  void remove(int i, int j, bool mark_ahead) {
    const std::uint8_t k = tab_[i][j];
    tab_[i][j] = background;
    if (removed_[k]++ == 0) numbers_.push_back(k);
    mark(i - 1, j - 1, k);
    mark(i - 1, j, k);
    mark(i - 1, j + 1, k);
    mark(i, j - 1, k);
    if (!mark_ahead) return;
    mark(i, j + 1, k);
    mark(i + 1, j - 1, k);
    mark(i + 1, j, k);
    mark(i + 1, j + 1, k);
  }

  /// Ends the scan under way: its counts go to `thinned`. False when it removed nothing.
  bool end_scan(Thinned& thinned) {
    for (const std::uint8_t k : numbers_) {
      thinned.modifications[k].push_back(removed_[k]);
      removed_[k] = 0;
    }
    const bool removed_some = !numbers_.empty();
    numbers_.clear();
    return removed_some;
  }

 private:
  /// Marks (i, j) when it holds number k; border pixels are never visited and never marked.
  void mark(int i, int j, std::uint8_t k) {
    if (i >= 1 && i <= nb_lig_ - 2 && j >= 1 && j <= nb_col_ - 2 && tab_[i][j] == k)
      due_.mark(i, j);
  }

  Raster tab_;
  std::int32_t nb_lig_;
  std::int32_t nb_col_;
  Revisits& due_;
  std::array<std::int32_t, background> removed_{};  ///< this scan's count for each number
  std::vector<std::uint8_t> numbers_;  ///< the numbers this scan removed pixels of, in order met
};

/// The first scan: every line pixel, in row-major order.
void first_scan(Scans& scans, Raster tab, std::int32_t nb_lig, std::int32_t nb_col) {
  for_each_pixel_coded_in(tab, nb_lig, nb_col, removal,
                          [&scans](int i, int j) { scans.remove(i, j, false); });
}

/// A later scan: the due pixels only, in row-major order.
void next_scan(Scans& scans, Raster tab, std::int32_t nb_lig, Revisits& due) {
  const int end = nb_lig - 1;
  for (int i = due.next_marked_row(1, end); i < end; i = due.next_marked_row(i + 1, end)) {
    const std::uint8_t* row = tab[i];
    due.sweep(i, [&](int j) {
      if (row[j] != background && removal[ico(tab, i, j)]) scans.remove(i, j, true);
    });
  }
}

}  // namespace

Span contour_span(const Raster tab_in, std::int32_t nb_lig, std::int32_t nb_col) {
  // Adding 1 turns the background into 0 and leaves the numbers in order, so the highest number
  // is the largest sum less 1, and the lowest value found is the lowest number unless it is the
  // background. Plain minimum and maximum loops: the compiler does them many pixels at a time.
  std::uint8_t lowest = background;
  std::uint8_t highest_plus_1 = 0;
  for (std::int32_t i = 0; i < nb_lig; ++i) {
    const std::uint8_t* row = tab_in[i];
    for (std::int32_t j = 0; j < nb_col; ++j) {
      lowest = std::min(lowest, row[j]);
      highest_plus_1 = std::max(highest_plus_1, static_cast<std::uint8_t>(row[j] + 1));
    }
  }
  if (lowest == background) return Span{};
  return Span{lowest, highest_plus_1 - 1};
}

Thinned thinning(const Raster tab_in, Raster tab_out, std::int32_t nb_lig, std::int32_t nb_col) {
  Thinned thinned;
  thinned.span = contour_span(tab_in, nb_lig, nb_col);
  for (std::int32_t i = 0; i < nb_lig; ++i)
    std::memcpy(tab_out[i], tab_in[i], static_cast<std::size_t>(nb_col));
  // Without interior pixels no scan visits anything: nothing to size the marks for, which
  // matters for an image of 1 line and two thousand million columns.
  if (nb_lig < 3 || nb_col < 3) return thinned;
  Revisits due(nb_lig, nb_col);
  Scans scans(tab_out, nb_lig, nb_col, due);
  first_scan(scans, tab_out, nb_lig, nb_col);
  while (scans.end_scan(thinned))
    next_scan(scans, tab_out, nb_lig, due);
  return thinned;
}

}  // namespace torvanelle
