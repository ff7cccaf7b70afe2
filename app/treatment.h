// The treatment stage: the thinning of every contour line, then the deburring on request, with
// what the user sees of them.
#pragma once

#include <istream>
#include <ostream>

#include "app/state.h"
#include "cleaning/thinning.h"

namespace torvanelle {

/// Thins st.tab_in into st.tab_out and prints the report, asks whether to deburr and records
/// the answer in st.ebarb (0 = yes), and deburrs st.tab_out when asked to. A word that is not a
/// whole number is reported and the question asked again; the end of standard input before an
/// answer fails the stage, after saying so.
Flow treatment(State& st, std::istream& in, std::ostream& out);

/// The thinning's report: the total line (the span of numbers), then for every number of the
/// span its header and the count of each scan that removed some of its pixels.
void say_thinning(const Thinned& thinned, std::ostream& out);

/// The deburring's heading and one progress line for every number of `span`.
void say_deburring(const Span& span, std::ostream& out);

}  // namespace torvanelle
