#include "vector/tool/run.h"

#include <new>

#include "cli/cli.h"
#include "gis/staging.h"
#include "vector/framed.h"
#include "vector/simplify.h"
#include "vector/skeleton.h"
#include "vector/tool/options.h"
#include "vector/tool/output.h"
#include "vector/tool/source.h"
#include "vector/trace.h"

namespace torvanelle::vect::tool {
namespace {

constexpr const char* about =
    "Turns a raster of contour numbers (one band, 8 bits: 0 to 254 a contour number, 255 or the\n"
    "band's nodata value none) into contour lines: one LineString per line piece, with its\n"
    "contour number in the attribute `number`. The output appears whole or not at all.\n"
    "Exit status: 0 done, 1 failed or refused, 2 command line not understood.";

/// The source's lines: skeleton, tracing, simplification. The source's pixels are let go once
/// copied, to keep one raster in memory rather than two.
std::vector<Line> vectorise(Source& source, const ToolOptions& o, const gis::Progress& progress) {
  Framed framed(source.image);
  source.image = Image();
  thin(framed);
  progress.stage(0, 0.45).at(1);
  std::vector<Line> lines = trace(framed, o.min_branch);
  for (Line& line : lines)
    simplify(line, o.simplify);
  progress.stage(0, 0.6).at(1);
  return lines;
}

void vectorise_to_file(const ToolOptions& o, std::ostream& err) {
  gis::ErrorTrap trap(err);
  check_format(o.format);
  gis::check_destination(o.output, o.overwrite, {o.source});
  const gis::Progress progress(!o.quiet);
  Source source = read_source(o.source, progress.stage(0, 0.15), trap, err);
  const std::vector<Line> lines = vectorise(source, o, progress);
  gis::Staging staging(o.output, trap);
  const long long written =
      write_lines(staging.path(), o, source, lines, progress.stage(0.6, 1), trap);
  gis::verify_vector(staging.path(), o.layer, written, o.output, trap);
  staging.commit(o.overwrite, {o.source});
  progress.done();
}

}  // namespace

int run(const std::vector<std::string>& words, std::ostream& out, std::ostream& err) {
  CLI::App app{about, "torvanelle-vect"};
  torvanelle::cli::follow_convention(app);
  ToolOptions o;
  declare(app, o);
  std::vector<const char*> argv{"torvanelle-vect"};
  for (const std::string& w : words)
    argv.push_back(w.c_str());
  if (const auto status =
          torvanelle::cli::parse(app, static_cast<int>(argv.size()), argv.data(), out, err))
    return *status;
  if (const std::string wrong = complete(o); !wrong.empty()) {
    err << "torvanelle-vect: " << wrong << "\nTry 'torvanelle-vect --help'.\n";
    return 2;
  }
  try {
    vectorise_to_file(o, err);
  } catch (const std::bad_alloc&) {
    err << "torvanelle-vect: not enough memory for " << o.source << '\n';
    return 1;
  } catch (const std::exception& e) {
    err << "torvanelle-vect: " << e.what() << '\n';
    return 1;
  }
  return 0;
}

}  // namespace torvanelle::vect::tool
