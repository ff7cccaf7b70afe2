// The treatment stage: thinning of every contour line, then the optional deburring.
#pragma once

#include <istream>
#include <ostream>

#include "app/state.h"

namespace torvanelle {

/// Turns st.tab_in into st.tab_out and records the deburring answer in st.ebarb.
Flow treatment(State& st, std::istream& in, std::ostream& out);

}  // namespace torvanelle
