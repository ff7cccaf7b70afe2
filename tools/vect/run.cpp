#include "tools/vect/run.h"

#include "cli/cli.h"
#include "dem/dem.h"
#include "gis/contour_raster.h"
#include "gis/datasets.h"
#include "tools/vect/options.h"
#include "tools/vect/output.h"
#include "tools/vect/source.h"
#include "vector/framed.h"
#include "vector/vectorise.h"

namespace torvanelle::vect::tool {
namespace {

namespace fs = std::filesystem;

constexpr const char* about =
    "Turns a raster of contour numbers (one band, 8 bits: 0 to 254 a contour number, 255 or the\n"
    "band's nodata value none) into contour lines: one LineString per line piece, with its\n"
    "contour number in the attribute `number`. The output appears whole or not at all.\n"
    "Exit status: 0 done, 1 failed or refused, 2 command line not understood.";

/// The source's lines. The source's pixels are let go once framed, to keep one raster in memory
/// rather than two (bridges keep a copy of their own). What was left out is said on `err`.
std::vector<Line> vectorise(Source& source, const ToolOptions& o, const gis::ProgressBar& progress,
                            std::ostream& err) {
  Framed framed(source.image);
  source.image = Image();
  Counts counts;
  const gis::ProgressBar::Stage stage = progress.stage(0.15, 0.6);
  const Ground ground = o.straight_bridges ? Ground() : dem::ground_in_numbers;
  std::vector<Line> lines =
      vect::vectorise(framed, {o.min_branch, o.simplify, o.bridge, o.min_length, ground}, &counts,
                      torvanelle::Progress([&stage](double fraction) { stage.at(fraction); }));
  cli::say_line_counts(err, "torvanelle-vect", o, counts.left_out, counts.bridges);
  return lines;
}

void vectorise_to_file(const ToolOptions& o, cli::Command& command, std::ostream& err) {
  gis::ErrorTrap trap(err);
  check_format(o.format);
  const gis::ProgressBar progress(!o.quiet);
  gis::ContourRaster raster(o.source, trap, err, command.sources);
  const fs::path staged = gis::add_output(command, o.output, trap, {}, is_container(o));
  Source source = read_source(raster, progress.stage(0, 0.15), err);
  const std::vector<Line> lines = vectorise(source, o, progress, err);
  const long long written = write_lines(staged, o, command.outputs.overwrite(), source, lines,
                                        progress.stage(0.6, 1), trap);
  gis::verify_vector(staged, o.layer, written, o.output, trap);
  trap.raise_pending("cannot write " + o.output);
  progress.done();
}

}  // namespace

int run(const std::vector<std::string>& words, std::ostream& out, std::ostream& err) {
  CLI::App app{about, "torvanelle-vect"};
  torvanelle::cli::follow_convention(app);
  ToolOptions o;
  declare(app, o);
  return torvanelle::cli::run(app, words, out, err, o.overwrite, o.source,
                              [&](cli::Command& c) { vectorise_to_file(o, c, c.warnings); });
}

}  // namespace torvanelle::vect::tool
