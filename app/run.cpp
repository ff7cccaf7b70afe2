#include "app/run.h"

#include "app/lecture_save.h"
#include "app/opening.h"
#include "app/treatment.h"

namespace torvanelle {
namespace {

/// A stage that printed to a console that can no longer be written (a closed pipe, a full disk
/// under a redirection) has left the user without its questions or its report: the run stops
/// before its result is put in place.
Flow checked(Flow flow, const std::ostream& out) {
  return flow == Flow::proceed && !out ? Flow::failed : flow;
}

Flow run_stages(State& st, std::istream& in, std::ostream& out, std::ostream& err) {
  Flow flow = checked(opening(st, in, out, err), out);
  if (flow == Flow::proceed) flow = checked(lecture(st, out), out);
  if (flow == Flow::proceed) flow = checked(treatment(st, in, out), out);
  if (flow == Flow::proceed) flow = save(st, out);
  return flow;
}

/// Lets go of what the run opened and allocated, each owner doing its part: files are closed,
/// the output files that save did not put in place removed, the rasters released. The names
/// and values stay in `st`.
void let_go(State& st) {
  st.f1.reset();
  st.f1d.reset();
  st.f2 = TempFile();
  st.f2d = TempFile();
  st.tab = OwnedRaster();
  st.tab_in = OwnedRaster();
  st.tab_out = OwnedRaster();
}

}  // namespace

int run(State& st, std::istream& in, std::ostream& out, std::ostream& err) {
  const Flow flow = run_stages(st, in, out, err);
  let_go(st);
  if (!out) err << "torvanelle: standard output cannot be written: the run stops\n";
  return flow == Flow::failed ? 1 : 0;
}

}  // namespace torvanelle
