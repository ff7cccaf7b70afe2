#include "tools/dem/options.h"

#include "gis/levels.h"

namespace torvanelle::dem::tool {

void declare(CLI::App& app, ToolOptions& o) {
  app.add_option("SOURCE", o.source, "any single-band 8-bit raster GDAL reads")->required();
  app.add_option("OUTPUT", o.output, "the GeoTIFF to write (Float32, on the source's grid)")
      ->required();
  gis::declare_levels(app, o.base, o.interval, true);
  app.add_option("--format", o.format,
                 "GDAL raster format of OUTPUT (default: from its extension, in any case: .tif "
                 "GTiff, .asc AAIGrid, .img HFA, ...; none: GTiff). A format that cannot hold "
                 "32-bit floats and a NaN nodata value (PNG, GeoPackage) is refused");
  app.add_flag("--overwrite", o.overwrite, "replace OUTPUT if it exists");
  app.add_flag("-q,--quiet", o.quiet, "no progress on standard output");
}

}  // namespace torvanelle::dem::tool
