#include "cleaning/thinning.h"

#include <cstring>

#include "cleaning/neighbour.h"
#include "io/console.h"

namespace torvanelle {
namespace {

void fill(Raster r, const State& st, std::uint8_t value) {
  for (int i = 0; i < st.nb_lig; ++i)
    std::memset(r[i], value, static_cast<std::size_t>(st.nb_col));
}

/// tab gets 1 where tab_in holds line k, 0 elsewhere.
void isolate(State& st, std::int32_t k) {
  for (int i = 0; i < st.nb_lig; ++i) {
    for (int j = 0; j < st.nb_col; ++j)
      st.tab[i][j] = st.tab_in[i][j] == k ? 1 : 0;
  }
}

/// One scan of the interior in row-major order. Removal acts in place: a pixel removed earlier
/// in the scan no longer counts as a neighbour, so the scan order decides which pixel goes.
/// Returns the number of pixels removed.
std::int32_t thinning_scan(State& st) {
  std::int32_t modif = 0;
  for (int i = 1; i < st.nb_lig - 1; ++i) {
    for (int j = 1; j < st.nb_col - 1; ++j) {
      if (st.tab[i][j] == 1 && removal[ico(st.tab, i, j)]) {
        st.tab[i][j] = 255;
        ++modif;
      }
    }
  }
  return modif;
}

/// The pixels of line k still present in tab become k in tab_out, borders included.
void store(State& st, std::int32_t k) {
  for (int i = 0; i < st.nb_lig; ++i) {
    for (int j = 0; j < st.nb_col; ++j) {
      if (st.tab[i][j] == 1) st.tab_out[i][j] = static_cast<std::uint8_t>(k);
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
  fill(st.tab_out, st, background);
  const Span span = contour_span(st);
  const std::int32_t num_item = span.maxval - span.minval + 1;
  say(out, "\n\n\tTotal number of contour lines : %d ", num_item);
  for (std::int32_t k = span.minval; k <= span.maxval; ++k) {
    say(out, "\n\n\tTreatment of the contour line number %d \n", k);
    isolate(st, k);
    while (const std::int32_t modif = thinning_scan(st)) {
      say(out, "\n\t\tNumber of modifications = %d ", modif);
    }
    store(st, k);
  }
  return span;
}

}  // namespace torvanelle
