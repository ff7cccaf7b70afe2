#include "cleaning/thinning.h"

#include <array>
#include <cstring>
#include <vector>

#include "cleaning/neighbour.h"
#include "cleaning/revisits.h"
#include "io/console.h"

namespace torvanelle {
namespace {

// Lines of different numbers never meet in a code: a pixel's code counts only neighbours of its
// own number, and a removed pixel becomes background, which no number matches. So every number
// is thinned at once in tab, which starts as a copy of tab_in, and scan t of tab is scan t of
// every line on its own. The counts are kept per scan and per number and printed afterwards in
// the order of the numbers.

/// removed[k]: the pixels of number k that one scan removed.
using Removed = std::array<std::int32_t, background>;

/// tab becomes a copy of tab_in, and every interior line pixel is due for the first scan.
void start(State& st, Revisits& due) {
  for (int i = 0; i < st.nb_lig; ++i) {
    std::memcpy(st.tab[i], st.tab_in[i], static_cast<std::size_t>(st.nb_col));
    if (i == 0 || i == st.nb_lig - 1) continue;
    for (int j = 1; j < st.nb_col - 1; ++j) {
      if (st.tab[i][j] != background) due.mark(i, j);
    }
  }
}

/// The neighbours of (i, j) holding `k` may have lost their reason to stay: they are due again.
/// Border pixels are never visited and are not marked.
void mark_neighbours(const State& st, Revisits& due, int i, int j, std::uint8_t k) {
  for (int di = -1; di <= 1; ++di) {
    const int ni = i + di;
    if (ni < 1 || ni > st.nb_lig - 2) continue;
    for (int dj = -1; dj <= 1; ++dj) {
      const int nj = j + dj;
      if (nj >= 1 && nj <= st.nb_col - 2 && st.tab[ni][nj] == k) due.mark(ni, nj);
    }
  }
}

/// One scan: the due pixels in row-major order. Removal acts in place, so the scan order decides
/// which pixel goes. Every pixel whose neighbourhood changed since its last visit is due, and a
/// pixel whose neighbourhood did not change would be kept again, so this is a full scan's result.
Removed thinning_scan(State& st, Revisits& due) {
  Removed removed{};
  for (int i = 1; i < st.nb_lig - 1; ++i) {
    due.sweep(i, [&](int j) {
      const std::uint8_t k = st.tab[i][j];
      if (k == background || !removal[ico(st.tab, i, j)]) return;
      st.tab[i][j] = background;
      ++removed[k];
      mark_neighbours(st, due, i, j, k);
    });
  }
  return removed;
}

/// Scans until one removes nothing; returns what each scan removed, the last (empty) one left out.
std::vector<Removed> thin_all(State& st) {
  Revisits due(st.nb_lig, st.nb_col);
  start(st, due);
  std::vector<Removed> scans;
  while (true) {
    const Removed removed = thinning_scan(st, due);
    bool any = false;
    for (const std::int32_t n : removed)
      any = any || n != 0;
    if (!any) return scans;
    scans.push_back(removed);
  }
}

/// Each number's header, then the count of each scan that removed some of its pixels. A scan
/// that removed none of them left its line unchanged, so later scans removed none either.
void report(const Span& span, const std::vector<Removed>& scans, std::ostream& out) {
  for (std::int32_t k = span.minval; k <= span.maxval; ++k) {
    say(out, "\n\n\tTreatment of the contour line number %d \n", k);
    for (const Removed& removed : scans) {
      const std::int32_t modif = removed[static_cast<std::size_t>(k)];
      if (modif == 0) break;
      say(out, "\n\t\tNumber of modifications = %d ", modif);
    }
  }
}

}  // namespace

Span contour_span(const State& st) {
  Span span;
  for (int i = 0; i < st.nb_lig; ++i) {
    for (int j = 0; j < st.nb_col; ++j) {
      const std::int32_t v = st.tab_in[i][j];
      if (v == background) continue;
      if (v < span.minval) span.minval = v;
      if (v > span.maxval) span.maxval = v;
    }
  }
  return span;
}

Span thinning(State& st, std::ostream& out) {
  const Span span = contour_span(st);
  say(out, "\n\n\tTotal number of contour lines : %d ", span.maxval - span.minval + 1);
  const std::vector<Removed> scans = thin_all(st);
  // What is left in tab is the result: the survivors keep their number, the rest is background.
  for (int i = 0; i < st.nb_lig; ++i)
    std::memcpy(st.tab_out[i], st.tab[i], static_cast<std::size_t>(st.nb_col));
  report(span, scans, out);
  return span;
}

}  // namespace torvanelle
