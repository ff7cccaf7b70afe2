#include "devtools/support.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <set>
#include <sstream>
#include <stdexcept>

#include "LIB/matalloc.h"
#include "app/treatment.h"
#include "cleaning/deburring.h"
#include "cleaning/thinning.h"
#include "io/paths.h"

namespace support {

model::Grid grid(const Picture& picture) {
  const int rows = static_cast<int>(picture.size());
  const int cols = rows == 0 ? 0 : static_cast<int>(picture[0].size());
  model::Grid g(rows, cols, 255);
  for (int i = 0; i < rows; ++i) {
    if (static_cast<int>(picture[i].size()) != cols) throw std::invalid_argument("ragged picture");
    for (int j = 0; j < cols; ++j) {
      const char c = picture[i][j];
      if (c >= '0' && c <= '9') g.at(i, j) = c - '0';
      if (c >= 'a' && c <= 'z') g.at(i, j) = 10 + (c - 'a');
      if (c == '#') g.at(i, j) = 254;
    }
  }
  return g;
}

Picture picture(const model::Grid& g) {
  std::vector<std::string> rows;
  for (int i = 0; i < g.rows; ++i) {
    std::string row;
    for (int j = 0; j < g.cols; ++j) {
      const int v = g.at(i, j);
      char c = '?';
      if (v == 255) c = '.';
      if (v == 254) c = '#';
      if (v < 10) c = static_cast<char>('0' + v);
      if (v >= 10 && v < 36) c = static_cast<char>('a' + v - 10);
      row += c;
    }
    rows.push_back(row);
  }
  return rows;
}

Loaded::Loaded(const model::Grid& in) {
  st.nb_lig = in.rows;
  st.nb_col = in.cols;
  st.tab = torvanelle::OwnedRaster(in.cols, in.rows);
  st.tab_in = torvanelle::OwnedRaster(in.cols, in.rows);
  st.tab_out = torvanelle::OwnedRaster(in.cols, in.rows);
  for (int i = 0; i < in.rows; ++i) {
    for (int j = 0; j < in.cols; ++j)
      st.tab_in[i][j] = static_cast<std::uint8_t>(in.at(i, j));
  }
}

model::Grid Loaded::tab_out() const {
  model::Grid g(st.nb_lig, st.nb_col, 255);
  for (int i = 0; i < st.nb_lig; ++i) {
    for (int j = 0; j < st.nb_col; ++j)
      g.at(i, j) = st.tab_out[i][j];
  }
  return g;
}

Cleaned clean(const model::Grid& in, bool deburr) {
  Loaded loaded(in);
  const torvanelle::State& st = loaded.st;
  const torvanelle::Thinned thinned =
      torvanelle::thinning(st.tab_in.get(), st.tab_out.get(), st.nb_lig, st.nb_col);
  Cleaned cleaned;
  std::ostringstream report;
  torvanelle::say_thinning(thinned, report);
  cleaned.thinning_report = report.str();
  cleaned.thinned = loaded.tab_out();
  if (deburr) {
    std::ostringstream progress;
    torvanelle::say_deburring(thinned.span, progress);
    torvanelle::deburring(st.tab_out.get(), st.nb_lig, st.nb_col);
    cleaned.deburring_report = progress.str();
  }
  cleaned.out = loaded.tab_out();
  return cleaned;
}

namespace {
int requests_made = 0;
int failing_request = 0;
std::size_t bytes_left = 0;
matalloc_calloc served_before = nullptr;

void* failing_calloc(std::size_t count, std::size_t size) {
  if (++requests_made == failing_request) return nullptr;
  if (size != 0 && count > bytes_left / size) return nullptr;
  bytes_left -= count * size;
  return std::calloc(count, size);
}
}  // namespace

FailingAllocator::FailingAllocator(int fail_at, std::size_t budget) {
  requests_made = 0;
  failing_request = fail_at;
  bytes_left = budget;
  served_before = matalloc_set_calloc(failing_calloc);
}

FailingAllocator::~FailingAllocator() { matalloc_set_calloc(served_before); }

int FailingAllocator::requests() { return requests_made; }

std::filesystem::path new_scratch_folder(const std::string& prefix) {
  static std::mt19937_64 draw(
      std::random_device{}() ^
      static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
  const std::filesystem::path temp = std::filesystem::temp_directory_path();
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::filesystem::path candidate = temp / (prefix + std::to_string(draw()));
    // False when the name is taken: a folder made here is this process's alone.
    if (std::filesystem::create_directory(candidate)) {
      std::filesystem::permissions(candidate, std::filesystem::perms::owner_all);
      return candidate;
    }
  }
  throw std::runtime_error("cannot create a folder under " + temp.string());
}

ScratchDir::ScratchDir() : path_(new_scratch_folder("torvanelle-")) {}

ScratchDir::~ScratchDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

SiteFolder::SiteFolder(const std::string& raster, const std::string& descriptor)
    : previous_(std::filesystem::current_path()) {
  // An images root outside the scratch folder is the user's: nothing there is overwritten.
  if (std::filesystem::exists(scratch_.path() / site()))
    throw std::runtime_error(site().string() + " exists already: remove it to run this test");
  std::filesystem::current_path(scratch_.path());
  write_file(site() / "dem1.raw", raster);
  write_file(site() / "dem1.txt", descriptor);
}

SiteFolder::~SiteFolder() {
  std::error_code ignored;
  if (site().is_absolute()) std::filesystem::remove_all(site(), ignored);
  std::filesystem::current_path(previous_);
}

std::filesystem::path SiteFolder::site() {
  return std::filesystem::path(std::string(torvanelle::images_root())) / "site";
}

std::string SiteFolder::listing() {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(site()))
    names.insert(entry.path().filename().string());
  std::string all;
  for (const std::string& name : names)
    all += name + " ";
  return all;
}

namespace said {
std::string total(int num_item) {
  return "\n\n\tTotal number of contour lines : " + std::to_string(num_item) + " ";
}
std::string header(int k) {
  return "\n\n\tTreatment of the contour line number " + std::to_string(k) + " \n";
}
std::string mods(int modif) {
  return "\n\t\tNumber of modifications = " + std::to_string(modif) + " ";
}
std::string progress(int k) {
  return "\tContour line number " + std::to_string(k) + "                 \r";
}
}  // namespace said

void write_file(const std::filesystem::path& path, const std::string& bytes) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}

std::string read_file(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string text_file_bytes(const std::string& text) {
#ifdef _WIN32
  std::string bytes;
  for (const char c : text)
    bytes += c == '\n' ? "\r\n" : std::string(1, c);
  return bytes;
#else
  return text;
#endif
}

}  // namespace support
