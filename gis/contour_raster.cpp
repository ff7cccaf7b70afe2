#include "gis/contour_raster.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

namespace torvanelle::gis {

namespace fs = std::filesystem;

namespace {

/// Refuses what a contour-number raster cannot be: several bands, pixels other than unsigned
/// 8-bit. GDAL 3.6 reads a signed 8-bit GeoTIFF as Byte with PIXELTYPE=SIGNEDBYTE: its
/// negative values would read as 128 to 255.
void check(GDALDataset& ds, const fs::path& source) {
  if (ds.GetRasterCount() != 1) {
    throw Error(source.string() + " has " + std::to_string(ds.GetRasterCount()) +
                " bands: a contour raster has one band of contour numbers");
  }
  GDALRasterBand* band = ds.GetRasterBand(1);
  const GDALDataType type = band->GetRasterDataType();
  const char* pixel_type = band->GetMetadataItem("PIXELTYPE", "IMAGE_STRUCTURE");
  if (type != GDT_Byte || (pixel_type != nullptr && std::string(pixel_type) == "SIGNEDBYTE")) {
    const std::string name = type == GDT_Byte ? "signed 8-bit" : GDALGetDataTypeName(type);
    throw Error(source.string() + " holds " + name +
                " pixels: a contour raster holds unsigned 8-bit pixels (GDAL type Byte)");
  }
}

/// The band's nodata value when a pixel can hold it.
std::optional<std::uint8_t> byte_nodata(GDALRasterBand& band) {
  int has = 0;
  const double v = band.GetNoDataValue(&has);
  if (!has || !(v >= 0 && v <= 255) || v != std::floor(v)) return std::nullopt;
  return static_cast<std::uint8_t>(v);
}

}  // namespace

ContourRaster::ContourRaster(const std::string& path, ErrorTrap& trap, std::ostream& log,
                             torvanelle::cli::Sources& sources)
    : path_(path), trap_(trap), ds_(open_source(path, GDAL_OF_RASTER, trap, sources)) {
  check(*ds_, path);
  GDALRasterBand* band = ds_->GetRasterBand(1);
  nodata_ = byte_nodata(*band);
  if (const char* bits = band->GetMetadataItem("NBITS", "IMAGE_STRUCTURE");
      bits != nullptr && std::string(bits) == "1") {
    log << "warning: " << path
        << " is a 1-bit raster: its 0 and 1 are taken for contour numbers 0 and 1\n";
  }
}

void ContourRaster::read(int first, int count, std::uint8_t* buffer,
                         const ProgressBar::Stage* progress) {
  GDALRasterIOExtraArg extra;
  INIT_RASTERIO_EXTRA_ARG(extra);
  if (progress) {
    extra.pfnProgress = progress->function();
    extra.pProgressData = progress->data();
  }
  if (ds_->GetRasterBand(1)->RasterIO(GF_Read, 0, first, cols(), count, buffer, cols(), count,
                                      GDT_Byte, 0, 0, &extra) != CE_None) {
    throw failure(trap_, "cannot read " + path_.string());
  }
  const std::size_t n = static_cast<std::size_t>(cols()) * static_cast<std::size_t>(count);
  if (nodata_ && *nodata_ != 255) std::replace(buffer, buffer + n, *nodata_, std::uint8_t{255});
  background_.count(buffer, n);
}

void ContourRaster::read_all(std::uint8_t* buffer, const ProgressBar::Stage& progress,
                             std::ostream& log) {
  read(0, lines(), buffer, &progress);
  const std::size_t n = static_cast<std::size_t>(cols()) * static_cast<std::size_t>(lines());
  if (std::all_of(buffer, buffer + n, [](std::uint8_t v) { return v == 255; })) {
    throw Error(path_.string() +
                " holds no contour line: every pixel is 255 or the band's nodata value");
  }
  judge_background(log);
}

void ContourRaster::read_chunks(
    const std::function<void(int first, int count, const std::uint8_t* rows)>& take,
    const ProgressBar::Stage& progress) {
  const int step = chunk_rows(cols());
  std::vector<std::uint8_t> buffer(static_cast<std::size_t>(cols()) * step);
  for (int first = 0; first < lines(); first += step) {
    const int count = std::min(step, lines() - first);
    read(first, count, buffer.data());
    take(first, count, buffer.data());
    progress.at(static_cast<double>(first + count) / lines());
  }
}

void ContourRaster::judge_background(std::ostream& log) const {
  background_.judge(path_.string(), nodata_.has_value(), log);
}

int chunk_rows(int cols) { return std::max(1, (4 << 20) / std::max(cols, 1)); }

}  // namespace torvanelle::gis
