#include "tools/vect/options.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "cli/cli.h"
#include "gis/levels.h"

namespace torvanelle::vect::tool {

void declare(CLI::App& app, ToolOptions& o) {
  using torvanelle::cli::between;
  using torvanelle::cli::whole_between;
  app.add_option("SOURCE", o.source, "any single-band 8-bit raster GDAL reads")->required();
  app.add_option("OUTPUT", o.output, "the vector file to write; its CRS is the source's")
      ->required();
  app.add_option("--format", o.format,
                 "OGR driver (default: from OUTPUT's extension: .gpkg GPKG, .geojson or .json "
                 "GeoJSON, .shp ESRI Shapefile, .fgb FlatGeobuf)");
  app.add_option("--layer", o.layer,
                 "layer name (default: contours). Into an existing GeoPackage or SQLite file the "
                 "layer is added and every other layer kept; a layer of that name is replaced "
                 "only with --overwrite. A shapefile's layer takes its file's name");
  gis::declare_levels(app, o.base, o.interval, false);
  app.add_option("--min-branch", o.min_branch,
                 "prune branches shorter than N pixels at junctions (default: 3)")
      ->check(whole_between(0, 1000000));
  app.add_option("--simplify", o.simplify,
                 "Douglas-Peucker with tolerance T pixels (default: 0, every vertex a pixel "
                 "centre)")
      ->check(between(0, 1000000));
  app.add_option("--bridge", o.bridge,
                 "join free ends of one number at most D pixels apart that face each other "
                 "(each end's direction within 60 degrees of the bridge) by a straight segment "
                 "crossing no line and no pixel of another number; the attribute `bridged` "
                 "counts the joins in a line (default: 0, none)")
      ->check(between(0, 1000));
  app.add_option("--min-length", o.min_length,
                 "leave out lines shorter than L pixels (default: 2: no line of one pixel)")
      ->check(between(0, 1000000));
  app.add_flag("--overwrite", o.overwrite, "replace OUTPUT if it exists");
  app.add_flag("-q,--quiet", o.quiet, "no progress on standard output");
  // What needs every word read is not understood as any other faulty line is: status 2.
  app.final_callback([&o] {
    if (const std::string wrong = complete(o); !wrong.empty()) throw CLI::ValidationError(wrong);
  });
}

std::string complete(ToolOptions& o) {
  if (o.format.empty()) o.format = format_for(o.output);
  if (o.format.empty()) {
    return "cannot tell the vector format of '" + o.output +
           "' from its extension: name it with --format";
  }
  if (o.layer.empty()) return "--layer needs a name";
  return "";
}

std::string format_for(const std::string& path) {
  std::string ext = std::filesystem::path(path).extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  struct Known {
    const char* ext;
    const char* driver;
  };
  static constexpr Known known[] = {
      {".gpkg", "GPKG"},          {".geojson", "GeoJSON"}, {".json", "GeoJSON"},
      {".shp", "ESRI Shapefile"}, {".fgb", "FlatGeobuf"},
  };
  for (const Known& k : known) {
    if (ext == k.ext) return k.driver;
  }
  return "";
}

}  // namespace torvanelle::vect::tool
