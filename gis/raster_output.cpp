#include "gis/raster_output.h"

#include <cmath>
#include <cstring>
#include <vector>

#include <cpl_conv.h>

#include <ogrsf_frmts.h>

#include "gis/contour_raster.h"
#include "gis/datasets.h"

namespace torvanelle::gis {

namespace fs = std::filesystem;

namespace {

/// Folds `bytes` into `digest` (FNV-1a), a NaN of any payload as one value.
std::uint64_t fold(std::uint64_t digest, const void* data, std::size_t count, GDALDataType type) {
  const auto* p = static_cast<const unsigned char*>(data);
  const std::size_t size = static_cast<std::size_t>(GDALGetDataTypeSizeBytes(type));
  for (std::size_t i = 0; i < count; ++i, p += size) {
    unsigned char value[8] = {};
    std::memcpy(value, p, size);
    if (type == GDT_Float32) {
      float f;
      std::memcpy(&f, p, sizeof f);
      if (std::isnan(f)) std::memset(value, 0xff, size);
    }
    for (std::size_t b = 0; b < size; ++b)
      digest = (digest ^ value[b]) * 1099511628211ULL;
  }
  return digest;
}

/// Formats that keep a raster's place only in a .aux.xml beside it.
class AuxFiles {
 public:
  explicit AuxFiles(bool wanted) : wanted_(wanted) {
    if (wanted_) CPLSetThreadLocalConfigOption("GDAL_PAM_ENABLED", "YES");
  }
  ~AuxFiles() {
    if (wanted_) CPLSetThreadLocalConfigOption("GDAL_PAM_ENABLED", nullptr);
  }

