#include "app/treatment.h"

#include <cstdint>
#include <cstdio>
#include <limits>
#include <string>

#include "cleaning/deburring.h"
#include "io/console.h"
#include "io/questions.h"

namespace torvanelle {
namespace {

/// How much of the thinning's report is written to the console at a time.
constexpr std::size_t chunk_bytes = std::size_t{1} << 16;

}  // namespace

void say_thinning(const Thinned& thinned, std::ostream& out) {
  const Span& span = thinned.span;
  // The lines are all ready at once, so they go to the console a chunk at a time rather than a
  // line at a time: a wide span, or a line worn down over a million scans, costs a few writes.
  std::string text;
  const auto print = [&text, &out](const char* fmt, std::int32_t value) {
    char line[80];
    text.append(line, static_cast<std::size_t>(std::snprintf(line, sizeof line, fmt, value)));
    if (text.size() < chunk_bytes) return;
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    text.clear();
  };
  // Without any contour pixel the span keeps its starting values, 300 and 0, and the total
  // printed is -299: the report has always said so, and scripts reading it may rely on it.
  const std::int32_t num_item = span.maxval - span.minval + 1;
  print("\n\n\tTotal number of contour lines : %d ", num_item);
  for (std::int32_t k = span.minval; k <= span.maxval; ++k) {
    print("\n\n\tTreatment of the contour line number %d \n", k);
    for (const std::int32_t modif : thinned.modifications[static_cast<std::size_t>(k)])
      print("\n\t\tNumber of modifications = %d ", modif);
  }
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
  out.flush();
}

void say_deburring(const Span& span, std::ostream& out) {
  say(out, "\n\tEbarbulation \n");
  for (std::int32_t k = span.minval; k <= span.maxval; ++k)
    say(out, "\tContour line number %d                 \r", k);
}

Flow treatment(State& st, std::istream& in, std::ostream& out) {
  const Thinned thinned = thinning(st.tab_in.get(), st.tab_out.get(), st.nb_lig, st.nb_col);
  say_thinning(thinned, out);
  // Every answer of 1 or less ends the question, negative ones too (they mean no).
  const std::string question =
      "\n\n\tebarbulation (one point) : \n\t\t0 ====> yes\n\t\t1 ====> no\n\t\t";
  if (!ask_number_between(in, out, question, st.ebarb, std::numeric_limits<std::int32_t>::min(),
                          1)) {
    say_end_of_input(out);
    return Flow::failed;
  }
  if (st.ebarb != 0) return Flow::proceed;
  say_deburring(thinned.span, out);
  deburring(st.tab_out.get(), st.nb_lig, st.nb_col);
  return Flow::proceed;
}

}  // namespace torvanelle
