#include "dem/tool/options.h"

#include "cli/cli.h"

namespace torvanelle::dem::tool {

void declare(CLI::App& app, ToolOptions& o) {
  using torvanelle::cli::between;
  app.add_option("SOURCE", o.source, "any single-band 8-bit raster GDAL reads")->required();
  app.add_option("OUTPUT", o.output, "the GeoTIFF to write (Float32, on the source's grid)")
      ->required();
  CLI::Option* base = app.add_option("--base", o.base,
                                     "elevation of contour number 0 (default: the source's "
                                     "metadata item BASE)")
                          ->check(between(base_range.low, base_range.high));
  CLI::Option* interval = app.add_option("--interval", o.interval,
                                         "elevation between two numbers, positive: `elevation` "
                                         "= base + number x interval (default: the source's "
                                         "metadata item INTERVAL)")
                              ->check(between(interval_range.low, interval_range.high));
  base->needs(interval);
  interval->needs(base);
  app.add_option("--format", o.format,
                 "GDAL raster format of OUTPUT (default: from its extension, in any case: .tif "
                 "GTiff, .asc AAIGrid, .img HFA, ...; none: GTiff). A format that cannot hold "
                 "32-bit floats and a NaN nodata value (PNG, GeoPackage) is refused");
  app.add_flag("--overwrite", o.overwrite, "replace OUTPUT if it exists");
  app.add_flag("-q,--quiet", o.quiet, "no progress on standard output");
}

}  // namespace torvanelle::dem::tool
