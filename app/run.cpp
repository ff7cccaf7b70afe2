#include "app/run.h"

#include <cstdio>

#include "LIB/matalloc.h"
#include "cleaning/treatment.h"
#include "io/dialogue.h"
#include "io/raster_files.h"

namespace torvanelle {
namespace {

void close_files(State& st) {
  for (std::FILE** f : {&st.f1, &st.f1d, &st.f2, &st.f2d}) {
    if (*f != nullptr) std::fclose(*f);
    *f = nullptr;
  }
}

void release_rasters(State& st) {
  for (Raster* r : {&st.tab, &st.tab_in, &st.tab_out}) {
    frucmatrice(*r, st.nb_lig);
    *r = nullptr;
  }
}

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

}  // namespace

int run(State& st, std::istream& in, std::ostream& out, std::ostream& err) {
  const Flow flow = run_stages(st, in, out, err);
  // Whatever save did not put in place goes: the files are closed first, as Windows removes
  // no open file.
  close_files(st);
  st.result.raster.discard();
  st.result.descriptor.discard();
  release_rasters(st);
  if (!out) err << "torvanelle: standard output cannot be written: the run stops\n";
  return flow == Flow::failed ? 1 : 0;
}

}  // namespace torvanelle
