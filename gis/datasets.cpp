#include "gis/datasets.h"

#include <algorithm>
#include <cctype>
#include <map>

#include <ogrsf_frmts.h>

namespace torvanelle::gis {

namespace fs = std::filesystem;

namespace {

std::string lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

/// Whether GDAL reads `name` through one of its virtual file systems or as a driver's own
/// name for part of a file ("GPKG:file.gpkg:table", "NETCDF:file.nc:var"), not as a plain path.
bool gdal_name(const std::string& name) {
  if (name.starts_with("/vsi")) return true;
  const std::size_t colon = name.find(':');
  // "C:\..." is a drive, not a driver.
  return colon != std::string::npos && colon > 1 &&
         std::all_of(name.begin(), name.begin() + static_cast<std::ptrdiff_t>(colon),
                     [](unsigned char c) { return std::isalnum(c) || c == '_'; });
}

/// The files in GDAL's list for `ds`, as host files.
std::vector<fs::path> listed_files(GDALDataset& ds) {
  std::vector<fs::path> files;
  char** list = ds.GetFileList();
  for (char** f = list; f != nullptr && *f != nullptr; ++f) {
    const fs::path host = host_file(*f);
    if (!host.empty()) files.push_back(host);
  }
  CSLDestroy(list);
  return files;
}

/// The sidecars that may lie beside `file`, a file of a dataset that `driver` reads.
std::vector<fs::path> sidecars(const fs::path& file, const std::string& driver) {
  std::vector<fs::path> names;
  const std::string whole = file.string();
  for (const char* suffix : {".aux.xml", ".ovr", ".msk", ".xml"})
    names.emplace_back(whole + suffix);
  const fs::path stem = file.parent_path() / file.stem();
  if (driver == "ESRI Shapefile") {
    for (const char* ext : {".sbn", ".sbx", ".qix", ".cpg", ".prj", ".fix", ".atx", ".ain", ".aih",
                            ".ixs", ".mxs", ".idm", ".ind", ".shx", ".dbf", ".qpj"})
      names.emplace_back(stem.string() + ext);
  } else {
    // World files: .wld, and the extension's first and last letters with w (.tfw, .pgw).
    const std::string ext = file.extension().string();
    names.emplace_back(stem.string() + ".wld");
    if (ext.size() >= 3) {
      names.emplace_back(stem.string() + ext.substr(0, 2) + ext.back() + "w");
      names.emplace_back(stem.string() + ext + "w");
    }
  }
  return names;
}

}  // namespace

fs::path host_file(const std::string& name) {
  if (!name.starts_with("/vsi")) return name;
  const std::size_t slash = name.find('/', 1);
  if (slash == std::string::npos || name.starts_with("/vsimem/") || name.starts_with("/vsicurl") ||
      name.starts_with("/vsis3") || name.starts_with("/vsigs") || name.starts_with("/vsiaz") ||
      name.starts_with("/vsioss") || name.starts_with("/vsiswift") ||
      name.starts_with("/vsiadls") || name.starts_with("/vsihdfs") ||
      name.starts_with("/vsiwebhdfs"))
    return {};
  // The archive is the longest leading part of the rest that is a file: /vsizip/a.zip/x.tif.
  const std::string rest = name.substr(slash + 1);
  const std::string inner = rest.starts_with("/vsi") ? host_file(rest).string() : rest;
  std::error_code ec;
  for (std::size_t end = inner.size(); end != std::string::npos && end > 0;
       end = inner.rfind('/', end - 1)) {
    const fs::path part = inner.substr(0, end);
    if (fs::is_regular_file(part, ec) || fs::is_other(part, ec)) return part;
    if (end == 0) break;
  }
  return inner;
}

GDALDatasetUniquePtr open_source(const std::string& name, unsigned flags, ErrorTrap& trap,
                                 torvanelle::cli::Sources& sources) {
  std::error_code ec;
  const bool plain = !gdal_name(name);
  if (plain) {
    if (!fs::exists(name, ec)) throw Error(name + ": no such file");
    // Refused before GDAL opens it: opening a FIFO waits for a writer for ever.
    torvanelle::cli::refuse_special(name, "the source");
  } else if (const fs::path host = host_file(name); !host.empty()) {
    torvanelle::cli::refuse_special(host, "the source");
  }
  GDALDatasetUniquePtr ds(
      GDALDataset::Open(name.c_str(), flags | GDAL_OF_READONLY | GDAL_OF_VERBOSE_ERROR));
  if (!ds) {
    const fs::path host = host_file(name);
    if (!plain && !host.empty() && !fs::exists(host, ec))
      throw Error(name + ": no such file (" + host.string() + ")");
    throw failure(trap, "cannot read " + name);
  }
  if (plain) sources.add(name);
  // A member that is a special file is refused here, before any pixel is read from it.
  for (const fs::path& f : listed_files(*ds))
    sources.add(f);
  return ds;
}

std::vector<fs::path> dataset_family(const fs::path& path) {
  std::vector<fs::path> family;
  CPLPushErrorHandler(CPLQuietErrorHandler);
  GDALDatasetUniquePtr old(
      GDALDataset::Open(path.string().c_str(), GDAL_OF_RASTER | GDAL_OF_VECTOR | GDAL_OF_READONLY));
  const std::string driver = old && old->GetDriver() ? old->GetDriverName() : "";
  std::vector<fs::path> listed = old ? listed_files(*old) : std::vector<fs::path>{};
  old.reset();
  CPLPopErrorHandler();
  if (driver.empty()) return {path};
  if (listed.empty()) listed.push_back(path);
  std::error_code ec;
  for (const fs::path& f : listed) {
    family.push_back(f);
    for (const fs::path& side : sidecars(f, driver)) {
      if (fs::is_regular_file(side, ec) &&
          std::find(family.begin(), family.end(), side) == family.end())
        family.push_back(side);
    }
  }
  return family;
}

fs::path add_output(torvanelle::cli::Command& command, const fs::path& path, ErrorTrap& trap,
                    std::function<void(const fs::path&)> verify, bool container) {
  torvanelle::cli::OutputKind kind;
  kind.container = container;
  kind.family = dataset_family;
  kind.verify = std::move(verify);
  const fs::path staged = command.outputs.add(path, command.sources, std::move(kind));
  const fs::path folder = torvanelle::cli::folder_of(path);
  trap.show_as(staged.parent_path().string() + "/",
               path.has_parent_path() ? folder.string() + "/" : "");
  return staged;
}

GDALDriver& output_driver(const fs::path& path, const std::string& format, const char* kind) {
  const auto fit = [kind](GDALDriver* d) {
    return d != nullptr && d->GetMetadataItem(kind) != nullptr &&
           (d->GetMetadataItem(GDAL_DCAP_CREATE) != nullptr ||
            (kind == std::string(GDAL_DCAP_RASTER) &&
             d->GetMetadataItem(GDAL_DCAP_CREATECOPY) != nullptr)) &&
           !EQUAL(d->GetDescription(), "VRT") && !EQUAL(d->GetDescription(), "MEM");
  };
  const std::string what = kind == std::string(GDAL_DCAP_RASTER) ? "raster" : "vector";
  if (!format.empty()) {
    GDALDriver* d = GetGDALDriverManager()->GetDriverByName(format.c_str());
    if (!fit(d)) throw Error("'" + format + "' is not a " + what + " format that GDAL can write");
    return *d;
  }
  const std::string ext = lower(path.extension().string());
  if (ext.empty() && what == "raster") return driver("GTiff");
  // The formats most files of an extension are in, where several drivers claim it.
  static const std::map<std::string, std::string> preferred = {
      {".tif", "GTiff"}, {".tiff", "GTiff"},   {".gpkg", "GPKG"}, {".img", "HFA"},
      {".nc", "netCDF"}, {".json", "GeoJSON"}, {".xml", "GML"}};
  if (const auto p = preferred.find(ext); p != preferred.end()) {
    GDALDriver* d = GetGDALDriverManager()->GetDriverByName(p->second.c_str());
    if (fit(d)) return *d;
  }
  GDALDriverManager& drivers = *GetGDALDriverManager();
  for (int i = 0; i < drivers.GetDriverCount() && !ext.empty(); ++i) {
    GDALDriver* d = drivers.GetDriver(i);
    const char* exts = d->GetMetadataItem(GDAL_DMD_EXTENSIONS);
    if (!fit(d) || exts == nullptr) continue;
    const CPLStringList list(CSLTokenizeString(exts));
    for (int e = 0; e < list.size(); ++e) {
      if ("." + lower(list[e]) == ext) return *d;
    }
  }
  throw Error("cannot tell the " + what + " format of " + path.string() +
              " from its extension: name it with --format");
}

void verify_raster(const fs::path& written, int lines, int cols, const fs::path& shown,
                   ErrorTrap& trap) {
  // GDAL opens no file of fewer than two bytes (a raw raster of one pixel): its size stands in.
  std::error_code ec;
  if (static_cast<long long>(lines) * cols < 2 && fs::file_size(written, ec) == 1) return;
  GDALDatasetUniquePtr ds(GDALDataset::Open(written.string().c_str(), GDAL_OF_RASTER));
  std::vector<std::uint8_t> row(static_cast<std::size_t>(cols));
  if (!ds || ds->GetRasterYSize() != lines || ds->GetRasterXSize() != cols ||
      ds->GetRasterBand(1)->RasterIO(GF_Read, 0, lines - 1, cols, 1, row.data(), cols, 1, GDT_Byte,
                                     0, 0, nullptr) != CE_None) {
    throw failure(trap, "cannot write " + shown.string() + ": the file written is not whole");
  }
}

void verify_vector(const fs::path& written, const std::string& layer, long long features,
                   const fs::path& shown, ErrorTrap& trap) {
  GDALDatasetUniquePtr ds(GDALDataset::Open(written.string().c_str(), GDAL_OF_VECTOR));
  // A format of one layer a file (a shapefile) names the layer after the file.
  OGRLayer* l = !ds                        ? nullptr
                : ds->GetLayerCount() == 1 ? ds->GetLayer(0)
                                           : ds->GetLayerByName(layer.c_str());
  if (l == nullptr || l->GetFeatureCount(TRUE) != features) {
    throw failure(trap, "cannot write " + shown.string() + ": the file written is not whole");
  }
}

}  // namespace torvanelle::gis
