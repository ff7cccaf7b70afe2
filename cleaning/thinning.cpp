#include "cleaning/thinning.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <sstream>
#include <vector>

#include "cleaning/neighbour.h"
#include "cleaning/revisits.h"
#include "cleaning/scan.h"
#include "io/console.h"

namespace torvanelle {
namespace {

// Lines of different numbers never meet in a code: a pixel's code counts only neighbours of its
// own number, and a removed pixel becomes background, which no number matches. So every number
// is thinned at once, in place in tab_out, which starts as a copy of tab_in: scan t of the raster
// is scan t of every line on its own, and what is left at the end is the result (survivors keep
// their number, the rest is background). tab is not needed. The counts are kept per scan and
// per number and printed afterwards in the order of the numbers.
//
// A pixel's code changes only when a neighbour of its number goes, so after the first scan,
// which visits every line pixel, a scan visits only the pixels marked when a neighbour went. A
// pixel whose neighbourhood did not change since its last visit would be kept again: visiting
// the marked pixels gives the result of full scans, at a cost that follows the removals.

/// removed[k]: the pixels of number k that one scan removed.
using Removed = std::array<std::int32_t, background>;

/// One scan of tab_out.
class Scan {
 public:
  Scan(State& st, Revisits& due) : st_(st), tab_(st.tab_out), due_(due) {}

  /// Removes the pixel (i, j). Its neighbours of the same number lose a neighbour and are due
  /// again: those behind the scan in the next scan, and, when `mark_ahead`, those ahead of it in
  /// this one (a full scan reaches them anyway).
  void remove(int i, int j, bool mark_ahead) {
    const std::uint8_t k = tab_[i][j];
    tab_[i][j] = background;
    ++removed_[k];
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

  const Removed& removed() const { return removed_; }

 private:
  /// Marks (i, j) when it holds number k; border pixels are never visited and never marked.
  void mark(int i, int j, std::uint8_t k) {
    if (i >= 1 && i <= st_.nb_lig - 2 && j >= 1 && j <= st_.nb_col - 2 && tab_[i][j] == k)
      due_.mark(i, j);
  }

  const State& st_;
  Raster tab_;
  Revisits& due_;
  Removed removed_{};
};

/// The first scan: every line pixel, in row-major order.
Removed first_scan(State& st, Revisits& due) {
  Scan scan(st, due);
  for_each_pixel_coded_in(st.tab_out, st.nb_lig, st.nb_col, removal,
                          [&scan](int i, int j) { scan.remove(i, j, false); });
  return scan.removed();
}

/// A later scan: the due pixels only, in row-major order.
Removed next_scan(State& st, Revisits& due) {
  Scan scan(st, due);
  for (int i = 1; i < st.nb_lig - 1; ++i) {
    const std::uint8_t* row = st.tab_out[i];
    due.sweep(i, [&](int j) {
      if (row[j] != background && removal[ico(st.tab_out, i, j)]) scan.remove(i, j, true);
    });
  }
  return scan.removed();
}

bool none(const Removed& removed) {
  for (const std::int32_t n : removed) {
    if (n != 0) return false;
  }
  return true;
}

/// Scans until one removes nothing; returns what each scan removed, the last (empty) one left out.
std::vector<Removed> thin_all(State& st) {
  for (int i = 0; i < st.nb_lig; ++i)
    std::memcpy(st.tab_out[i], st.tab_in[i], static_cast<std::size_t>(st.nb_col));
  // Without interior pixels no scan visits anything: nothing to size the marks for, which
  // matters for an image of 1 line and two thousand million columns.
  if (st.nb_lig < 3 || st.nb_col < 3) return {};
  Revisits due(st.nb_lig, st.nb_col);
  std::vector<Removed> scans;
  for (Removed removed = first_scan(st, due); !none(removed); removed = next_scan(st, due))
    scans.push_back(removed);
  return scans;
}

/// Each number's header, then the count of each scan that removed some of its pixels. A scan
/// that removed none of them left its line unchanged, so later scans removed none either. The
/// lines are all ready at once, so they go to the console in one piece: a wide span costs no
/// more than a few lines of output.
void report(const Span& span, const std::vector<Removed>& scans, std::ostream& out) {
  std::ostringstream text;
  for (std::int32_t k = span.minval; k <= span.maxval; ++k) {
    say(text, "\n\n\tTreatment of the contour line number %d \n", k);
    for (const Removed& removed : scans) {
      const std::int32_t modif = removed[static_cast<std::size_t>(k)];
      if (modif == 0) break;
      say(text, "\n\t\tNumber of modifications = %d ", modif);
    }
  }
  say(out, "%s", text.str().c_str());
}

}  // namespace

Span contour_span(const State& st) {
  // Adding 1 turns the background into 0 and leaves the numbers in order, so the highest number
  // is the largest sum less 1, and the lowest value found is the lowest number unless it is the
  // background. Plain minimum and maximum loops: the compiler does them many pixels at a time.
  std::uint8_t lowest = background;
  std::uint8_t highest_plus_1 = 0;
  for (int i = 0; i < st.nb_lig; ++i) {
    const std::uint8_t* row = st.tab_in[i];
    for (int j = 0; j < st.nb_col; ++j) {
      lowest = std::min(lowest, row[j]);
      highest_plus_1 = std::max(highest_plus_1, static_cast<std::uint8_t>(row[j] + 1));
    }
  }
  if (lowest == background) return Span{};
  return Span{lowest, highest_plus_1 - 1};
}

Span thinning(State& st, std::ostream& out) {
  const Span span = contour_span(st);
  say(out, "\n\n\tTotal number of contour lines : %d ", span.maxval - span.minval + 1);
  const std::vector<Removed> scans = thin_all(st);
  report(span, scans, out);
  return span;
}

}  // namespace torvanelle
