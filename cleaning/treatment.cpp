#include "cleaning/treatment.h"

#include "cleaning/deburring.h"
#include "cleaning/thinning.h"

namespace torvanelle {

Flow treatment(State& st, std::istream& in, std::ostream& out) {
  const Span span = thinning(st, out);
  if (ask_deburring(st, in, out) == Flow::failed) return Flow::failed;
  if (st.ebarb == 0) deburring(st, span, out);
  return Flow::proceed;
}

}  // namespace torvanelle
