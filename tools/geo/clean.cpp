// torvanelle-geo clean: a contour raster cleaned in one step, in one process, by the program's
// own engine: what import, the program and export give, without the three steps' files.
#include <cstring>
#include <fstream>
#include <optional>
#include <sstream>

#include "app/treatment.h"
#include "base/owned_raster.h"
#include "cleaning/deburring.h"
#include "cleaning/thinning.h"
#include "gis/contour_raster.h"
#include "tools/geo/commands.h"
#include "tools/geo/geotiff.h"

namespace torvanelle::geo {

namespace fs = std::filesystem;
using gis::Error;

namespace {

/// The source's pixels in a raster of the program's own kind, nodata made the background.
torvanelle::OwnedRaster read_pixels(gis::ContourRaster& src,
                                    const gis::ProgressBar::Stage& progress) {
  torvanelle::OwnedRaster tab_in(src.cols(), src.lines());
  if (!tab_in) throw std::bad_alloc();
  const std::size_t cols = static_cast<std::size_t>(src.cols());
  src.read_chunks(
      [&](int first, int count, const std::uint8_t* rows) {
        for (int i = 0; i < count; ++i)
          std::memcpy(tab_in[first + i], rows + static_cast<std::size_t>(i) * cols, cols);
      },
      progress);
  return tab_in;
}

/// Writes `text` to `path`; throws Error naming `shown` when it cannot.
void write_text(const std::string& text, const fs::path& path, const fs::path& shown) {
  std::ofstream f(path, std::ios::binary);
  f << text;
  f.close();
  if (!f) throw Error("cannot write " + shown.string());
}

}  // namespace

void clean_raster(torvanelle::cli::Command& command, const std::string& source,
                  const fs::path& output, const CleanOptions& options,
                  const gis::ProgressBar& progress, std::ostream& log) {
  gis::ErrorTrap trap(log);
  gis::ContourRaster src(source, trap, log, command.sources);
  const bool report_file = options.report && *options.report != "-";
  std::optional<fs::path> staged_report;
  if (report_file) staged_report = command.outputs.add(*options.report, command.sources);
  const gis::Georef g = src.georef();
  const Descriptor d = describe(src.dataset(), g, log);
  const auto out = create_contour_raster(command, output, options.format, d, g, trap);

  torvanelle::OwnedRaster tab_in = read_pixels(src, progress.stage(0, 0.2));
  src.judge_background(log);
  torvanelle::OwnedRaster tab_out(d.nb_col, d.nb_lig);
  if (!tab_out) throw std::bad_alloc();
  const torvanelle::Thinned thinned =
      torvanelle::thinning(tab_in.get(), tab_out.get(), d.nb_lig, d.nb_col);
  tab_in = torvanelle::OwnedRaster();
  if (options.deburring) torvanelle::deburring(tab_out.get(), d.nb_lig, d.nb_col);
  std::ostringstream report;
  if (options.report) {
    torvanelle::say_thinning(thinned, report);
    if (options.deburring) torvanelle::say_deburring(thinned.span, report);
  }
  progress.stage(0.2, 0.4).at(1);

  if (staged_report) write_text(report.str(), *staged_report, *options.report);
  const RowSource rows = [&](int first, int count, std::uint8_t* buffer) {
    for (int i = 0; i < count; ++i)
      std::memcpy(buffer + static_cast<std::size_t>(i) * d.nb_col, tab_out[first + i], d.nb_col);
  };
  write_contour_raster(*out, d, g, rows, progress.stage(0.4, 1));
  trap.raise_pending("cannot write " + output.string());
  if (options.report && !report_file) log << report.str();
  progress.done();
}

}  // namespace torvanelle::geo
