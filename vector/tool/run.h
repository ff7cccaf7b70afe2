// A whole run of torvanelle-vect: the command line in, an exit status out.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace torvanelle::vect::tool {

/// Rasters of at least this many pixels get progress on standard error (unless --quiet).
inline constexpr long long progress_pixels = 10'000'000;

/// Runs the tool on the command line's words (the program's name left out): reads the source,
/// vectorises it and writes the output. The usage goes to `out` on --help; progress and every
/// message to `err`. Returns 0 when the output was written (or the usage printed), 1 otherwise,
/// having written nothing under the output's name.
int run(const std::vector<std::string>& words, std::ostream& out, std::ostream& err);

}  // namespace torvanelle::vect::tool
