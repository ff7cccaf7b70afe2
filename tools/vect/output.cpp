#include "tools/vect/output.h"

#include <cctype>

#include <gdal_priv.h>
#include <ogrsf_frmts.h>

namespace torvanelle::vect::tool {
namespace fs = std::filesystem;
using gis::Error;

namespace {

GDALDriver* vector_driver(const std::string& name) {
  GDALDriver* d = GetGDALDriverManager()->GetDriverByName(name.c_str());
  const bool fit = d != nullptr && d->GetMetadataItem(GDAL_DCAP_VECTOR) != nullptr &&
                   d->GetMetadataItem(GDAL_DCAP_CREATE) != nullptr;
  return fit ? d : nullptr;
}

/// A layer of line geometry created by `d`, or null: some formats create layers that drop the
/// geometry (CSV without its options, for one), and would write numbers without lines.
OGRLayer* line_layer(GDALDataset& d, const char* name, OGRSpatialReference* crs) {
  OGRLayer* layer = d.CreateLayer(name, crs, wkbLineString, nullptr);
  if (layer == nullptr || layer->GetLayerDefn()->GetGeomFieldCount() == 0) return nullptr;
  return layer;
}

/// The layer, with its fields, in a new dataset.
OGRLayer& create_layer(GDALDataset& d, const ToolOptions& o, const Source& s,
                       gis::ErrorTrap& trap) {
  // GeoPackage files a layer without a CRS under its undefined geographic SRS; pixel coordinates
  // are Cartesian, which its undefined Cartesian SRS stands for, chosen by that name.
  OGRSpatialReference cartesian;
  cartesian.SetLocalCS("Undefined cartesian SRS");
  const bool gpkg = EQUAL(o.format.c_str(), "GPKG");
  OGRSpatialReference* crs = s.georef.crs ? const_cast<OGRSpatialReference*>(&*s.georef.crs)
                             : gpkg       ? &cartesian
                                          : nullptr;
  OGRLayer* layer = line_layer(d, o.layer.c_str(), crs);
  if (layer == nullptr) throw gis::failure(trap, "cannot create the layer of " + o.output);
  OGRFieldDefn number("number", OFTInteger);
  OGRFieldDefn elevation("elevation", OFTReal);
  OGRFieldDefn bridged("bridged", OFTInteger);
  if (layer->CreateField(&number) != OGRERR_NONE ||
      (o.base && layer->CreateField(&elevation) != OGRERR_NONE) ||
      (o.bridge > 0 && layer->CreateField(&bridged) != OGRERR_NONE)) {
    throw gis::failure(trap, "cannot create the fields of " + o.output);
  }
  return *layer;
}

/// The line as a LineString through its pixels' centres on the map.
void place(const Line& line, const std::array<double, 6>& t, OGRLineString& out) {
  const std::size_t n = line.pixels.size();
  out.setNumPoints(static_cast<int>(n), FALSE);
  for (std::size_t v = 0; v < n; ++v) {
    const double c = line.pixels[v].col + 0.5, r = line.pixels[v].row + 0.5;
    out.setPoint(static_cast<int>(v), t[0] + c * t[1] + r * t[2], t[3] + c * t[4] + r * t[5]);
  }
}

long long write_features(OGRLayer& layer, const ToolOptions& o, const Source& s,
                         const std::vector<Line>& lines, const gis::ProgressBar::Stage& progress,
                         gis::ErrorTrap& trap) {
  OGRFeature feature(layer.GetLayerDefn());
  OGRLineString geometry;
  long long written = 0;  // every line: the engine gives none of fewer than two vertices
  for (std::size_t l = 0; l < lines.size(); ++l) {
    const Line& line = lines[l];
    feature.SetFID(OGRNullFID);
    feature.SetField("number", line.number);
    if (o.base) feature.SetField("elevation", *o.base + line.number * *o.interval);
    if (o.bridge > 0) feature.SetField("bridged", line.bridged);
    place(line, s.georef.transform, geometry);
    feature.SetGeometry(&geometry);
    if (layer.CreateFeature(&feature) != OGRERR_NONE)
      throw gis::failure(trap, "cannot write a line to " + o.output);
    ++written;
    if (l % 256 == 0) progress.at(static_cast<double>(l) / static_cast<double>(lines.size()));
  }
  return written;
}

}  // namespace

void check_format(const std::string& format) {
  GDALDriver* driver = vector_driver(format);
  if (driver == nullptr) throw Error("'" + format + "' is not a vector format that OGR can write");
  // A dataset in memory tells whether the format keeps line geometry; what GDAL says of it is
  // not the user's concern.
  CPLPushErrorHandler(CPLQuietErrorHandler);
  const std::string probe = "/vsimem/torvanelle-vect-format-probe";
  GDALDatasetUniquePtr d(driver->Create(probe.c_str(), 0, 0, 0, GDT_Unknown, nullptr));
  const bool lines = d && line_layer(*d, "probe", nullptr) != nullptr;
  d.reset();
  driver->Delete(probe.c_str());
  VSIRmdirRecursive(probe.c_str());
  CPLPopErrorHandler();
  if (!lines) throw Error("'" + format + "' cannot hold line geometry: choose another format");
}

namespace {

/// A shapefile asked for as NAME.SHP is written by GDAL as NAME.shp, .shx, .dbf: its files are
/// given the case of the name asked for, in which GDAL opens them too.
void name_family_as_asked(const fs::path& path) {
  const std::string ext = path.extension().string();
  if (ext.empty() || ext == ".shp" || !EQUAL(ext.c_str(), ".shp")) return;
  const bool upper = ext == ".SHP";
  std::error_code ec;
  for (const auto& f : fs::directory_iterator(path.parent_path(), ec)) {
    if (f.path().stem() != path.stem()) continue;
    std::string e = f.path().extension().string();
    for (char& c : e)
      c = static_cast<char>(upper ? std::toupper(static_cast<unsigned char>(c))
                                  : std::tolower(static_cast<unsigned char>(c)));
    const bool main_file = EQUAL(e.c_str(), ".shp");
    fs::rename(f.path(), path.parent_path() / (path.stem().string() + (main_file ? ext : e)), ec);
  }
}

}  // namespace

bool is_container(const ToolOptions& o) {
  if (!EQUAL(o.format.c_str(), "GPKG") && !EQUAL(o.format.c_str(), "SQLite")) return false;
  std::error_code ec;
  if (!fs::is_regular_file(o.output, ec)) return false;
  // A file of another kind under the name is no container: it is replaced whole, if at all.
  GDALDriverH found = GDALIdentifyDriver(o.output.c_str(), nullptr);
  return found != nullptr && EQUAL(GDALGetDriverShortName(found), o.format.c_str());
}

long long write_lines(const fs::path& path, const ToolOptions& o, bool overwrite,
                      const Source& source, const std::vector<Line>& lines,
                      const gis::ProgressBar::Stage& progress, gis::ErrorTrap& trap) {
  GDALDatasetUniquePtr d;
  if (is_container(o)) {
    // A copy of the user's file: its other layers and tables stay as they are.
    d.reset(GDALDataset::Open(path.string().c_str(), GDAL_OF_VECTOR | GDAL_OF_UPDATE));
    if (!d) throw gis::failure(trap, "cannot read " + o.output);
    for (int i = 0; i < d->GetLayerCount(); ++i) {
      if (!EQUAL(d->GetLayer(i)->GetName(), o.layer.c_str())) continue;
      if (!overwrite)
        throw Error(o.output + " already holds a layer " + o.layer +
                    ": give --overwrite to replace it, or --layer another name");
      if (d->DeleteLayer(i) != OGRERR_NONE)
        throw gis::failure(trap, "cannot replace the layer " + o.layer + " of " + o.output);
      break;
    }
  } else {
    d.reset(vector_driver(o.format)->Create(path.string().c_str(), 0, 0, 0, GDT_Unknown, nullptr));
  }
  if (!d) throw gis::failure(trap, "cannot create " + o.output);
  OGRLayer& layer = create_layer(*d, o, source, trap);
  // One transaction for all the features: GeoPackage writes them many times faster so.
  const bool transaction = d->StartTransaction() == OGRERR_NONE;
  const long long written = write_features(layer, o, source, lines, progress, trap);
  if (transaction && d->CommitTransaction() != OGRERR_NONE)
    throw gis::failure(trap, "cannot write the lines to " + o.output);
  gis::close(d, trap, o.output);
  name_family_as_asked(path);
  progress.at(1);
  return written;
}

}  // namespace torvanelle::vect::tool
