// The one-point deburring, the second half of the treatment: the question, then one scan that
// takes the end pixel off every open branch.
#pragma once

#include <istream>
#include <ostream>

#include "app/state.h"
#include "cleaning/thinning.h"

namespace torvanelle {

/// Asks whether to deburr until the answer is 1 or less, and stores it in st.ebarb (0 = yes).
/// A word that is not a whole number is reported and the question asked again. Returns
/// Flow::failed, after saying so, when standard input ends before an answer.
Flow ask_deburring(State& st, std::istream& in, std::ostream& out);

/// Removes, in one row-major scan of the interior of st.tab_out, every pixel that has exactly
/// one present neighbour of its own number at its turn, and prints a progress line for every
/// number of `span`.
void deburring(State& st, const Span& span, std::ostream& out);

}  // namespace torvanelle
