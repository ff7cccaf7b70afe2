#include "dem/tool/output.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <cpl_string.h>

#include "dem/tool/options.h"
#include "gis/contour_raster.h"

namespace torvanelle::dem::tool {
namespace {

/// `x` as a person writes it: 1000000, 0.5, 1e-06.
std::string shown_number(double x) { return CPLSPrintf("%.15g", x); }

/// The number in metadata item `key` of `ds` or else of its band; nothing when absent; throws
/// when present and not a number within `range`.
std::optional<double> number_item(GDALDataset& ds, const char* key, Range range,
                                  const std::filesystem::path& shown) {
  const char* text = ds.GetMetadataItem(key);
  if (text == nullptr) text = ds.GetRasterBand(1)->GetMetadataItem(key);
  if (text == nullptr) return std::nullopt;
  const std::string_view s(text);
  double value = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
  // A level out of range would make elevations no Float32 holds: +inf for BASE=1e300.
  if (ec != std::errc() || end != s.data() + s.size() || !range.holds(value)) {
    throw gis::Error(shown.string() + ": the metadata item " + key + " must be a number from " +
                     shown_number(range.low) + " to " + shown_number(range.high) + ", not '" +
                     std::string(s) + "'");
  }
  return value;
}

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
         item(lowest_key, model.min) && item(highest_key, model.max);
}

}  // namespace

Levels levels_of(GDALDataset& source, const std::filesystem::path& shown) {
  const std::optional<double> base = number_item(source, base_key, base_range, shown);
  const std::optional<double> interval = number_item(source, interval_key, interval_range, shown);
  if (!base || !interval) {
    throw gis::Error(shown.string() +
                     ": no base and interval: give --base and --interval, or the source the "
                     "metadata items BASE and INTERVAL");
  }
  return {*base, *interval};
}

void check_lines(const vect::Image& contours, const std::filesystem::path& shown) {
  const bool any = std::any_of(contours.px.begin(), contours.px.end(),
                               [](std::uint8_t v) { return v != vect::no_line; });
  if (!any) {
    // The model would be nodata everywhere: a wrong band or nodata value, not a map to keep.
    throw gis::Error(shown.string() +
                     " holds no contour line: every pixel is 255 or the band's nodata value");
  }
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
