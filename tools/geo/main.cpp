// torvanelle-geo: from a GIS raster to the program's files and back, or cleaned in one step.
// Decides the exit status: 0 done, 1 failed or refused, 2 not understood; 128 + n after
// signal n, which leaves nothing behind.
#include <iostream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "io/interrupts.h"
#include "tools/geo/commands.h"

namespace gis = torvanelle::gis;
namespace geo = torvanelle::geo;

namespace {

constexpr const char* about = R"(Carries contour rasters between a GIS and the program torvanelle.

  import  SOURCE, a single-band 8-bit raster that GDAL reads, becomes the program's input
          DEST.raw (nodata pixels made 255, the background), DEST.txt (its descriptor) and
          DEST.hdr (an ENVI header with which GDAL opens DEST.raw at its place on the map).
  export  STEM, a result such as images/site/dem1_venc8, becomes the GeoTIFF OUTPUT (DEFLATE,
          tiled, nodata 255, one colour per contour number), placed like the input image
          that STEM.txt names: beside STEM first, then under the images root. STEM.hdr is
          written too, so that GDAL opens STEM.raw itself at its place.
  clean   SOURCE cleaned as import, torvanelle and export would, in one step: the GeoTIFF
          OUTPUT, and with --report the thinning report the program prints.

Files appear whole or not at all; nothing is written when a command is refused or
interrupted. Progress goes to standard output, messages to standard error.
Exit status: 0 done, 1 failed or refused, 2 command line not understood.)";

struct Words {
  std::string source, dest, stem, output, images_root, report, format;
  bool overwrite = false, quiet = false, no_deburring = false;
};

void add_overwrite(CLI::App& command, Words& w) {
  command.add_flag("--overwrite,--force", w.overwrite, "replace files that exist");
  command.add_flag("-q,--quiet", w.quiet, "no progress");
}

void add_format(CLI::App& command, Words& w) {
  command.add_option("--format", w.format,
                     "GDAL raster format of OUTPUT (default: from its extension, in any case: "
                     ".tif GTiff, .gpkg GPKG, .png PNG, .asc AAIGrid, ...; none: GTiff). Into an "
                     "existing GeoPackage the raster goes as the table named like the file, "
                     "its other tables kept");
}

void declare(CLI::App& app, Words& w) {
  app.require_subcommand(1);
  CLI::App* import = app.add_subcommand("import", "a GIS raster into the program's files");
  import->add_option("SOURCE", w.source, "a single-band 8-bit raster")->required();
  import->add_option("DEST", w.dest, "the path stem of DEST.raw, DEST.txt, DEST.hdr")->required();
  add_overwrite(*import, w);
  CLI::App* exp = app.add_subcommand("export", "the program's result as a GeoTIFF");
  exp->add_option("STEM", w.stem, "the result's path stem (STEM.raw, STEM.txt)")->required();
  exp->add_option("OUTPUT", w.output, "the GeoTIFF to write")->required();
  exp->add_option("--images-root", w.images_root, "the folder that stands for C:\\images\\");
  add_format(*exp, w);
  add_overwrite(*exp, w);
  CLI::App* clean = app.add_subcommand("clean", "a contour raster cleaned in one step");
  clean->add_option("SOURCE", w.source, "a single-band 8-bit raster")->required();
  clean->add_option("OUTPUT", w.output, "the GeoTIFF to write")->required();
  clean->add_flag("--no-deburring", w.no_deburring, "keep the one-point spurs");
  clean->add_option("--report", w.report, "write the thinning report to FILE (- : standard error)");
  add_format(*clean, w);
  add_overwrite(*clean, w);
}

void work(const CLI::App& app, const Words& w, torvanelle::cli::Command& command) {
  const gis::ProgressBar progress(!w.quiet);
  if (app.got_subcommand("import")) {
    geo::import_raster(command, w.source, w.dest, progress, command.warnings);
  } else if (app.got_subcommand("export")) {
    geo::ExportOptions o{w.format, std::nullopt};
    if (!w.images_root.empty()) o.images_root = w.images_root;
    geo::export_result(command, w.stem, w.output, o, progress, command.warnings);
  } else {
    geo::CleanOptions o{w.format, !w.no_deburring, std::nullopt};
    if (!w.report.empty()) o.report = w.report;
    geo::clean_raster(command, w.source, w.output, o, progress, command.warnings);
  }
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{about, "torvanelle-geo"};
  torvanelle::cli::follow_convention(app);
  Words w;
  declare(app, w);
  // A signal removes what the run began, then ends it with 128 + n.
  torvanelle::catch_interrupts();
  const gis::GdalSession gdal;
  const std::vector<std::string> words(argv + 1, argv + argc);
  return torvanelle::cli::run(app, words, std::cout, std::cerr, w.overwrite, w.source,
                              [&](torvanelle::cli::Command& c) { work(app, w, c); });
}
