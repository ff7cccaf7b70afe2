// Writes a georeferenced contour raster as a GeoTIFF, for trying the GIS round trip without a
// GeoTIFF of one's own and for timing it on large rasters.
//
//   make_geotiff OUTPUT [LINES COLUMNS]
//
// The pixels are synthetic terrain's contour lines (tools/terrain.h). Without a size they are the
// sample image, images/demo/relief.raw, byte for byte (400 x 600, 50 contour numbers); with one,
// they are drawn as the benchmark draws its rasters (150 contour numbers). The raster is placed in
// UTM zone 31N (EPSG:32631), 10 m pixels, its top left corner at (500000, 4650000); nodata 255;
// written as the export writes its GeoTIFFs.

#include <charconv>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <string_view>

#include "tools/geo/gdal_support.h"
#include "tools/geo/geotiff.h"
#include "tools/geo/staging.h"
#include "tools/terrain.h"

namespace {

/// Without a size, the sample image's options (tools/make_sample.cpp); with one, the terrain's
/// defaults and 150 contour numbers, as the benchmark draws its rasters.
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

geo::Georef utm31n_10m() {
  geo::Georef g;
  g.transform = {500000, 10, 0, 4650000, 0, -10};
  g.has_transform = true;
  g.crs.emplace();
  if (g.crs->importFromEPSG(32631) != OGRERR_NONE)
    throw geo::Error("no EPSG:32631 in PROJ's database");
  g.crs->SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
  return g;
}

bool read_size(const char* text, int& value) {
  const std::string_view s(text);
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
  return ec == std::errc() && end == s.data() + s.size() && value > 0 && value <= 100000;
}

}  // namespace

int main(int argc, char** argv) {
  int lines = 400, cols = 600;
  if ((argc != 2 && argc != 4) ||
      (argc == 4 && !(read_size(argv[2], lines) && read_size(argv[3], cols)))) {
    std::cerr << "usage: make_geotiff OUTPUT [LINES COLUMNS]   (1 to 100000 each)\n";
    return 2;
  }
  geo::GdalSession gdal;
  try {
    geo::ErrorTrap trap(std::cerr);
    const std::vector<std::uint8_t> pixels =
        terrain::contour_raster(options(argc == 2, lines, cols));
    const geo::RowSource rows = [&](int first, int count, std::uint8_t* buffer) {
      const auto at = static_cast<std::size_t>(first) * cols;
      std::memcpy(buffer, pixels.data() + at, static_cast<std::size_t>(count) * cols);
    };
    const std::filesystem::path output = argv[1];
    geo::Staging staging(output.parent_path());
    geo::Progress progress(std::cerr, "make_geotiff");
    geo::write_geotiff(staging.file(output.filename()), {lines, cols, 1, 0, 255, 10}, utm31n_10m(),
                       rows, progress, trap);
    staging.commit({output.filename()});
  } catch (const std::exception& e) {
    std::cerr << "make_geotiff: " << e.what() << '\n';
    return 1;
  }
  return 0;
}
