// The opening stage: the console dialogue that names the image, and the files it opens.
#pragma once

#include <istream>
#include <ostream>

#include "app/state.h"

namespace torvanelle {

/// Shows the banner, asks which image to treat and how to name the result, opens the input
/// raster, reads or creates its descriptor, creates the two output files with the descriptor
/// header and allocates the three rasters. The outputs are created under temporary names, which
/// save gives their own. `err` learns where a missing input raster was looked for.
Flow opening(State& st, std::istream& in, std::ostream& out, std::ostream& err);

}  // namespace torvanelle
