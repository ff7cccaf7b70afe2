#include "cleaning/treatment.h"

#include "cleaning/thinning.h"

namespace torvanelle {

Flow treatment(State& st, std::istream& /*in*/, std::ostream& out) {
  thinning(st, out);
  return Flow::proceed;
}

}  // namespace torvanelle
