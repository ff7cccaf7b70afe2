#include "vector/tool/source.h"

#include <gdal_priv.h>
#include <ogr_spatialref.h>
#include <cmath>

namespace torvanelle::vect::tool {
namespace {

struct Closer {
  void operator()(GDALDataset* d) const { GDALClose(d); }
};
using Dataset = std::unique_ptr<GDALDataset, Closer>;

/// Why the dataset cannot be read as contour numbers, or "" when it can.
std::string unfit(GDALDataset& d) {
  const int bands = d.GetRasterCount();
  if (bands != 1) {
    return "has " + std::to_string(bands) +
           " bands: torvanelle-vect reads rasters of one band of contour numbers";
  }
  const GDALDataType type = d.GetRasterBand(1)->GetRasterDataType();
  if (type != GDT_Byte) {
    return "holds " + std::string(GDALGetDataTypeName(type)) +
           " pixels: torvanelle-vect reads 8-bit contour numbers";
  }
  return "";
}

/// Makes the pixels holding the band's nodata value, when it is a contour number, no_line.
void clear_nodata(GDALRasterBand& band, Image& image) {
  int has = 0;
  const double nodata = band.GetNoDataValue(&has);
  if (!has || nodata < 0 || nodata >= no_line || nodata != std::floor(nodata)) return;
  const auto value = static_cast<std::uint8_t>(nodata);
  for (std::uint8_t& v : image.px) {
    if (v == value) v = no_line;
  }
}

}  // namespace

std::optional<Source> read_source(const std::string& path, std::string& error, Progress& progress) {
  CPLErrorReset();
  Dataset d(GDALDataset::Open(path.c_str(), GDAL_OF_RASTER));
  if (!d) {
    error = "cannot open '" + path + "' as a raster: " + CPLGetLastErrorMsg();
    return std::nullopt;
  }
  if (const std::string why = unfit(*d); !why.empty()) {
    error = "'" + path + "' " + why;
    return std::nullopt;
  }
  Source s;
  const int cols = d->GetRasterXSize(), rows = d->GetRasterYSize();
  s.image = Image(rows, cols);
  progress.raster(1LL * cols * rows);
  progress.stage("reading " + std::to_string(cols) + " x " + std::to_string(rows) + " pixels");
  GDALRasterIOExtraArg extra;
  INIT_RASTERIO_EXTRA_ARG(extra);
  extra.pfnProgress = Progress::report;
  extra.pProgressData = &progress;
  GDALRasterBand* band = d->GetRasterBand(1);
  if (band->RasterIO(GF_Read, 0, 0, cols, rows, s.image.px.data(), cols, rows, GDT_Byte, 0, 0,
                     &extra) != CE_None) {
    error = "cannot read the pixels of '" + path + "': " + CPLGetLastErrorMsg();
    return std::nullopt;
  }
  progress.done();
  clear_nodata(*band, s.image);
  if (d->GetGeoTransform(s.transform.data()) != CE_None) s.transform = {0, 1, 0, 0, 0, 1};
  if (const OGRSpatialReference* crs = d->GetSpatialRef(); crs != nullptr)
    s.crs.reset(crs->Clone(), [](OGRSpatialReference* c) { c->Release(); });
  return s;
}

}  // namespace torvanelle::vect::tool
