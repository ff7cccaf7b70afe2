// Draws a contour raster as a PNG picture: each contour number in a colour of a ten-colour
// cycle, so that neighbouring numbers differ, the background white.
//
//   preview raster.raw descriptor.txt picture.png [scale]
//
// The descriptor's first two integers are the raster's lines and columns; scale (1 to 16,
// default 1) repeats every pixel scale × scale times.

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "preview/palette.h"
#include "preview/png.h"

namespace {

struct Args {
  std::string raster, descriptor, picture;
  int scale = 1;
};

bool parse(int argc, char** argv, Args& a) {
  if (argc < 4 || argc > 5) return false;
  a.raster = argv[1];
  a.descriptor = argv[2];
  a.picture = argv[3];
  if (argc == 5) {
    char* end = nullptr;
    const long s = std::strtol(argv[4], &end, 10);
    if (*end != '\0' || s < 1 || s > 16) return false;
    a.scale = static_cast<int>(s);
  }
  return true;
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

// The raster's size from its descriptor; false when unreadable or not a sensible size.
bool read_size(const std::string& path, int& rows, int& cols) {
  std::ifstream f(path);
  return static_cast<bool>(f >> rows >> cols) && rows > 0 && cols > 0 &&
         static_cast<long long>(rows) * cols <= (1LL << 28);
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

int fail(const std::string& what) {
  std::cerr << "preview: " << what << '\n';
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  Args a;
  if (!parse(argc, argv, a)) {
    std::cerr << "usage: preview raster.raw descriptor.txt picture.png [scale 1..16]\n";
    return 2;
  }
  int rows = 0, cols = 0;
  if (!read_size(a.descriptor, rows, cols)) return fail("no usable size in " + a.descriptor);
  if (static_cast<long long>(rows) * cols * a.scale * a.scale > (1LL << 28)) {
    return fail("picture too large at this scale");
  }
  std::ifstream in(a.raster, std::ios::binary);
  std::vector<std::uint8_t> r(std::size_t(rows) * cols);
  in.read(reinterpret_cast<char*>(r.data()), static_cast<std::streamsize>(r.size()));
  if (static_cast<std::size_t>(in.gcount()) != r.size()) {
    return fail(a.raster + " holds fewer than " + std::to_string(r.size()) + " bytes");
  }

  const std::vector<std::uint8_t> file = png::encode_indexed(
      cols * a.scale, rows * a.scale, enlarge(r, rows, cols, a.scale), contour_palette());
  if (file.empty()) return fail("not enough memory to compress the picture");
  std::ofstream out(a.picture, std::ios::binary);
  out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
  out.close();
  if (out.fail()) return fail("cannot write " + a.picture);
  return 0;
}
