// torvanelle-geo export: the program's result as a GeoTIFF placed where its input lies, and an
// ENVI header that places the raw result itself.
#include <cstdio>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "tools/geo/commands.h"
#include "tools/geo/gdal_support.h"
#include "tools/geo/georef.h"
#include "tools/geo/geotiff.h"
#include "tools/geo/program_files.h"
#include "tools/geo/staging.h"

namespace geo {

namespace fs = std::filesystem;

namespace {

/// Where the georeference came from.
struct Placement {
  Georef georef;
  bool own_sidecar = false;  ///< read through STEM.raw's own sidecar, which then stays as it is
};

/// The georeference of the raster at `path` when GDAL reads one there for a raster of the
/// result's size; otherwise nothing, and `why` says what was wrong.
std::optional<Georef> georef_of(const fs::path& path, const Descriptor& d, std::string& why) {
  std::ostringstream ignored;
  ErrorTrap trap(ignored);
  GDALDatasetUniquePtr ds(
      GDALDataset::Open(path.string().c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY));
  if (!ds) {
    why = path.string() + " has no sidecar that GDAL reads";
  } else if (ds->GetRasterYSize() != d.nb_lig || ds->GetRasterXSize() != d.nb_col) {
    why = path.string() + " is " + std::to_string(ds->GetRasterYSize()) + " x " +
          std::to_string(ds->GetRasterXSize()) + ", not the result's size";
  } else if (Georef g = read_georef(*ds); !g.has_transform) {
    why = path.string() + " has no georeference";
  } else {
    return g;
  }
  return std::nullopt;
}

/// The georeference of the input image that the descriptor names, else of STEM.raw's sidecar.
Placement find_placement(const fs::path& stem, const ResultDescriptor& r,
                         const ExportOptions& options) {
  std::vector<std::string> reasons;
  std::string why;
  if (r.input_image) {
    for (const fs::path& p :
         input_image_candidates(*r.input_image, options.images_root, stem.parent_path())) {
      std::error_code ec;
      if (!fs::exists(p, ec)) {
        reasons.push_back(p.string() + " does not exist");
      } else if (auto g = georef_of(p, r.values, why)) {
        return {*g, false};
      } else {
        reasons.push_back(why);
      }
    }
  } else {
    reasons.push_back(with_extension(stem, ".txt").string() + " names no input image");
  }
  const fs::path raw = with_extension(stem, ".raw");
  if (auto g = georef_of(raw, r.values, why)) return {*g, true};
  reasons.push_back(why);
  std::string message = "no georeference for " + stem.string();
  for (const std::string& reason : reasons)
    message += "\n  " + reason;
  throw Error(message);
}

void check_output(const fs::path& output, bool force) {
  const fs::path folder = output.parent_path().empty() ? fs::path(".") : output.parent_path();
  std::error_code ec;
  if (!fs::is_directory(folder, ec))
    throw Error("the folder " + folder.string() + " does not exist");
  if (!force && (fs::exists(output, ec) || fs::is_symlink(output, ec))) {
    throw Error(output.string() + " exists (--force replaces it)");
  }
}

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

/// STEM.raw opened for reading; throws Error when it is missing or shorter than the result.
std::shared_ptr<std::FILE> open_result_raster(const fs::path& raw, const Descriptor& d) {
  std::error_code ec;
  if (!fs::exists(raw, ec)) throw Error(raw.string() + ": no such file");
  std::shared_ptr<std::FILE> f(std::fopen(raw.string().c_str(), "rb"), FileCloser());
  if (!f) throw Error("cannot read " + raw.string());
  const auto expected =
      static_cast<std::uintmax_t>(d.nb_lig) * static_cast<std::uintmax_t>(d.nb_col);
  const std::uintmax_t size = fs::file_size(raw, ec);
  if (!ec && size < expected) {
    throw Error(raw.string() + " holds " + std::to_string(size) + " bytes where its descriptor " +
                "gives " + std::to_string(expected));
  }
  return f;
}

/// Rows read in order from `f`, the raster file `raw`.
RowSource rows_of(std::shared_ptr<std::FILE> f, const fs::path& raw, int cols) {
  return [f, raw, cols](int, int count, std::uint8_t* buffer) {
    const std::size_t bytes = static_cast<std::size_t>(cols) * count;
    if (std::fread(buffer, 1, bytes, f.get()) != bytes) throw Error("cannot read " + raw.string());
  };
}

}  // namespace

void export_result(const fs::path& stem_path, const fs::path& output, const ExportOptions& options,
                   std::ostream& log) {
  ErrorTrap trap(log);
  const fs::path stem = stem_of(stem_path);
  const fs::path raw = with_extension(stem, ".raw");
  const ResultDescriptor r = read_result_descriptor(with_extension(stem, ".txt"));
  std::shared_ptr<std::FILE> pixels = open_result_raster(raw, r.values);
  check_output(output, options.force);
  const Placement placement = find_placement(stem, r, options);

  Staging staged_output(output.parent_path());
  Progress progress(log, "export");
  write_geotiff(staged_output.file(output.filename()), r.values, placement.georef,
                rows_of(pixels, raw, r.values.nb_col), progress, trap);
  if (placement.own_sidecar) {
    staged_output.commit({output.filename()});
    return;
  }
  Staging staged_header(stem.parent_path());
  const fs::path name = stem.filename();
  GDALDatasetUniquePtr header =
      create_envi(staged_header.file(with_extension(name, ".raw")), r.values.nb_lig,
                  r.values.nb_col, placement.georef, trap);
  close(header, trap, with_extension(stem, ".hdr"));
  staged_output.commit({output.filename()});
  staged_header.commit({with_extension(name, ".hdr")});
}

}  // namespace geo
