#include "tools/dem/output.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>

#include <cpl_string.h>

#include "gis/contour_raster.h"
#include "gis/metadata_items.h"

namespace torvanelle::dem::tool {
namespace {

/// Where `model` holds an infinite elevation, or nothing when it holds none. NaN is nodata.
std::optional<std::size_t> first_infinite(const Model& model) {
  const auto at =
      std::find_if(model.z.begin(), model.z.end(), [](float v) { return std::isinf(v); });
  if (at == model.z.end()) return std::nullopt;
  return static_cast<std::size_t>(at - model.z.begin());
}

/// Georeference, nodata and range: everything but the pixels.
bool describe_output(GDALDataset& ds, const Model& model, const gis::Georef& g) {
  const auto item = [&ds](const char* key, float v) {
    return ds.SetMetadataItem(key, CPLSPrintf("%.9g", static_cast<double>(v))) == CE_None;
  };
  return gis::apply_georef(ds, g) && ds.GetRasterBand(1)->SetNoDataValue(std::nan("")) == CE_None &&
         item(gis::items::elevation_min, model.min) && item(gis::items::elevation_max, model.max);
}

}  // namespace

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
                 const gis::ProgressBar::Stage& progress, gis::ErrorTrap& trap,
                 const std::filesystem::path& shown) {
  // Levels in range never give an infinite elevation; a file of +inf would still open as a
  // model, so none is written.
  if (const std::optional<std::size_t> n = first_infinite(model)) {
    throw gis::Error("cannot write " + shown.string() +
                     ": the elevation model holds an infinite elevation, at row " +
                     std::to_string(*n / static_cast<std::size_t>(model.cols)) + ", column " +
                     std::to_string(*n % static_cast<std::size_t>(model.cols)));
  }
  if (!describe_output(out.dataset(), model, g))
    throw gis::failure(trap, "cannot create " + shown.string() +
                                 ": its format cannot record the model's georeference, nodata "
                                 "value or metadata; choose another format (.tif)");
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
