// torvanelle-geo: from a GIS raster to the program's files, and from its result back to a
// GeoTIFF. Decides the exit status: 0 done, 1 failed or refused, 2 not understood.
#include <cstring>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/geo/commands.h"
#include "tools/geo/gdal_support.h"

namespace {

constexpr const char* synopsis =
    "usage: torvanelle-geo import [--force] SOURCE DEST\n"
    "       torvanelle-geo export [--force] [--images-root DIR] STEM OUTPUT\n"
    "       torvanelle-geo --help\n";

constexpr const char* description = R"(
import  SOURCE, a single-band 8-bit raster that GDAL reads (a GeoTIFF, say), becomes the
        program's input DEST.raw (the pixels row by row; nodata pixels become 255, the
        background), DEST.txt (lines, columns, type 1, lowest and highest altitude from the
        metadata items LOWEST_ALTITUDE and HIGHEST_ALTITUDE or else 0 and 255, and the pixel
        width in the coordinate system's units, rounded) and DEST.hdr, an ENVI header with
        which GDAL opens DEST.raw at its place on the map. DEST is a path stem such as
        images/site/dem1; its folder must exist.
export  STEM, a result such as images/site/dem1_venc8 (STEM.raw and STEM.txt), becomes the
        GeoTIFF OUTPUT: DEFLATE, tiled, nodata 255, one colour per contour number as the
        preview draws them. The georeference is the one of the input image that STEM.txt names
        (C:\images\ standing for the program's images root, images/, or for --images-root
        DIR; or the file of that name beside STEM), else that of STEM.raw's own sidecar.
        STEM.hdr is written too, so that GDAL opens STEM.raw itself at its place.

--force         replace DEST's files or OUTPUT when they exist (refused otherwise)
--images-root   the folder that stands for C:\images\ in the result's descriptor

Files appear whole or not at all; nothing is written when a command is refused. Warnings and
progress (for rasters that take more than a second) go to standard error.
Exit status: 0 done, 1 failed or refused, 2 command line not understood.

Notes: only the source's nodata value marks background pixels; a mask or alpha band is not
read. The ENVI headers carry no colour table: GDAL shows a raw raster in grey.
)";

struct CommandLine {
  std::string command;
  std::vector<std::string> operands;
  bool force = false;
  std::optional<std::filesystem::path> images_root;
};

/// The command line read, or nothing when it is not understood.
std::optional<CommandLine> parse(int argc, char** argv) {
  CommandLine c;
  bool options_end = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (options_end || arg.empty() || arg[0] != '-' || arg == "-") {
      (c.command.empty() ? c.command : c.operands.emplace_back()) = arg;
    } else if (arg == "--") {
      options_end = true;
    } else if (arg == "--force") {
      c.force = true;
    } else if (arg == "--images-root" && i + 1 < argc) {
      c.images_root = argv[++i];
    } else {
      return std::nullopt;
    }
  }
  if ((c.command != "import" && c.command != "export") || c.operands.size() != 2) {
    return std::nullopt;
  }
  if (c.command == "import" && c.images_root) return std::nullopt;
  return c;
}

bool asks_for_help(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) return true;
  }
  return false;
}

int run(const CommandLine& c) {
  geo::GdalSession gdal;
  try {
    if (c.command == "import") {
      geo::import_raster(c.operands[0], c.operands[1], {c.force}, std::cerr);
    } else {
      geo::export_result(c.operands[0], c.operands[1], {c.force, c.images_root}, std::cerr);
    }
  } catch (const std::exception& e) {  // geo::Error, and the standard library's own failures
    std::cerr << "torvanelle-geo: " << e.what() << '\n';
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (asks_for_help(argc, argv)) {
    std::cout << synopsis << description;
    return 0;
  }
  const std::optional<CommandLine> c = parse(argc, argv);
  if (!c) {
    std::cerr << synopsis;
    return 2;
  }
  return run(*c);
}
