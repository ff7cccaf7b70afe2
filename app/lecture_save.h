// The lecture and save stages: the input raster read into tab_in, tab_out and the descriptor
// trailer written out and put in place.
#pragma once

#include <ostream>

#include "app/state.h"

namespace torvanelle {

/// The fixed attribution line that ends every output descriptor.
inline constexpr const char* attribution = "Contour lines thinned by Torvanelle";

/// Reads the input raster from st.f1 into st.tab_in, row by row, and closes st.f1. A file
/// shorter than the raster is read as far as it goes (the rest stays 0, that is, contour line 0)
/// and reported with one warning line. A read error, or a file that has become shorter since
/// opening measured it (st.f1_bytes), stops the run: what was read is no longer that image.
Flow lecture(State& st, std::ostream& out);

/// Writes st.tab_out to st.f2 and the trailer to st.f2d, has both reach the disk, closes them,
/// and puts them in place under their final names, as a pair. Prints nothing unless a write, a
/// close or the placing fails, which stops the run (the run then removes its temporary files;
/// an earlier result is left as it was).
Flow save(State& st, std::ostream& out);

}  // namespace torvanelle
