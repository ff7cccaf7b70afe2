#include "dem/tool/output.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <optional>
#include <string>
#include <string_view>

#include <cpl_string.h>

#include "gis/contour_raster.h"

namespace torvanelle::dem::tool {
namespace {

/// The number in metadata item `key` of `ds` or else of its band; nothing when absent; throws
/// when present and not a number.
std::optional<double> number_item(GDALDataset& ds, const char* key,
                                  const std::filesystem::path& shown) {
  const char* text = ds.GetMetadataItem(key);
  if (text == nullptr) text = ds.GetRasterBand(1)->GetMetadataItem(key);
  if (text == nullptr) return std::nullopt;
  const std::string_view s(text);
  double value = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
  if (ec != std::errc() || end != s.data() + s.size() || !std::isfinite(value)) {
    throw gis::Error(shown.string() + ": the metadata item " + key + " = '" + std::string(s) +
                     "' is not a number");
  }
  return value;
}

/// Georeference, nodata and range: everything but the pixels.
bool describe_output(GDALDataset& ds, const Model& model, const gis::Georef& g) {
  const auto item = [&ds](const char* key, float v) {
    return ds.SetMetadataItem(key, CPLSPrintf("%.9g", static_cast<double>(v))) == CE_None;
  };
  return gis::apply_georef(ds, g) && ds.GetRasterBand(1)->SetNoDataValue(std::nan("")) == CE_None &&
         item(lowest_key, model.min) && item(highest_key, model.max);
}

}  // namespace

Levels levels_of(GDALDataset& source, const std::filesystem::path& shown) {
  const std::optional<double> base = number_item(source, base_key, shown);
  const std::optional<double> interval = number_item(source, interval_key, shown);
  if (!base || !interval) {
    throw gis::Error(shown.string() +
                     ": no base and interval: give --base and --interval, or the source the "
                     "metadata items BASE and INTERVAL");
  }
  if (!(*interval > 0)) {
    throw gis::Error(shown.string() + ": the metadata item INTERVAL must be positive");
  }
  return {*base, *interval};
}

std::unique_ptr<gis::RasterOutput> create_model_output(cli::Command& command,
                                                       const std::filesystem::path& output,
                                                       const std::string& format, int cols,
                                                       int rows, gis::ErrorTrap& trap) {
  CPLStringList options;
  options.SetNameValue("TILED", "YES");
  options.SetNameValue("COMPRESS", "DEFLATE");
  options.SetNameValue("PREDICTOR", "3");  // floating point: differences compress better
  options.SetNameValue("BIGTIFF", "IF_SAFER");
  options.SetNameValue("NUM_THREADS", "ALL_CPUS");
  return gis::create_raster_output(command, output, format, cols, rows, GDT_Float32, options, trap);
}

void write_model(gis::RasterOutput& out, const Model& model, const gis::Georef& g,
                 const gis::Progress::Stage& progress, gis::ErrorTrap& trap,
                 const std::filesystem::path& shown) {
  if (!describe_output(out.dataset(), model, g))
    throw gis::failure(trap, "cannot create " + shown.string());
  const int step = gis::chunk_rows(model.cols * 4);
  for (int first = 0; first < model.rows; first += step) {
    const int count = std::min(step, model.rows - first);
    out.write(first, count, model.z.data() + static_cast<std::size_t>(first) * model.cols);
    // The last tiles are compressed and written when the file closes: keep a tenth for that.
    progress.at(0.9 * (first + count) / model.rows);
  }
  out.finish(g);
  progress.at(1);
}

}  // namespace torvanelle::dem::tool
