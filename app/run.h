// One run of the program: the four stages in their fixed order.
#pragma once

#include <istream>
#include <ostream>

#include "app/state.h"

namespace torvanelle {

/// Runs opening, lecture, treatment and save on `st`, answers read from `in` and every text
/// printed to `out`, and returns the process exit status: 0 when the run went through or ended
/// on a path the program defines, 1 when a stage failed (its output files are then removed).
int run(State& st, std::istream& in, std::ostream& out);

}  // namespace torvanelle
