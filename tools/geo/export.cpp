// torvanelle-geo export: the program's result as a GeoTIFF placed where its input lies, and an
// ENVI header that places the raw result itself.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "gis/datasets.h"
#include "tools/geo/commands.h"
#include "tools/geo/geotiff.h"
#include "tools/geo/program_files.h"

namespace torvanelle::geo {

namespace fs = std::filesystem;
using gis::Error;

namespace {

/// Where the georeference came from.
struct Placement {
  gis::Georef georef;
  fs::path from;             ///< the file that placed it; empty when none did
  bool own_sidecar = false;  ///< read through STEM.raw's own sidecar, which then stays as it is
};

/// The georeference of the raster at `path` when GDAL reads one there for a raster of the
/// result's size; otherwise nothing, and `why` says what was wrong.
std::optional<gis::Georef> georef_of(const fs::path& path, const Descriptor& d, std::string& why) {
  const std::optional<gis::PlacedRaster> placed = gis::read_placed(path);
  if (!placed) {
    why = path.string() + " has no sidecar that GDAL reads";
  } else if (placed->lines != d.nb_lig || placed->cols != d.nb_col) {
    why = path.string() + " is " + std::to_string(placed->lines) + " x " +
          std::to_string(placed->cols) + ", not the result's size";
  } else if (!placed->georef.has_transform) {
    why = path.string() + " has no georeference";
  } else {
    return placed->georef;
  }
  return std::nullopt;
}

/// The input image's candidates that exist, each a regular file (a FIFO or a device would
/// hang the export or be read without end): refused at once otherwise.
std::vector<fs::path> existing_inputs(const fs::path& stem, const ResultDescriptor& r,
                                      const ExportOptions& options, std::ostream& log) {
  std::vector<fs::path> found;
  for (const Candidate& c :
       input_image_candidates(*r.input_image, options.images_root, stem.parent_path())) {
    std::error_code ec;
    if (!fs::exists(c.path, ec)) continue;
    if (!fs::is_regular_file(c.path, ec)) {
      throw Error(with_extension(stem, ".txt").string() + " names " + c.path.string() +
                  " as its input image, which is not a regular file");
    }
    if (c.outside_root) {
      log << "warning: " << with_extension(stem, ".txt").string() << " names " << *r.input_image
          << ", which leads out of the images root to " << c.path.string() << '\n';
    }
    found.push_back(c.path);
  }
  return found;
}

/// The georeference of the input image that the descriptor names, else of STEM.raw's sidecar,
/// else none (with a warning).
Placement find_placement(const fs::path& stem, const ResultDescriptor& r,
                         const ExportOptions& options, std::ostream& log) {
  std::vector<std::string> reasons;
  std::string why;
  if (r.input_image) {
    for (const fs::path& p : existing_inputs(stem, r, options, log)) {
      if (auto g = georef_of(p, r.values, why)) return {*g, p, false};
      reasons.push_back(why);
    }
  }
  const fs::path raw = with_extension(stem, ".raw");
  if (auto g = georef_of(raw, r.values, why)) return {*g, with_extension(stem, ".hdr"), true};
  log << "warning: no georeference for " << stem.string()
      << ": the GeoTIFF is written without one\n";
  for (const std::string& reason : reasons)
    log << "  " << reason << '\n';
  return {};
}

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

/// STEM.raw opened for reading; throws Error when it is missing, not a regular file, or
/// shorter than the result.
std::shared_ptr<std::FILE> open_result_raster(const fs::path& raw, const Descriptor& d) {
  std::error_code ec;
  if (!fs::exists(raw, ec)) throw Error(raw.string() + ": no such file");
  if (!fs::is_regular_file(raw, ec)) throw Error(raw.string() + " is not a regular file");
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

/// Whether STEM.hdr must be written for `placement`: it is missing, or says another place
/// (refused then without `overwrite`: an earlier export or import may have put it there).
bool header_wanted(const fs::path& stem, const Placement& placement, const Descriptor& d,
                   bool overwrite) {
  const fs::path hdr = with_extension(stem, ".hdr");
  std::error_code ec;
  if (placement.own_sidecar) return false;
  if (!fs::exists(hdr, ec)) return true;
  std::string why;
  const std::optional<gis::Georef> there = georef_of(with_extension(stem, ".raw"), d, why);
  if (there && gis::same_place(*there, placement.georef)) return false;
  if (!overwrite) {
    throw Error(hdr.string() + " places " + with_extension(stem, ".raw").string() +
                " elsewhere than " + placement.from.string() +
                " does: give --overwrite to rewrite it");
  }
  return true;
}

}  // namespace

void export_result(torvanelle::cli::Command& command, const fs::path& stem_path,
                   const fs::path& output, const ExportOptions& options,
                   const gis::ProgressBar& progress, std::ostream& log) {
  gis::ErrorTrap trap(log);
  const fs::path stem = stem_of(stem_path);
  const fs::path raw = with_extension(stem, ".raw"), txt = with_extension(stem, ".txt"),
                 hdr = with_extension(stem, ".hdr");
  command.sources.add(txt);
  const ResultDescriptor r = read_result_descriptor(txt);
  command.sources.add(raw);
  std::shared_ptr<std::FILE> pixels = open_result_raster(raw, r.values);
  const Placement placement = find_placement(stem, r, options, log);
  if (!placement.from.empty()) command.sources.add(placement.from);
  const bool header = header_wanted(stem, placement, r.values, command.outputs.overwrite());
  std::error_code ec;
  // A header kept is read (it places STEM.raw); one rewritten is an output.
  if (!header && fs::exists(hdr, ec)) command.sources.add(hdr);
  const auto out =
      create_contour_raster(command, output, options.format, r.values, placement.georef, trap);
  if (!placement.from.empty())
    log << output.string() << " placed by " << placement.from.string() << '\n';

  if (header) {
    const fs::path staged = gis::add_output(command, hdr, trap, {});
    const fs::path scratch_raw = staged.parent_path() / raw.filename();
    GDALDatasetUniquePtr h =
        gis::create_envi(scratch_raw, r.values.nb_lig, r.values.nb_col, placement.georef, trap);
    gis::close(h, trap, hdr);
    // Only the header is wanted: the raw file beside it stays the program's.
    fs::remove(scratch_raw);
    if (static_cast<long long>(r.values.nb_lig) * r.values.nb_col < 2) {
      log << "warning: GDAL opens no file of one byte, so not " << raw.string() << " through "
          << hdr.string() << ": " << output.string() << " holds the result\n";
    }
  }
  write_contour_raster(*out, r.values, placement.georef, rows_of(pixels, raw, r.values.nb_col),
                       progress.stage(0, 1));
  trap.raise_pending("cannot write " + output.string());
  progress.done();
}

}  // namespace torvanelle::geo
