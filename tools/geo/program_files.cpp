#include "tools/geo/program_files.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>

#include "gis/gdal.h"
#include "io/descriptor.h"
#include "io/paths.h"

namespace torvanelle::geo {

namespace fs = std::filesystem;
using gis::Error;

namespace {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

File open_file(const fs::path& path, const char* mode) {
  return File(std::fopen(path.string().c_str(), mode));
}

}  // namespace

fs::path stem_of(const fs::path& path) {
  const fs::path ext = path.extension();
  if (ext == ".raw" || ext == ".txt") return fs::path(path).replace_extension();
  return path;
}

fs::path with_extension(const fs::path& stem, std::string_view extension) {
  fs::path p = stem;
  p += extension;
  return p;
}

void write_descriptor(const fs::path& path, const Descriptor& d, const fs::path& shown) {
  File f = open_file(path, "w");
  const bool written = f && torvanelle::write_descriptor(f.get(), d);
  if (!written || std::fclose(f.release()) != 0) throw Error("cannot write " + shown.string());
}

ResultDescriptor read_result_descriptor(const fs::path& path) {
  std::error_code ec;
  if (!fs::exists(path, ec)) throw Error(path.string() + ": no such file");
  File f = open_file(path, "r");
  if (!f) throw Error("cannot read " + path.string());
  Descriptor d;
  if (torvanelle::read_descriptor(f.get(), d) != 6) {
    throw Error(path.string() + " does not hold the six integers of a descriptor");
  }
  if (const char* fault = torvanelle::size_fault(d.nb_lig, d.nb_col); fault != nullptr) {
    throw Error(path.string() + ": " + fault);
  }
  if (d.nb_lig == 0 || d.nb_col == 0) throw Error(path.string() + ": the image is empty");
  std::ifstream text(path, std::ios::binary);
  const std::string all{std::istreambuf_iterator<char>(text), std::istreambuf_iterator<char>()};
  return {d, torvanelle::trailer_input_image(all)};
}

std::vector<Candidate> input_image_candidates(const std::string& built,
                                              const std::optional<fs::path>& images_root,
                                              const fs::path& result_dir) {
  const std::size_t last = built.find_last_of("\\/");
  std::vector<Candidate> found{
      {result_dir / built.substr(last == std::string::npos ? 0 : last + 1)}};
  const std::string_view base = torvanelle::base_dir;
  Candidate mapped;
  if (built.starts_with(base)) {
    const fs::path root =
        images_root ? *images_root : fs::path(torvanelle::host_path(std::string(base)));
    const fs::path inside =
        fs::path(torvanelle::host_path(built.substr(base.size()))).lexically_normal();
    mapped.path = root / inside;
    mapped.outside_root = inside.empty() || *inside.begin() == "..";
  } else {
    mapped.path = torvanelle::host_path(built);
  }
  if (mapped.path.lexically_normal() != found.front().path.lexically_normal())
    found.push_back(mapped);
  return found;
}

}  // namespace torvanelle::geo
