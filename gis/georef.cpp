#include "gis/georef.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <sstream>
#include <string>

#include "gis/gdal.h"

namespace torvanelle::gis {

namespace fs = std::filesystem;

namespace {

// An ENVI header stores a rotated transform as pixel sizes and an angle, which do not give the
// same six numbers back: the header keeps them as written too, under this key.
constexpr const char* exact_transform_key = "torvanelle_geotransform";

std::string exact_text(const std::array<double, 6>& t) {
  std::string text = "{";
  for (std::size_t i = 0; i < t.size(); ++i) {
    char number[32];
    std::snprintf(number, sizeof number, "%.17g", t[i]);
    text += (i ? ", " : "") + std::string(number);
  }
  return text + "}";
}

/// The six numbers of an ENVI header's exact transform, when it has one.
std::optional<std::array<double, 6>> exact_transform(GDALDataset& ds) {
  const char* text = ds.GetMetadataItem(exact_transform_key, "ENVI");
  if (text == nullptr) return std::nullopt;
  std::array<double, 6> t{};
  if (std::sscanf(text, "{%lf, %lf, %lf, %lf, %lf, %lf}", &t[0], &t[1], &t[2], &t[3], &t[4],
                  &t[5]) != 6) {
    return std::nullopt;
  }
  return t;
}

}  // namespace

Georef read_georef(GDALDataset& ds) {
  Georef g;
  g.has_transform = ds.GetGeoTransform(g.transform.data()) == CE_None;
  if (const auto exact = exact_transform(ds); g.has_transform && exact) g.transform = *exact;
  if (const OGRSpatialReference* crs = ds.GetSpatialRef(); crs != nullptr) g.crs = *crs;
  return g;
}

std::optional<PlacedRaster> read_placed(const fs::path& path) {
  std::ostringstream ignored;
  ErrorTrap trap(ignored);
  GDALDatasetUniquePtr ds(
      GDALDataset::Open(path.string().c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY));
  if (!ds) return std::nullopt;
  return PlacedRaster{ds->GetRasterYSize(), ds->GetRasterXSize(), read_georef(*ds)};
}

bool same_place(const Georef& a, const Georef& b, double tolerance) {
  if (a.has_transform != b.has_transform) return false;
  for (std::size_t i = 0; a.has_transform && i < 6; ++i) {
    const double scale = std::max({std::fabs(a.transform[i]), std::fabs(b.transform[i]), 1.0});
    if (!(std::fabs(a.transform[i] - b.transform[i]) <= tolerance * scale)) return false;
  }
  if (a.crs.has_value() != b.crs.has_value()) return false;
  return !a.crs || a.crs->IsSame(&*b.crs);
}

bool apply_georef(GDALDataset& ds, const Georef& g) {
  std::array<double, 6> transform = g.transform;
  if (g.has_transform && ds.SetGeoTransform(transform.data()) != CE_None) return false;
  return !g.crs || ds.SetSpatialRef(&*g.crs) == CE_None;
}

namespace {

/// Whether `a` and `b` agree to a billionth of the larger: equal but for rounding in the file.
bool nearly_equal(double a, double b) {
  return std::abs(a - b) <= 1e-9 * std::max(std::abs(a), std::abs(b));
}

}  // namespace

std::int32_t pixel_size(const Georef& g, std::ostream& log) {
  if (!g.has_transform) {
    log << "warning: the source has no georeference: pixel size 1, and the sidecar places the "
           "raster nowhere\n";
    return 1;
  }
  const auto& t = g.transform;
  const double width = std::hypot(t[1], t[4]);   // length of one column step on the map
  const double height = std::hypot(t[2], t[5]);  // length of one row step
  if (!nearly_equal(width, height)) {
    log << "warning: the pixels are not square (" << width << " by " << height
        << " CRS units): the descriptor's pixel size is their width\n";
  }
  const double rounded = std::round(width);
  if (!(rounded <= std::numeric_limits<std::int32_t>::max())) {
    throw Error("a pixel width of " + std::to_string(width) +
                " CRS units does not fit the descriptor");
  }
  if (!nearly_equal(width, rounded)) {
    log << "warning: the pixel width " << width << " is not a whole number of CRS units: the "
        << "descriptor's pixel size is " << rounded << '\n';
  }
  return static_cast<std::int32_t>(rounded);
}

GDALDatasetUniquePtr create_envi(const fs::path& raw, int lines, int cols, const Georef& g,
                                 ErrorTrap& trap) {
  GDALDatasetUniquePtr ds(
      driver("ENVI").Create(raw.string().c_str(), cols, lines, 1, GDT_Byte, nullptr));
  if (!ds || !apply_georef(*ds, g) || ds->GetRasterBand(1)->SetNoDataValue(255) != CE_None ||
      (g.has_transform && ds->SetMetadataItem(exact_transform_key, exact_text(g.transform).c_str(),
                                              "ENVI") != CE_None)) {
    throw failure(trap, "cannot create " + raw.string());
  }
  // The dataset's description is what the header's "description" records; GDAL set it to the
  // path it was given.
  ds->SetDescription(raw.filename().string().c_str());
  return ds;
}

}  // namespace torvanelle::gis
