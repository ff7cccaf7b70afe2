// One run of the program: the four stages in their fixed order.
#pragma once

#include <istream>
#include <ostream>

#include "app/state.h"

namespace torvanelle {

/// Runs opening, lecture, treatment and save on `st`, answers read from `in`, the dialogue and
/// its messages printed to `out`, and returns the process exit status: 0 when the run went
/// through or ended on a path the program defines, 1 when a stage failed or `out` could not be
/// written (its result is then not put in place, and its temporary files are removed). `err`
/// gets what is meant for the person at the console rather than for the transcript: where the
/// "No File" input was looked for, and that `out` failed.
int run(State& st, std::istream& in, std::ostream& out, std::ostream& err);

}  // namespace torvanelle
