#include "tools/geo/geotiff.h"

#include <algorithm>
#include <charconv>
#include <string>
#include <vector>

#include <cpl_string.h>

#include "base/palette.h"
#include "gis/contour_raster.h"
#include "gis/metadata_items.h"
#include "gis/raster_output.h"

namespace torvanelle::geo {

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

/// Georeference, nodata, colours and altitudes: everything but the pixels. A GeoPackage gets no
/// colours: its tiles would hold them in place of the numbers, which it keeps only in grey.
bool describe_output(GDALDataset& ds, const Descriptor& d, const gis::Georef& g) {
  GDALRasterBand* band = ds.GetRasterBand(1);
  GDALColorTable colours = contour_colours();
  const bool paletted = std::string_view(ds.GetDriverName()) != "GPKG";
  return gis::apply_georef(ds, g) && band->SetNoDataValue(255) == CE_None &&
         (!paletted || band->SetColorTable(&colours) == CE_None) &&
         ds.SetMetadataItem(gis::items::lowest_altitude, std::to_string(d.min_al).c_str()) ==
             CE_None &&
         ds.SetMetadataItem(gis::items::highest_altitude, std::to_string(d.max_al).c_str()) ==
             CE_None;
}

/// A whole number recorded as metadata item `key` of the dataset or else of its band.
std::optional<std::int32_t> altitude(GDALDataset& ds, const char* key, std::ostream& log) {
  const char* text = gis::items::text_of(ds, key);
  if (text == nullptr) return std::nullopt;
  const std::string_view s(text);
  std::int32_t value = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
  if (ec == std::errc() && end == s.data() + s.size()) return value;
  log << "warning: the metadata item " << key << " = " << s << " is not a whole number\n";
  return std::nullopt;
}

}  // namespace

Descriptor describe(GDALDataset& ds, const gis::Georef& g, std::ostream& log) {
  Descriptor d;
  d.type = 1;
  d.nb_lig = ds.GetRasterYSize();
  d.nb_col = ds.GetRasterXSize();
  d.min_al = altitude(ds, gis::items::lowest_altitude, log).value_or(0);
  d.max_al = altitude(ds, gis::items::highest_altitude, log).value_or(255);
  d.taille_pix = gis::pixel_size(g, log);
  return d;
}

std::unique_ptr<gis::RasterOutput> create_contour_raster(torvanelle::cli::Command& command,
                                                         const std::filesystem::path& output,
                                                         const std::string& format,
                                                         const Descriptor& d, const gis::Georef& g,
                                                         gis::ErrorTrap& trap) {
  CPLStringList options;
  options.SetNameValue("TILED", "YES");
  options.SetNameValue("COMPRESS", "DEFLATE");
  options.SetNameValue("BIGTIFF", "IF_SAFER");
  // Tiles are compressed on every core; each tile alone, so the file is the same.
  options.SetNameValue("NUM_THREADS", "ALL_CPUS");
  auto out = gis::create_raster_output(command, output, format, d.nb_col, d.nb_lig, GDT_Byte,
                                       options, trap);
  if (!describe_output(out->dataset(), d, g))
    throw gis::failure(trap, "cannot create " + output.string() +
                                 ": its format cannot record the raster's georeference, nodata "
                                 "value, colours or metadata; choose another format (.tif)");
  return out;
}

void write_contour_raster(gis::RasterOutput& out, const Descriptor& d, const gis::Georef& g,
                          const RowSource& rows, const gis::ProgressBar::Stage& progress) {
  const int step = gis::chunk_rows(d.nb_col);
  std::vector<std::uint8_t> buffer(static_cast<std::size_t>(d.nb_col) * step);
  for (int first = 0; first < d.nb_lig; first += step) {
    const int count = std::min(step, d.nb_lig - first);
    rows(first, count, buffer.data());
    out.write(first, count, buffer.data());
    // The last tiles are compressed and written when the file closes: keep a tenth for that.
    progress.at(0.9 * (first + count) / d.nb_lig);
  }
  out.finish(g);
  progress.at(1);
}

}  // namespace torvanelle::geo
