// A whole run of torvanelle-engine: the command line in, an exit status out.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace torvanelle::engine {

/// Runs the program on the command line's words (the program's name left out): one of the
/// commands `clean`, `vect` and `dem`, each reading a raster in the form of forms.h and writing
/// its result in that form. The usage or version goes to `out` on --help or --version, and so
/// does the progress (unless --quiet); every message goes to `err`. Returns 0 when the output
/// was written (or the usage printed), 1 when it failed or was refused, 2 when the command line
/// is not understood; nothing is ever left under the output's name but the whole output.
int run(const std::vector<std::string>& words, std::ostream& out, std::ostream& err);

}  // namespace torvanelle::engine
