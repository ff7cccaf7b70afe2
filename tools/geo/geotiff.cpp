#include "tools/geo/geotiff.h"

#include <algorithm>
#include <string>
#include <vector>

#include <cpl_string.h>

#include "tools/palette.h"

namespace geo {

namespace {

/// Contour number k in the preview's colour for k, the background (255) white.
GDALColorTable contour_colours() {
  GDALColorTable table;
  for (int k = 0; k < 256; ++k) {
    const palette::Rgb c = palette::colour(static_cast<std::uint8_t>(k));
    const GDALColorEntry entry = {c.r, c.g, c.b, 255};
    table.SetColorEntry(k, &entry);
  }
  return table;
}

/// Georeference, nodata, colours and altitudes: everything but the pixels.
bool describe(GDALDataset& ds, const Descriptor& d, const Georef& g) {
  GDALRasterBand* band = ds.GetRasterBand(1);
  GDALColorTable colours = contour_colours();
  return apply_georef(ds, g) && band->SetNoDataValue(255) == CE_None &&
         band->SetColorTable(&colours) == CE_None &&
         ds.SetMetadataItem(lowest_altitude_key, std::to_string(d.min_al).c_str()) == CE_None &&
         ds.SetMetadataItem(highest_altitude_key, std::to_string(d.max_al).c_str()) == CE_None;
}

}  // namespace

int chunk_rows(int cols) { return std::max(1, (4 << 20) / std::max(cols, 1)); }

void write_geotiff(const std::filesystem::path& path, const Descriptor& d, const Georef& g,
                   const RowSource& rows, Progress& progress, ErrorTrap& trap) {
  CPLStringList options;
  options.SetNameValue("TILED", "YES");
  options.SetNameValue("COMPRESS", "DEFLATE");
  options.SetNameValue("BIGTIFF", "IF_SAFER");
  GDALDatasetUniquePtr ds(driver("GTiff").Create(path.string().c_str(), d.nb_col, d.nb_lig, 1,
                                                 GDT_Byte, options.List()));
  if (!ds || !describe(*ds, d, g)) throw failure(trap, "cannot create " + path.string());
  const int step = chunk_rows(d.nb_col);
  std::vector<std::uint8_t> buffer(static_cast<std::size_t>(d.nb_col) * step);
  for (int first = 0; first < d.nb_lig; first += step) {
    const int count = std::min(step, d.nb_lig - first);
    rows(first, count, buffer.data());
    if (ds->GetRasterBand(1)->RasterIO(GF_Write, 0, first, d.nb_col, count, buffer.data(), d.nb_col,
                                       count, GDT_Byte, 0, 0, nullptr) != CE_None) {
      throw failure(trap, "cannot write " + path.string());
    }
    // The last tiles are compressed and written when the file closes: keep a tenth for that.
    progress.update(0.9 * (first + count) / d.nb_lig);
  }
  close(ds, trap, path);
  progress.update(1);
}

}  // namespace geo
