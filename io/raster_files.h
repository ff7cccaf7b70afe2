// The lecture and save stages: the input raster read into tab_in, tab_out and the descriptor
// trailer written out.
#pragma once

#include <ostream>

#include "app/state.h"

namespace torvanelle {

/// Reads the input raster from st.f1 into st.tab_in and closes st.f1.
Flow lecture(State& st, std::ostream& out);

/// Writes st.tab_out to st.f2 and the trailer to st.f2d, and closes both.
Flow save(State& st, std::ostream& out);

}  // namespace torvanelle
