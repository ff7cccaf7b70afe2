#include "tools/dem/run.h"

#include <utility>

#include "cli/cli.h"
#include "dem/dem.h"
#include "gis/contour_raster.h"
#include "gis/levels.h"
#include "tools/dem/options.h"
#include "tools/dem/output.h"

namespace torvanelle::dem::tool {
namespace {

constexpr const char* about =
    "Turns a raster of contour numbers (one band, 8 bits: 0 to 254 a contour number, 255 or the\n"
    "band's nodata value none) into an elevation model: a Float32 GeoTIFF on the same grid,\n"
    "number n at base + n x interval along each line's centre, the ground between the lines a\n"
    "smooth surface through them, nodata outside the lines' convex hull. The output appears\n"
    "whole or not at all.\n"
    "Exit status: 0 done, 1 failed or refused, 2 command line not understood.";

/// The source's pixels and georeference, and its levels from the options or its metadata.
struct Source {
  torvanelle::Image image;
  gis::Georef georef;
  Levels levels;
};

Source read_source(gis::ContourRaster& raster, const ToolOptions& o,
                   const gis::ProgressBar& progress, std::ostream& err) {
  Source s;
  if (o.base) {
    s.levels = {*o.base, *o.interval};
  } else {
    const gis::Levels read = gis::levels_of(raster.dataset(), o.source);
    s.levels = {read.base, read.interval};
  }
  s.image = torvanelle::Image(raster.lines(), raster.cols());
  const gis::ProgressBar::Stage stage = progress.stage(0, 0.1);
  raster.read_all(s.image.px.data(), stage, err);
  s.georef = raster.georef();
  return s;
}

/// The source's elevation model, the engine's progress shown in `stage`; the source's raster
/// is handed to the engine, which frees it once it no longer needs it.
Model build_model(Source& source, const gis::ProgressBar::Stage& stage) {
  const torvanelle::Progress progress([&stage](double fraction) { stage.at(fraction); });
  return elevation_model(std::move(source.image), source.levels, {}, progress);
}

void model_to_file(const ToolOptions& o, cli::Command& command, std::ostream& err) {
  gis::ErrorTrap trap(err);
  const gis::ProgressBar progress(!o.quiet);
  gis::ContourRaster raster(o.source, trap, err, command.sources);
  const auto out =
      create_model_output(command, o.output, o.format, raster.cols(), raster.lines(), trap);
  Source source = read_source(raster, o, progress, err);
  Model model = build_model(source, progress.stage(0.1, 0.8));
  write_model(*out, model, source.georef, progress.stage(0.8, 1), trap, o.output);
  trap.raise_pending("cannot write " + o.output);
  progress.done();
}

}  // namespace

int run(const std::vector<std::string>& words, std::ostream& out, std::ostream& err) {
  CLI::App app{about, "torvanelle-dem"};
  torvanelle::cli::follow_convention(app);
  ToolOptions o;
  declare(app, o);
  return torvanelle::cli::run(app, words, out, err, o.overwrite, o.source,
                              [&](cli::Command& c) { model_to_file(o, c, c.warnings); });
}

}  // namespace torvanelle::dem::tool
