#include "app/lecture_save.h"

#include <algorithm>
#include <cstdio>

#include "io/console.h"
#include "io/descriptor.h"
#include "io/host.h"
#include "io/raster_files.h"

namespace torvanelle {
namespace {

Flow write_failed(std::ostream& out, const std::string& path) {
  say(out, "\n\tCould not write %s (disk full or not writable): no result is kept \n",
      path.c_str());
  return Flow::failed;
}

bool write_trailer(std::FILE* f, const std::string& nomim1, std::int32_t ebarb) {
  if (!write_trailer_input(f, nomim1)) return false;
  if (ebarb == 0 && std::fputs("\n\n Ebarbulation treatment", f) < 0) return false;
  return std::fprintf(f, "\n\n\t\t\t\t%s\n", attribution) >= 0;
}

}  // namespace

Flow lecture(State& st, std::ostream& out) {
  say(out, "\n\tLecture ");
  const long long found = read_rows(st.f1.get(), st.tab_in.get(), st.nb_lig, st.nb_col);
  const bool read_error = std::ferror(st.f1.get()) != 0;
  st.f1.reset();
  if (read_error) {
    say(out, "\n\tCould not read %s \n", st.nomim1.c_str());
    return Flow::failed;
  }
  const long long expected = static_cast<long long>(st.nb_lig) * st.nb_col;
  if (st.f1_bytes >= 0 && found < std::min(expected, st.f1_bytes)) {
    say(out,
        "\n\t%s has changed since it was opened: %lld bytes then, %lld read now; the run "
        "stops \n",
        st.nomim1.c_str(), st.f1_bytes, found);
    return Flow::failed;
  }
  if (found < expected) {
    say(out,
        "\n\tWarning: %s holds %lld bytes where %lld are expected: the missing pixels are read as "
        "contour line 0 ",
        st.nomim1.c_str(), found, expected);
  }
  return Flow::proceed;
}

Flow save(State& st, std::ostream& out) {
  // On the disk before the result is given its name: after a power cut the name holds the
  // whole file or the earlier one.
  bool written =
      write_rows(st.f2.get(), st.tab_out.get(), st.nb_lig, st.nb_col) && flush_to_disk(st.f2.get());
  if (!st.f2.close() || !written) return write_failed(out, st.nomim2);
  written = write_trailer(st.f2d.get(), st.nomim1, st.ebarb) && flush_to_disk(st.f2d.get());
  if (!st.f2d.close() || !written) return write_failed(out, st.nomdescr2);
  if (!put_in_place(st.f2, st.f2d)) {
    say(out, "\n\tCould not put the result in place as %s and %s: no result is kept \n",
        st.nomim2.c_str(), st.nomdescr2.c_str());
    return Flow::failed;
  }
  return Flow::proceed;
}

}  // namespace torvanelle
