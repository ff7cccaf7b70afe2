#include "cleaning/deburring.h"

#include "cleaning/neighbour.h"
#include "cleaning/scan.h"
#include "io/console.h"

namespace torvanelle {

Flow ask_deburring(State& st, std::istream& in, std::ostream& out) {
  while (true) {
    say(out, "\n\n\tebarbulation (one point) : ");
    say(out, "\n\t\t0 ====> yes\n\t\t1 ====> no\n\t\t");
    const Read read = read_number(in, out, st.ebarb);
    if (read == Read::end) {
      say_end_of_input(out);
      return Flow::failed;
    }
    if (read == Read::ok && st.ebarb <= 1) return Flow::proceed;
  }
}

// All numbers are deburred in the same scan. A removed pixel becomes background, which no
// number matches, so every pixel still sees, at its turn, exactly the neighbours of its own
// number that a scan of that number alone would leave it: earlier ones as the scan left them,
// later ones as they were.
void deburring(State& st, const Span& span, std::ostream& out) {
  say(out, "\n\tEbarbulation \n");
  for (std::int32_t k = span.minval; k <= span.maxval; ++k)
    say(out, "\tContour line number %d                 \r", k);
  Raster tab = st.tab_out;
  for_each_pixel_coded_in(tab, st.nb_lig, st.nb_col, single_neighbours,
                          [tab](int i, int j) { tab[i][j] = background; });
}

}  // namespace torvanelle
