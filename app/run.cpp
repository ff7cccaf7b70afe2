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

/// A failed run leaves nothing behind that could pass for a result.
void discard_outputs(State& st) {
  close_files(st);
  for (const std::string& path : st.created)
    std::remove(path.c_str());
  st.created.clear();
}

void release_rasters(State& st) {
  for (Raster* r : {&st.tab, &st.tab_in, &st.tab_out}) {
    frucmatrice(*r, st.nb_lig);
    *r = nullptr;
  }
}

Flow run_stages(State& st, std::istream& in, std::ostream& out) {
  Flow flow = opening(st, in, out);
  if (flow == Flow::proceed) flow = lecture(st, out);
  if (flow == Flow::proceed) flow = treatment(st, in, out);
  if (flow == Flow::proceed) flow = save(st, out);
  return flow;
}

}  // namespace

int run(State& st, std::istream& in, std::ostream& out) {
  const Flow flow = run_stages(st, in, out);
  if (flow == Flow::failed) discard_outputs(st);
  close_files(st);
  release_rasters(st);
  return flow == Flow::failed ? 1 : 0;
}

}  // namespace torvanelle
