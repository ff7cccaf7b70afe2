// Writes the repository's sample image, images/demo/relief.raw and its descriptor relief.txt,
// under the given repository root (default: the current folder).
//
//   make_sample [ROOT]
//
// The files are committed; run this only to remake them after the terrain changes.

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "devtools/terrain.h"

namespace {

// 240,000 pixels, 50 contour numbers, lines 2 to 4 pixels thick, six spurs.
terrain::Options sample_options() {
  terrain::Options o;
  o.rows = 400;
  o.cols = 600;
  o.levels = 50;
  o.seed = 1;
  o.spurs_per_megapixel = 25;
  return o;
}

bool write_raster(const std::filesystem::path& p, const std::vector<std::uint8_t>& r) {
  std::ofstream f(p, std::ios::binary);
  f.write(reinterpret_cast<const char*>(r.data()), static_cast<std::streamsize>(r.size()));
  f.close();
  return !f.fail();
}

// The six descriptor lines: lines, columns, type 1, lowest 0, highest 255, pixel size 10.
bool write_descriptor(const std::filesystem::path& p, const terrain::Options& o) {
  std::ofstream f(p);
  f << o.rows << '\n' << o.cols << "\n1\n0\n255\n10\n";
  f.close();
  return !f.fail();
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{
      "Writes the repository's sample image, images/demo/relief.raw and its descriptor "
      "relief.txt, under ROOT (default: the current folder). The files are committed: "
      "run this only to remake them after the terrain changes.",
      "make_sample"};
  torvanelle::cli::follow_convention(app);
  std::string root = ".";
  app.add_option("ROOT", root, "the repository's root");
  if (const auto status = torvanelle::cli::parse(app, argc, argv, std::cout, std::cerr))
    return *status;
  const std::filesystem::path dir = std::filesystem::path(root) / "images" / "demo";
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  if (ec) {
    std::cerr << "make_sample: cannot create " << dir.string() << ": " << ec.message() << '\n';
    return 1;
  }
  const terrain::Options o = sample_options();
  if (!write_raster(dir / "relief.raw", terrain::contour_raster(o)) ||
      !write_descriptor(dir / "relief.txt", o)) {
    std::cerr << "make_sample: cannot write the sample in " << dir.string() << '\n';
    return 1;
  }
  std::cout << "wrote " << (dir / "relief.raw").string() << " and relief.txt\n";
  return 0;
}
