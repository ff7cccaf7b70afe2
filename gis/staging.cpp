#include "gis/staging.h"

#include <algorithm>
#include <random>
#include <set>
#include <string>

#include <ogrsf_frmts.h>

#include "io/interrupts.h"

namespace gis {

namespace fs = std::filesystem;

namespace {

fs::path folder_of(const fs::path& p) { return p.has_parent_path() ? p.parent_path() : "."; }

/// Eight random hexadecimal digits, so that concurrent commands never share a scratch folder.
std::string random_suffix(std::mt19937& bits) {
  static constexpr char digits[] = "0123456789abcdef";
  std::string s;
  for (int i = 0; i < 8; ++i)
    s += digits[bits() % 16];
  return s;
}

/// Whether `a` and `b` are one file (also through links), or one name when neither exists.
bool same_file(const fs::path& a, const fs::path& b) {
  std::error_code ec;
  if (fs::exists(a, ec) && fs::exists(b, ec)) return fs::equivalent(a, b, ec);
  return fs::weakly_canonical(a, ec) == fs::weakly_canonical(b, ec);
}

bool is_one_of(const fs::path& p, const std::vector<fs::path>& sources) {
  for (const fs::path& s : sources) {
    if (same_file(p, s)) return true;
  }
  return false;
}

bool taken(const fs::path& p) {
  std::error_code ec;
  return fs::exists(p, ec) || fs::is_symlink(p, ec);
}

/// The files of the dataset at `output` as GDAL lists them, or the file alone.
std::vector<fs::path> dataset_files(const fs::path& output) {
  std::vector<fs::path> files;
  GDALDatasetUniquePtr old(GDALDataset::Open(output.string().c_str(), GDAL_OF_VECTOR));
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

void check_destination(const fs::path& output, bool overwrite,
                       const std::vector<fs::path>& sources) {
  std::error_code ec;
  if (!fs::is_directory(folder_of(output), ec))
    throw Error(output.string() + ": the folder " + folder_of(output).string() + " does not exist");
  if (is_one_of(output, sources))
    throw Error(output.string() + " is the source: a tool never writes over what it reads");
  if (!overwrite && taken(output))
    throw Error(output.string() + " exists: give --overwrite to replace it");
}

Staging::Staging(const fs::path& output, ErrorTrap& trap) : output_(output) {
  std::mt19937 bits(std::random_device{}());
  const fs::path folder = folder_of(output);
  // A signal waits until the folder is the handler's to remove.
  const torvanelle::InterruptsHeld held;
  for (int attempt = 0; attempt < 100 && scratch_.empty(); ++attempt) {
    const fs::path candidate = folder / (".torvanelle-" + random_suffix(bits));
    std::error_code ec;
    if (fs::create_directory(candidate, ec)) {
      scratch_ = candidate;
    } else if (ec) {
      throw Error("cannot create a scratch folder in " + folder.string() + ": " + ec.message());
    }
  }
  if (scratch_.empty()) throw Error("cannot create a scratch folder in " + folder.string());
  ticket_ = torvanelle::remove_folder_on_interrupt(scratch_.string());
  trap.show_as(scratch_.string() + "/", output.has_parent_path() ? folder.string() + "/" : "");
}

Staging::~Staging() {
  std::error_code ignored;
  fs::remove_all(scratch_, ignored);
  torvanelle::forget_file(ticket_);
}

void Staging::commit(bool overwrite, const std::vector<fs::path>& sources) {
  std::error_code ec;
  std::vector<fs::path> written;
  for (fs::directory_iterator f(scratch_, ec), end; !ec && f != end; f.increment(ec))
    written.push_back(f->path().filename());
  if (ec) throw Error("cannot write " + output_.string() + ": " + ec.message());
  const fs::path folder = folder_of(output_);
  for (const fs::path& name : written) {
    const fs::path target = folder / name;
    if (is_one_of(target, sources))
      throw Error(target.string() + " is the source: a tool never writes over what it reads");
    if (!overwrite && taken(target))
      throw Error(target.string() + " exists: give --overwrite to replace it");
  }
  // An earlier dataset at the output goes whole when this one replaces it.
  const bool replaces =
      overwrite && taken(output_) &&
      std::find(written.begin(), written.end(), output_.filename()) != written.end();
  const std::vector<fs::path> old = replaces ? dataset_files(output_) : std::vector<fs::path>{};
  // The moves are done whole: a signal now waits until every file is in place.
  const torvanelle::InterruptsHeld held;
  std::set<fs::path> moved;
  for (const fs::path& name : written) {
    fs::rename(scratch_ / name, folder / name, ec);
    if (ec) throw Error("cannot write " + (folder / name).string() + ": " + ec.message());
    moved.insert(name);
  }
  for (const fs::path& f : old) {
    if (!moved.contains(f.filename())) fs::remove(f, ec);
  }
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

}  // namespace gis
