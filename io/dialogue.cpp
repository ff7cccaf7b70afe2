#include "io/dialogue.h"

namespace torvanelle {

Flow opening(State& /*st*/, std::istream& /*in*/, std::ostream& /*out*/) { return Flow::proceed; }

}  // namespace torvanelle