 private:
  bool wanted_;
};

}  // namespace

RasterOutput::RasterOutput(GDALDriver& driver, const fs::path& path, int cols, int rows,
                           GDALDataType type, const CPLStringList& gtiff_options, ErrorTrap& trap,
                           const fs::path& shown)
    : RasterOutput(driver, path, cols, rows, type,
                   EQUAL(driver.GetDescription(), "GTiff") ? gtiff_options : CPLStringList(),
                   path.string(), trap, shown) {}

RasterOutput::RasterOutput(GDALDriver& driver, const fs::path& path, int cols, int rows,
                           GDALDataType type, const CPLStringList& options,
                           const std::string& read_back, ErrorTrap& trap, const fs::path& shown)
    : driver_(driver),
      path_(path),
      shown_(shown),
      read_back_(read_back),
      type_(type),
      trap_(trap),
      copied_(driver.GetMetadataItem(GDAL_DCAP_CREATE) == nullptr) {
  const bool gtiff = EQUAL(driver.GetDescription(), "GTiff");
  const AuxFiles aux(!gtiff);
  if (copied_) {
    ds_.reset(GDALDriver::FromHandle(GDALGetDriverByName("MEM"))
                  ->Create("", cols, rows, 1, type, nullptr));
  } else {
    ds_.reset(driver.Create(path.string().c_str(), cols, rows, 1, type, options.List()));
  }
  if (!ds_) throw failure(trap, "cannot create " + shown.string());
}

RasterOutput::~RasterOutput() = default;

void RasterOutput::write(int first, int count, const void* buffer) {
  const int cols = ds_->GetRasterXSize();
  if (ds_->GetRasterBand(1)->RasterIO(GF_Write, 0, first, cols, count, const_cast<void*>(buffer),
                                      cols, count, type_, 0, 0, nullptr) != CE_None) {
    throw failure(trap_, "cannot write " + shown_.string());
  }
  digest_ = fold(digest_, buffer, static_cast<std::size_t>(cols) * count, type_);
}

void RasterOutput::finish(const Georef& g) {
  const AuxFiles aux(!EQUAL(driver_.GetDescription(), "GTiff"));
  const int cols = ds_->GetRasterXSize(), rows = ds_->GetRasterYSize();
  if (copied_) {
    GDALDatasetUniquePtr file(
        driver_.CreateCopy(path_.string().c_str(), ds_.get(), TRUE, nullptr, nullptr, nullptr));
    ds_.reset();
    if (!file) throw failure(trap_, "cannot write " + shown_.string());
    close(file, trap_, shown_);
  } else {
    close(ds_, trap_, shown_);
  }
  GDALDatasetUniquePtr back(
      GDALDataset::Open(read_back_.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY));
  if (!back || back->GetRasterXSize() != cols || back->GetRasterYSize() != rows)
    throw failure(trap_, "cannot write " + shown_.string() + ": the file written is not whole");
  const std::string format = driver_.GetDescription();
  if (!same_place(read_georef(*back), g, 1e-9)) {
    throw Error("cannot write " + shown_.string() + ": the format " + format +
                " does not keep its place on the map; choose another format (.tif)");
  }
  const int step = chunk_rows(cols * GDALGetDataTypeSizeBytes(type_));
  std::vector<unsigned char> buffer(static_cast<std::size_t>(cols) * step *
                                    GDALGetDataTypeSizeBytes(type_));
  std::uint64_t digest = 0;
  for (int first = 0; first < rows; first += step) {
    const int count = std::min(step, rows - first);
    if (back->GetRasterBand(1)->RasterIO(GF_Read, 0, first, cols, count, buffer.data(), cols, count,
                                         type_, 0, 0, nullptr) != CE_None)
      throw failure(trap_, "cannot write " + shown_.string() + ": the file written is not whole");
    digest = fold(digest, buffer.data(), static_cast<std::size_t>(cols) * count, type_);
  }
  if (digest != digest_) {
    throw Error("cannot write " + shown_.string() + ": the format " + format +
                " does not keep the values written; choose another format (.tif)");
  }
}

namespace {

/// Whether the GeoPackage `ds` holds a table `name`.
bool holds_table(GDALDataset& ds, const std::string& name) {
  const std::string sql =
      "SELECT 1 FROM sqlite_master WHERE type = 'table' AND lower(name) = "
      "lower('" +
      name + "')";
  OGRLayer* found = ds.ExecuteSQL(sql.c_str(), nullptr, nullptr);
  const bool held = found != nullptr && found->GetFeatureCount() > 0;
  if (found != nullptr) ds.ReleaseResultSet(found);
  return held;
}

}  // namespace

std::unique_ptr<RasterOutput> create_raster_output(
    torvanelle::cli::Command& command, const fs::path& output, const std::string& format, int cols,
    int rows, GDALDataType type, const CPLStringList& gtiff_options, ErrorTrap& trap) {
  GDALDriver& d = output_driver(output, format, GDAL_DCAP_RASTER);
  std::error_code ec;
  const bool container = EQUAL(d.GetDescription(), "GPKG") && fs::exists(output, ec);
  const fs::path staged = add_output(command, output, trap, {}, container);
  if (!container)
    return std::make_unique<RasterOutput>(d, staged, cols, rows, type, gtiff_options, trap, output);
  const std::string table = output.stem().string();
  if (table.find('\'') != std::string::npos)
    throw Error(output.string() + ": a table name cannot hold a quote");
  {
    GDALDatasetUniquePtr copy(GDALDataset::Open(staged.string().c_str(),
                                                GDAL_OF_RASTER | GDAL_OF_VECTOR | GDAL_OF_UPDATE));
    if (!copy) throw failure(trap, "cannot read " + output.string());
    if (holds_table(*copy, table)) {
      if (!command.outputs.overwrite())
        throw Error(output.string() + " already holds a table " + table +
                    ": give --overwrite to replace it");
      copy->ExecuteSQL(("DROP TABLE \"" + table + "\"").c_str(), nullptr, nullptr);
    }
    close(copy, trap, output);
  }
  CPLStringList options;
  options.SetNameValue("APPEND_SUBDATASET", "YES");
  options.SetNameValue("RASTER_TABLE", table.c_str());
  return std::make_unique<RasterOutput>(d, staged, cols, rows, type, options,
                                        "GPKG:" + staged.string() + ":" + table, trap, output);
}

}  // namespace torvanelle::gis
