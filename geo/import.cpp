// torvanelle-geo import: a contour raster that GDAL reads, into the program's raw raster and
// descriptor, with the ENVI header that keeps its place on the map.
#include <string>
#include <vector>

#include "geo/commands.h"
#include "geo/geotiff.h"
#include "geo/program_files.h"
#include "gis/contour_raster.h"
#include "gis/datasets.h"

namespace geo {

namespace fs = std::filesystem;

namespace {

/// Copies the pixels of `from` to `to`, nodata pixels made the background.
void copy_pixels(gis::ContourRaster& from, GDALRasterBand& to, const fs::path& shown,
                 gis::ErrorTrap& trap, const gis::Progress::Stage& progress) {
  const int cols = from.cols(), lines = from.lines(), step = gis::chunk_rows(cols);
  std::vector<std::uint8_t> buffer(static_cast<std::size_t>(cols) * step);
  for (int first = 0; first < lines; first += step) {
    const int count = std::min(step, lines - first);
    from.read(first, count, buffer.data());
    if (to.RasterIO(GF_Write, 0, first, cols, count, buffer.data(), cols, count, GDT_Byte, 0, 0,
                    nullptr) != CE_None) {
      throw gis::failure(trap, "cannot write " + shown.string());
    }
    progress.at(static_cast<double>(first + count) / lines);
  }
}

}  // namespace

void import_raster(torvanelle::cli::Command& command, const std::string& source,
                   const fs::path& dest_path, const gis::Progress& progress, std::ostream& log) {
  gis::ErrorTrap trap(log);
  const fs::path dest = stem_of(dest_path);
  const fs::path raw = with_extension(dest, ".raw"), txt = with_extension(dest, ".txt"),
                 hdr = with_extension(dest, ".hdr");
  gis::ContourRaster src(source, trap, log, command.sources);
  const Descriptor d = describe(src.dataset(), src.georef(), log);
  const fs::path staged = gis::add_output(command, raw, trap, {});
  const fs::path staged_txt = command.outputs.add_beside(raw, txt, command.sources);
  command.outputs.add_beside(raw, hdr, command.sources);

  GDALDatasetUniquePtr out = gis::create_envi(staged, d.nb_lig, d.nb_col, src.georef(), trap);
  {
    const auto copying = progress.stage(0, 0.9);
    copy_pixels(src, *out->GetRasterBand(1), raw, trap, copying);
  }
  gis::close(out, trap, raw);
  // The header driver may round a tiny raster's file up; the program's raster is exactly its
  // pixels.
  std::error_code ec;
  fs::resize_file(staged, static_cast<std::uintmax_t>(d.nb_lig) * d.nb_col, ec);
  if (ec) throw gis::Error("cannot write " + raw.string() + ": " + ec.message());
  gis::verify_raster(staged, d.nb_lig, d.nb_col, raw, trap);
  write_descriptor(staged_txt, d, txt);
  trap.raise_pending("cannot write " + raw.string());
  src.warn_if_no_background(log);
  progress.done();
}

}  // namespace geo
