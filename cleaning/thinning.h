// The thinning of every contour line, the first half of the treatment.
#pragma once

#include <cstdint>
#include <ostream>

#include "app/state.h"

namespace torvanelle {

/// The lowest and highest contour line numbers of a raster; {300, 0} when it holds none.
struct Span {
  std::int32_t minval = 300;
  std::int32_t maxval = 0;
};

/// Finds the span of contour line numbers in st.tab_in.
Span contour_span(const State& st);

/// Thins every contour line of st.tab_in into st.tab_out, each line as if the others were absent,
/// and prints the total line, then for every number of the span its header and the count of
/// each scan that removed some of its pixels. The work is done in place in st.tab_out; st.tab
/// is left as it was. Returns the span for the deburring.
Span thinning(State& st, std::ostream& out);

}  // namespace torvanelle
