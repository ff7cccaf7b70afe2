// torvanelle-geo import: a single-band 8-bit raster that GDAL reads, into the program's raw
// raster and descriptor, with the ENVI header that keeps its place on the map.
#include <charconv>
#include <cmath>
#include <string>
#include <vector>

#include "tools/geo/commands.h"
#include "tools/geo/gdal_support.h"
#include "tools/geo/georef.h"
#include "tools/geo/geotiff.h"
#include "tools/geo/program_files.h"
#include "tools/geo/staging.h"

namespace geo {

namespace fs = std::filesystem;

namespace {

/// Refuses what the program's raster cannot hold: several bands, pixels other than unsigned
/// 8-bit.
void check_source(GDALDataset& ds, const fs::path& source) {
  if (ds.GetRasterCount() != 1) {
    throw Error(source.string() + " has " + std::to_string(ds.GetRasterCount()) +
                " bands: only a single-band raster can be imported");
  }
  GDALRasterBand* band = ds.GetRasterBand(1);
  const GDALDataType type = band->GetRasterDataType();
  const char* pixel_type = band->GetMetadataItem("PIXELTYPE", "IMAGE_STRUCTURE");
  if (type != GDT_Byte || (pixel_type != nullptr && std::string(pixel_type) == "SIGNEDBYTE")) {
    const std::string name = type == GDT_Byte ? "signed 8-bit" : GDALGetDataTypeName(type);
    throw Error(source.string() + " holds " + name +
                " pixels: only 8-bit rasters (GDAL type Byte) can be imported");
  }
}

/// Refuses a DEST the import must not write: a folder that does not exist, files already there.
void check_destination(const fs::path& dest, bool force) {
  const fs::path folder = dest.parent_path().empty() ? fs::path(".") : dest.parent_path();
  std::error_code ec;
  if (!fs::is_directory(folder, ec))
    throw Error("the folder " + folder.string() + " does not exist");
  if (force) return;
  for (const char* ext : {".raw", ".txt", ".hdr"}) {
    const fs::path existing = with_extension(dest, ext);
    if (fs::exists(existing, ec) || fs::is_symlink(existing, ec)) {
      throw Error(existing.string() + " exists (--force replaces it)");
    }
  }
}

/// A whole number recorded as metadata item `key` of the dataset or else of its band.
std::optional<std::int32_t> altitude(GDALDataset& ds, const char* key, std::ostream& log) {
  const char* text = ds.GetMetadataItem(key);
  if (text == nullptr) text = ds.GetRasterBand(1)->GetMetadataItem(key);
  if (text == nullptr) return std::nullopt;
  const std::string_view s(text);
  std::int32_t value = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
  if (ec == std::errc() && end == s.data() + s.size()) return value;
  log << "warning: the metadata item " << key << " = " << s << " is not a whole number\n";
  return std::nullopt;
}

Descriptor describe(GDALDataset& ds, const Georef& g, std::ostream& log) {
  Descriptor d;
  d.type = 1;
  d.nb_lig = ds.GetRasterYSize();
  d.nb_col = ds.GetRasterXSize();
  d.min_al = altitude(ds, lowest_altitude_key, log).value_or(0);
  d.max_al = altitude(ds, highest_altitude_key, log).value_or(255);
  d.taille_pix = pixel_size(g, log);
  return d;
}

/// The source's nodata value when a pixel can hold it.
std::optional<std::uint8_t> byte_nodata(GDALRasterBand& band) {
  int has = 0;
  const double v = band.GetNoDataValue(&has);
  if (!has || !(v >= 0 && v <= 255) || v != std::floor(v)) return std::nullopt;
  return static_cast<std::uint8_t>(v);
}

/// Copies the pixels of `from` to `to`, nodata pixels made the background.
void copy_pixels(GDALRasterBand& from, GDALRasterBand& to, const fs::path& source, ErrorTrap& trap,
                 Progress& progress) {
  const int cols = from.GetXSize(), lines = from.GetYSize(), step = chunk_rows(cols);
  const std::optional<std::uint8_t> nodata = byte_nodata(from);
  std::vector<std::uint8_t> buffer(static_cast<std::size_t>(cols) * step);
  for (int first = 0; first < lines; first += step) {
    const int count = std::min(step, lines - first);
    if (from.RasterIO(GF_Read, 0, first, cols, count, buffer.data(), cols, count, GDT_Byte, 0, 0,
                      nullptr) != CE_None) {
      throw failure(trap, "cannot read " + source.string());
    }
    if (nodata && *nodata != 255)
      std::replace(buffer.begin(), buffer.end(), *nodata, std::uint8_t{255});
    if (to.RasterIO(GF_Write, 0, first, cols, count, buffer.data(), cols, count, GDT_Byte, 0, 0,
                    nullptr) != CE_None) {
      throw failure(trap, "cannot write the raster");
    }
    progress.update(0.95 * (first + count) / lines);
  }
}

}  // namespace

void import_raster(const fs::path& source, const fs::path& dest_path, const ImportOptions& options,
                   std::ostream& log) {
  ErrorTrap trap(log);
  const fs::path dest = stem_of(dest_path);
  GDALDatasetUniquePtr src = open_raster(source, trap);
  check_source(*src, source);
  check_destination(dest, options.force);
  const Georef g = read_georef(*src);
  const Descriptor d = describe(*src, g, log);

  Staging staging(dest.parent_path());
  const fs::path name = dest.filename();
  const fs::path raw = staging.file(with_extension(name, ".raw"));
  GDALDatasetUniquePtr out = create_envi(raw, d.nb_lig, d.nb_col, g, trap);
  Progress progress(log, "import");
  copy_pixels(*src->GetRasterBand(1), *out->GetRasterBand(1), source, trap, progress);
  close(out, trap, with_extension(dest, ".raw"));
  write_descriptor(staging.file(with_extension(name, ".txt")), d);
  staging.commit(
      {with_extension(name, ".raw"), with_extension(name, ".hdr"), with_extension(name, ".txt")});
  progress.update(1);
}

}  // namespace geo
