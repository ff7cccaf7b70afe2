#include "tools/engine/run.h"

#include "cli/cli.h"
#include "cli/levels.h"
#include "tools/engine/commands.h"

namespace torvanelle::engine {
namespace {

constexpr const char* about =
    "The engines of torvanelle-geo clean, torvanelle-vect and torvanelle-dem on files of simple\n"
    "forms, without GDAL, for a program that reads and writes the user's layers itself (the\n"
    "QGIS plugin). A raster is a line 'TVRASTER 1 COLS ROWS u8' (a model: f32) then its pixels;\n"
    "lines are text, a line 'TVLINES 1 COUNT' then 'NUMBER BRIDGED X1 Y1 X2 Y2 ...' in pixel\n"
    "coordinates. The output appears whole or not at all.\n"
    "Exit status: 0 done, 1 failed or refused, 2 command line not understood.";

/// The operands and flags every command takes, `source` and `output` saying what they are.
CLI::App* command_of(CLI::App& app, EngineOptions& o, const char* name, const char* description,
                     const char* output) {
  CLI::App* c = app.add_subcommand(name, description);
  c->allow_windows_style_options(false);
  c->add_option("SOURCE", o.source,
                "the contour raster: 'TVRASTER 1 COLS ROWS u8', then a byte a pixel (0 to 254 a "
                "contour number, 255 none)")
      ->required();
  c->add_option("OUTPUT", o.output, output)->required();
  return c;
}

/// The flags every command takes, after its own options.
void common_flags(CLI::App& c, EngineOptions& o) {
  c.add_flag("--overwrite", o.overwrite, "replace OUTPUT if it exists");
  c.add_flag("-q,--quiet", o.quiet, "no progress on standard output");
}

void declare(CLI::App& app, EngineOptions& o) {
  // At most one command; none is said after what else is wrong with the line (an unknown
  // option first), as the requirement checked while parsing would hide it.
  app.require_subcommand(0, 1);
  app.final_callback([&app] {
    if (app.get_subcommands().empty())
      throw CLI::ValidationError("a command is needed: clean, vect or dem");
  });
  CLI::App* clean = command_of(
      app, o, "clean",
      "thins every contour line, then removes one-point spurs: the pixels torvanelle-geo clean "
      "gives",
      "the cleaned raster, in the source's form");
  clean->add_flag("--no-deburring", o.no_deburring, "keep the one-point spurs (no deburring)");
  clean->add_option("--report", o.report,
                    "write the thinning's report to FILE, as torvanelle-geo clean --report does");
  common_flags(*clean, o);
  CLI::App* vect = command_of(app, o, "vect", "traces the contour lines, as torvanelle-vect does",
                              "the lines: 'TVLINES 1 COUNT', then a feature a line");
  cli::declare_line_options(*vect, o.lines);
  common_flags(*vect, o);
  CLI::App* dem = command_of(
      app, o, "dem", "the elevation model between the lines, as torvanelle-dem makes it",
      "the model: 'TVRASTER 1 COLS ROWS f32', then little-endian floats, NaN where none");
  cli::declare_levels(*dem, o.base, o.interval);
  dem->get_option("--base")->required();
  dem->get_option("--interval")->required();
  common_flags(*dem, o);
}

}  // namespace

int run(const std::vector<std::string>& words, std::ostream& out, std::ostream& err) {
  CLI::App app{about, "torvanelle-engine"};
  cli::follow_convention(app);
  EngineOptions o;
  declare(app, o);
  return cli::run(app, words, out, err, o.overwrite, o.source, [&](cli::Command& c) {
    if (app.got_subcommand("clean")) {
      clean(o, c, out, c.warnings);
    } else if (app.got_subcommand("vect")) {
      vectorise(o, c, out, c.warnings);
    } else {
      model(o, c, out, c.warnings);
    }
  });
}

}  // namespace torvanelle::engine
