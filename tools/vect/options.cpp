#include "tools/vect/options.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "cli/levels.h"
#include "gis/levels.h"

namespace torvanelle::vect::tool {

void declare(CLI::App& app, ToolOptions& o) {
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
  cli::declare_line_options(app, o);
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
