// Draws a contour raster as a PNG picture: each contour number in a colour of a ten-colour
// cycle, so that neighbouring numbers differ, the background white.
//
//   preview raster.raw descriptor.txt picture.png [scale] [--overwrite]
//
// The descriptor's first two integers are the raster's lines and columns; scale (1 to 16,
// default 1) repeats every pixel scale × scale times. The picture appears whole or not at all.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "base/palette.h"
#include "cli/cli.h"
#include "io/descriptor.h"
#include "io/interrupts.h"
#include "tools/preview/png.h"

namespace palette = torvanelle::palette;
namespace png = torvanelle::png;

namespace {

struct Args {
  std::string raster, descriptor, picture;
  int scale = 1;
  std::vector<int> window;  ///< column, row, columns, rows of the part drawn; empty: all
  bool overwrite = false;
};

void declare(CLI::App& app, Args& a) {
  app.add_option("RASTER", a.raster, "the raw raster (NAME.raw)")->required();
  app.add_option("DESCRIPTOR", a.descriptor, "its descriptor (NAME.txt)")->required();
  app.add_option("PICTURE", a.picture, "the PNG picture to write")->required();
  app.add_option("SCALE", a.scale, "each pixel drawn SCALE x SCALE times (default 1)")
      ->check(torvanelle::cli::whole_between(1, 16));
  app.add_option("--window", a.window, "draw only COLUMNS x ROWS pixels from COLUMN, ROW")
      ->expected(4)
      ->type_name("COLUMN ROW COLUMNS ROWS")
      ->check(torvanelle::cli::whole_between(0, 1 << 28));
  app.add_flag("--overwrite", a.overwrite, "replace PICTURE if it exists");
}

// The palette's 256 colours, in pixel-value order.
std::vector<png::Rgb> contour_palette() {
  std::vector<png::Rgb> p;
  for (int k = 0; k < 256; ++k) {
    const palette::Rgb c = palette::colour(static_cast<std::uint8_t>(k));
    p.push_back({c.r, c.g, c.b});
  }
  return p;
}

// The raster's size from its descriptor, read as the program reads one; false when unreadable
// or not a sensible size.
bool read_size(const std::string& path, int& rows, int& cols) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return false;
  torvanelle::Descriptor d;
  const bool read = torvanelle::read_descriptor(f, d) >= 2;
  std::fclose(f);
  rows = d.nb_lig;
  cols = d.nb_col;
  return read && rows > 0 && cols > 0 && static_cast<long long>(rows) * cols <= (1LL << 28);
}

// Every pixel repeated scale × scale times.
std::vector<std::uint8_t> enlarge(const std::vector<std::uint8_t>& r, int rows, int cols,
                                  int scale) {
  std::vector<std::uint8_t> big;
  big.reserve(r.size() * static_cast<std::size_t>(scale) * scale);
  for (int y = 0; y < rows; ++y) {
    std::vector<std::uint8_t> line;
    for (int x = 0; x < cols; ++x)
      line.insert(line.end(), scale, r[std::size_t(y) * cols + x]);
    for (int i = 0; i < scale; ++i)
      big.insert(big.end(), line.begin(), line.end());
  }
  return big;
}

/// The part of the raster `window` names (column, row, columns, rows), its size in rows and
/// cols; the whole raster when `window` is empty.
std::vector<std::uint8_t> part(const std::vector<std::uint8_t>& r, const std::vector<int>& window,
                               int& rows, int& cols) {
  if (window.empty()) return r;
  const int x0 = window[0], y0 = window[1], w = window[2], h = window[3];
  if (w < 1 || h < 1 || x0 + w > cols || y0 + h > rows)
    throw torvanelle::cli::Error("the window is not within the raster's " + std::to_string(cols) +
                                 " columns and " + std::to_string(rows) + " rows");
  std::vector<std::uint8_t> out;
  for (int y = y0; y < y0 + h; ++y) {
    const auto row = r.begin() + static_cast<std::ptrdiff_t>(y) * cols;
    out.insert(out.end(), row + x0, row + x0 + w);
  }
  rows = h;
  cols = w;
  return out;
}

/// Draws the raster into the picture that `command` puts in place.
void draw(const Args& a, torvanelle::cli::Command& command) {
  using torvanelle::cli::Error;
  command.sources.add(a.descriptor);
  command.sources.add(a.raster);
  const std::filesystem::path staged = command.outputs.add(a.picture, command.sources);
  int rows = 0, cols = 0;
  if (!read_size(a.descriptor, rows, cols)) throw Error("no usable size in " + a.descriptor);
  std::ifstream in(a.raster, std::ios::binary);
  std::vector<std::uint8_t> r(std::size_t(rows) * cols);
  in.read(reinterpret_cast<char*>(r.data()), static_cast<std::streamsize>(r.size()));
  if (static_cast<std::size_t>(in.gcount()) != r.size())
    throw Error(a.raster + " holds fewer than " + std::to_string(r.size()) + " bytes");
  r = part(r, a.window, rows, cols);
  if (static_cast<long long>(rows) * cols * a.scale * a.scale > (1LL << 28))
    throw Error("picture too large at this scale");
  const std::vector<std::uint8_t> file = png::encode_indexed(
      cols * a.scale, rows * a.scale, enlarge(r, rows, cols, a.scale), contour_palette());
  if (file.empty()) throw Error("not enough memory to compress the picture");
  std::ofstream out(staged, std::ios::binary);
  out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
  out.close();
  if (out.fail()) throw Error("cannot write " + a.picture);
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{
      "Draws a contour raster as a PNG picture: each contour number in a colour of a "
      "ten-colour cycle, so that neighbouring numbers differ, the background white.",
      "preview"};
  torvanelle::cli::follow_convention(app);
  Args a;
  declare(app, a);
  torvanelle::catch_interrupts();
  return torvanelle::cli::run(app, std::vector<std::string>(argv + 1, argv + argc), std::cout,
                              std::cerr, a.overwrite, a.raster,
                              [&](torvanelle::cli::Command& c) { draw(a, c); });
}
