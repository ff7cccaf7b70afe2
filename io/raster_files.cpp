#include "io/raster_files.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "io/console.h"
#include "io/host.h"

namespace torvanelle {
namespace {

/// The output raster's stream buffer: rows go to the file a few hundred at a time, where the
/// default buffer of a few KiB would make one system call per row.
constexpr std::size_t save_buffer_bytes = std::size_t{1} << 18;

/// Closes `*f` and forgets it; false when the close reports an error (unwritten data lost).
bool close(std::FILE** f) {
  const int result = std::fclose(*f);
  *f = nullptr;
  return result == 0;
}

Flow write_failed(std::ostream& out, const std::string& path) {
  say(out, "\n\tCould not write %s (disk full or not writable): no result is kept \n",
      path.c_str());
  return Flow::failed;
}

bool write_trailer(State& st) {
  if (std::fprintf(st.f2d, "\n input image : %s ", st.nomim1.c_str()) < 0) return false;
  if (st.ebarb == 0 && std::fputs("\n\n Ebarbulation treatment", st.f2d) < 0) return false;
  return std::fprintf(st.f2d, "\n\n\t\t\t\t%s\n", attribution) >= 0;
}

}  // namespace

Flow lecture(State& st, std::ostream& out) {
  say(out, "\n\tLecture ");
  long long found = 0;
  const auto row_bytes = static_cast<std::size_t>(st.nb_col);
  // Unbuffered: each row is read straight into its place, without a copy through a buffer.
  std::setvbuf(st.f1, nullptr, _IONBF, 0);
  for (int i = 0; i < st.nb_lig; ++i)
    found += std::fread(st.tab_in[i], 1, row_bytes, st.f1);
  const bool read_error = std::ferror(st.f1) != 0;
  close(&st.f1);
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
  const auto row_bytes = static_cast<std::size_t>(st.nb_col);
  bool written = true;
  std::vector<char> buffer(save_buffer_bytes);  // outlives f2, which is closed below
  std::setvbuf(st.f2, buffer.data(), _IOFBF, buffer.size());
  for (int i = 0; i < st.nb_lig && written; ++i) {
    written = std::fwrite(st.tab_out[i], 1, row_bytes, st.f2) == row_bytes;
  }
  // On the disk before the result is given its name: after a power cut the name holds the
  // whole file or the earlier one.
  written = written && flush_to_disk(st.f2);
  if (!close(&st.f2) || !written) return write_failed(out, st.nomim2);
  written = write_trailer(st) && flush_to_disk(st.f2d);
  if (!close(&st.f2d) || !written) return write_failed(out, st.nomdescr2);
  if (!st.result.raster.path().empty() && !st.result.commit()) {
    say(out, "\n\tCould not put the result in place as %s and %s: no result is kept \n",
        st.nomim2.c_str(), st.nomdescr2.c_str());
    return Flow::failed;
  }
  return Flow::proceed;
}

}  // namespace torvanelle
