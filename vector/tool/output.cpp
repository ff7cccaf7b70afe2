#include "vector/tool/output.h"

#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include <memory>
#include <random>
#include <set>
#include <system_error>

namespace torvanelle::vect::tool {
namespace fs = std::filesystem;

namespace {

struct Closer {
  void operator()(GDALDataset* d) const { GDALClose(d); }
};
using Dataset = std::unique_ptr<GDALDataset, Closer>;

GDALDriver* vector_driver(const std::string& name) {
  GDALDriver* d = GetGDALDriverManager()->GetDriverByName(name.c_str());
  const bool fit = d != nullptr && d->GetMetadataItem(GDAL_DCAP_VECTOR) != nullptr &&
                   d->GetMetadataItem(GDAL_DCAP_CREATE) != nullptr;
  return fit ? d : nullptr;
}

fs::path folder_of(const fs::path& output) {
  return output.has_parent_path() ? output.parent_path() : fs::path(".");
}

/// The files of the dataset at `output` as GDAL sees them, or the file alone.
std::vector<fs::path> dataset_files(const fs::path& output) {
  std::vector<fs::path> files;
  Dataset old(GDALDataset::Open(output.string().c_str(), GDAL_OF_VECTOR));
  if (old) {
    char** list = old->GetFileList();
    for (char** f = list; f != nullptr && *f != nullptr; ++f)
      files.emplace_back(*f);
    CSLDestroy(list);
  }
  if (files.empty()) files.push_back(output);
  return files;
}

}  // namespace

std::string unwritable(const ToolOptions& o) {
  const fs::path output(o.output);
  std::error_code ec;
  if (!fs::is_directory(folder_of(output), ec))
    return "the folder of '" + o.output + "' does not exist";
  if (fs::exists(output, ec) && !o.overwrite)
    return "'" + o.output + "' exists: give --overwrite to replace it";
  if (vector_driver(o.format) == nullptr)
    return "'" + o.format + "' is not a vector format that OGR can write";
  return "";
}

PendingOutput::PendingOutput(const fs::path& output, std::string& error) : output_(output) {
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const fs::path candidate =
        folder_of(output) / (".torvanelle-vect-" + std::to_string(random() % 100000000));
    std::error_code ec;
    if (fs::create_directory(candidate, ec)) {
      folder_ = candidate;
      return;
    }
    if (ec) {
      error = "cannot create a folder beside '" + output.string() + "': " + ec.message();
      return;
    }
  }
  error = "cannot find a free name for a folder beside '" + output.string() + "'";
}

PendingOutput::~PendingOutput() {
  std::error_code ec;
  if (!folder_.empty()) fs::remove_all(folder_, ec);
}

fs::path PendingOutput::path() const {
  return folder_.empty() ? fs::path() : folder_ / output_.filename();
}

bool PendingOutput::commit(bool overwrite, std::string& error) {
  std::error_code ec;
  std::vector<fs::path> written;
  for (fs::directory_iterator file(folder_, ec), end; !ec && file != end; file.increment(ec))
    written.push_back(file->path());
  if (ec) {
    error = "cannot list the result's files: " + ec.message();
    return false;
  }
  const std::vector<fs::path> old =
      overwrite && fs::exists(output_, ec) ? dataset_files(output_) : std::vector<fs::path>{};
  std::set<fs::path> moved;
  for (const fs::path& file : written) {
    const fs::path to = folder_of(output_) / file.filename();
    fs::rename(file, to, ec);
    if (ec) {
      error = "cannot move the result to '" + to.string() + "': " + ec.message();
      return false;
    }
    moved.insert(to.filename());
  }
  for (const fs::path& f : old) {
    if (!moved.contains(f.filename())) fs::remove(f, ec);
  }
  return true;
}

