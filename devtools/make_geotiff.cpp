// Writes a georeferenced contour raster as a GeoTIFF, for trying the GIS round trip without a
// GeoTIFF of one's own and for timing it on large rasters.
//
//   make_geotiff OUTPUT [LINES COLUMNS] [--overwrite]
//
// The pixels are synthetic terrain's contour lines (devtools/terrain.h). Without a size they are
// the sample image, images/demo/relief.raw, byte for byte (400 x 600, 50 contour numbers); with
// one, they are drawn as the benchmark draws its rasters (150 contour numbers). The raster is
// placed in UTM zone 31N (EPSG:32631), 10 m pixels, its top left corner at (500000, 4650000);
// nodata 255; written as the export writes its GeoTIFFs.

#include <cstring>
#include <filesystem>
#include <iostream>

#include "cli/cli.h"
#include "devtools/terrain.h"
#include "io/interrupts.h"
#include "tools/geo/geotiff.h"

namespace gis = torvanelle::gis;
namespace geo = torvanelle::geo;

namespace {

/// Without a size, the sample image's options (devtools/make_sample.cpp); with one, the
/// terrain's defaults and 150 contour numbers, as the benchmark draws its rasters.
terrain::Options options(bool sample, int lines, int cols) {
  terrain::Options o;
  o.rows = lines;
  o.cols = cols;
  o.levels = 150;
  if (sample) {
    o.levels = 50;
    o.seed = 1;
    o.spurs_per_megapixel = 25;
  }
  return o;
}

gis::Georef utm31n_10m() {
  gis::Georef g;
  g.transform = {500000, 10, 0, 4650000, 0, -10};
  g.has_transform = true;
  g.crs.emplace();
  if (g.crs->importFromEPSG(32631) != OGRERR_NONE)
    throw gis::Error("no EPSG:32631 in PROJ's database");
  g.crs->SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
  return g;
}

void write(torvanelle::cli::Command& command, const std::filesystem::path& output, bool sample,
           int lines, int cols) {
  gis::ErrorTrap trap(std::cerr);
  const geo::Descriptor d{lines, cols, 1, 0, 255, 10};
  const gis::Georef g = utm31n_10m();
  const auto out = geo::create_contour_raster(command, output, "", d, g, trap);
  const std::vector<std::uint8_t> pixels = terrain::contour_raster(options(sample, lines, cols));
  const geo::RowSource rows = [&](int first, int count, std::uint8_t* buffer) {
    const auto at = static_cast<std::size_t>(first) * cols;
    std::memcpy(buffer, pixels.data() + at, static_cast<std::size_t>(count) * cols);
  };
  const gis::ProgressBar progress(false);
  geo::write_contour_raster(*out, d, g, rows, progress.stage(0, 1));
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{
      "Writes a georeferenced contour raster as a GeoTIFF: the sample image without a "
      "size, synthetic terrain of 150 contour numbers with one.",
      "make_geotiff"};
  torvanelle::cli::follow_convention(app);
  std::string output;
  int lines = 0, cols = 0;
  bool overwrite = false;
  app.add_option("OUTPUT", output, "the GeoTIFF to write")->required();
  app.add_option("LINES", lines, "lines")->check(torvanelle::cli::whole_between(1, 100000));
  app.add_option("COLUMNS", cols, "columns")->check(torvanelle::cli::whole_between(1, 100000));
  app.add_flag("--overwrite", overwrite, "replace OUTPUT if it exists");
  app.final_callback([&] {
    if ((lines == 0) != (cols == 0))
      throw CLI::ValidationError("give both LINES and COLUMNS, or neither");
  });
  torvanelle::catch_interrupts();
  const gis::GdalSession gdal;
  return torvanelle::cli::run(app, std::vector<std::string>(argv + 1, argv + argc), std::cout,
                              std::cerr, overwrite, output, [&](torvanelle::cli::Command& c) {
                                const bool sample = lines == 0;
                                write(c, output, sample, sample ? 400 : lines, sample ? 600 : cols);
                              });
}
