// torvanelle-geo import: a contour raster that GDAL reads, into the program's raw raster and
// descriptor, with the ENVI header that keeps its place on the map.
#include <string>

#include "gis/contour_raster.h"
#include "gis/datasets.h"
#include "tools/geo/commands.h"
#include "tools/geo/geotiff.h"
#include "tools/geo/program_files.h"

namespace torvanelle::geo {

namespace fs = std::filesystem;

void import_raster(torvanelle::cli::Command& command, const std::string& source,
                   const fs::path& dest_path, const gis::ProgressBar& progress, std::ostream& log) {
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
    GDALRasterBand& band = *out->GetRasterBand(1);
    src.read_chunks(
        [&](int first, int count, const std::uint8_t* rows) {
          // RasterIO takes a writable buffer even to write from it.
          auto* pixels = const_cast<std::uint8_t*>(rows);
          if (band.RasterIO(GF_Write, 0, first, d.nb_col, count, pixels, d.nb_col, count, GDT_Byte,
                            0, 0, nullptr) != CE_None) {
            throw gis::failure(trap, "cannot write " + raw.string());
          }
        },
        copying);
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
  src.judge_background(log);
  progress.done();
}

}  // namespace torvanelle::geo