namespace {

/// The layer, with its fields, in a new dataset.
OGRLayer* create_layer(GDALDataset& d, const ToolOptions& o, const Source& s, std::string& error) {
  // GeoPackage files a layer without a CRS under its undefined geographic SRS; pixel coordinates
  // are Cartesian, which its undefined Cartesian SRS stands for, chosen by that name.
  OGRSpatialReference cartesian;
  cartesian.SetLocalCS("Undefined cartesian SRS");
  const bool gpkg = EQUAL(o.format.c_str(), "GPKG");
  OGRSpatialReference* crs = s.crs ? s.crs.get() : gpkg ? &cartesian : nullptr;
  OGRLayer* layer = d.CreateLayer(o.layer.c_str(), crs, wkbLineString, nullptr);
  if (layer == nullptr) {
    error = std::string("cannot create the layer: ") + CPLGetLastErrorMsg();
    return nullptr;
  }
  OGRFieldDefn number("number", OFTInteger);
  OGRFieldDefn elevation("elevation", OFTReal);
  if (layer->CreateField(&number) != OGRERR_NONE ||
      (o.base && layer->CreateField(&elevation) != OGRERR_NONE)) {
    error = std::string("cannot create the fields: ") + CPLGetLastErrorMsg();
    return nullptr;
  }
  return layer;
}

/// The line as a LineString through its pixels' centres on the map.
void place(const Line& line, const std::array<double, 6>& t, OGRLineString& out) {
  const std::size_t n = line.pixels.size();
  out.setNumPoints(static_cast<int>(n == 1 ? 2 : n), FALSE);
  for (std::size_t v = 0; v < n; ++v) {
    const double c = line.pixels[v].col + 0.5, r = line.pixels[v].row + 0.5;
    out.setPoint(static_cast<int>(v), t[0] + c * t[1] + r * t[2], t[3] + c * t[4] + r * t[5]);
  }
  if (n == 1) out.setPoint(1, out.getX(0), out.getY(0));
}

bool write_features(OGRLayer& layer, const ToolOptions& o, const Source& s,
                    const std::vector<Line>& lines, std::string& error, Progress& progress) {
  OGRFeature feature(layer.GetLayerDefn());
  OGRLineString geometry;
  for (std::size_t l = 0; l < lines.size(); ++l) {
    const Line& line = lines[l];
    feature.SetFID(OGRNullFID);
    feature.SetField("number", line.number);
    if (o.base) feature.SetField("elevation", *o.base + line.number * *o.interval);
    place(line, s.transform, geometry);
    feature.SetGeometry(&geometry);
    if (layer.CreateFeature(&feature) != OGRERR_NONE) {
      error = std::string("cannot write a line: ") + CPLGetLastErrorMsg();
      return false;
    }
    if (l % 256 == 0) progress.at(static_cast<double>(l) / static_cast<double>(lines.size()));
  }
  progress.at(1);
  return true;
}

}  // namespace

bool write_lines(const fs::path& path, const ToolOptions& o, const Source& source,
                 const std::vector<Line>& lines, std::string& error, Progress& progress) {
  CPLErrorReset();
  GDALDriver* driver = vector_driver(o.format);
  Dataset d(driver == nullptr
                ? nullptr
                : driver->Create(path.string().c_str(), 0, 0, 0, GDT_Unknown, nullptr));
  if (!d) {
    error = "cannot create '" + o.output + "': " + CPLGetLastErrorMsg();
    return false;
  }
  OGRLayer* layer = create_layer(*d, o, source, error);
  if (layer == nullptr) return false;
  // One transaction for all the features: GeoPackage writes them many times faster so.
  const bool transaction = d->StartTransaction() == OGRERR_NONE;
  progress.stage("writing " + std::to_string(lines.size()) + " lines");
  if (!write_features(*layer, o, source, lines, error, progress)) return false;
  if (transaction && d->CommitTransaction() != OGRERR_NONE) {
    error = std::string("cannot write the lines: ") + CPLGetLastErrorMsg();
    return false;
  }
  d.reset();
  if (CPLGetLastErrorType() >= CE_Failure) {
    error = std::string("cannot finish the output: ") + CPLGetLastErrorMsg();
    return false;
  }
  progress.done();
  return true;
}

}  // namespace torvanelle::vect::tool
