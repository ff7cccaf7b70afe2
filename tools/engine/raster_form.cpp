// The rasters' form (forms.h): a TVRASTER header line, then the pixels.
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <limits>
#include <string_view>

#include "cli/outputs.h"
#include "tools/engine/fields.h"
#include "tools/engine/forms.h"

namespace torvanelle::engine {
namespace {

namespace fs = std::filesystem;
using cli::Error;

/// What a header line says.
struct Header {
  int cols = 0;
  int rows = 0;
};

/// The whole of `file`.
std::string whole_file(const fs::path& file, const std::string& shown) {
  std::ifstream f(file, std::ios::binary);
  std::string bytes;
  if (f) {
    f.seekg(0, std::ios::end);
    const std::streamoff size = f.tellg();
    f.seekg(0, std::ios::beg);
    if (size >= 0) {
      bytes.resize(static_cast<std::size_t>(size));
      f.read(bytes.data(), size);
    }
  }
  if (!f) throw Error("cannot read " + shown);
  return bytes;
}

/// `word` as a size from 1, or 0 when it is not one.
int size_of(std::string_view word) {
  int value = 0;
  return read_word(word, value) && value > 0 ? value : 0;
}

/// The header of `bytes`, checked to hold `type` pixels; removes it from `bytes`' front, and
/// checks that what remains holds exactly COLS x ROWS pixels of `width` bytes.
Header take_header(std::string_view& bytes, std::string_view type, std::size_t width,
                   const std::string& shown) {
  const std::size_t end = bytes.substr(0, 64).find('\n');
  const std::vector<std::string_view> f =
      fields(bytes.substr(0, end == std::string_view::npos ? 0 : end));
  if (end == std::string_view::npos || f.size() != 5 || f[0] != "TVRASTER")
    throw Error(shown +
                " is not a raster of torvanelle-engine: it does not begin with a line "
                "'TVRASTER 1 COLS ROWS " +
                std::string(type) + "'");
  if (f[1] != "1") throw Error(shown + ": raster form version '" + std::string(f[1]) + "' (1 is)");
  if (f[4] != type)
    throw Error(shown + " holds " + std::string(f[4]) + " pixels, not " + std::string(type));
  const Header h{size_of(f[2]), size_of(f[3])};
  if (h.cols == 0 || h.rows == 0)
    throw Error(shown + ": the raster's columns and rows must be whole numbers from 1, not '" +
                std::string(f[2]) + " " + std::string(f[3]) + "'");
  bytes.remove_prefix(end + 1);
  const std::size_t row_bytes = static_cast<std::size_t>(h.cols) * width;
  const bool whole =
      bytes.size() % row_bytes == 0 && bytes.size() / row_bytes == static_cast<std::size_t>(h.rows);
  if (!whole) {
    const auto rows = static_cast<std::size_t>(h.rows);
    const bool short_file = bytes.size() / row_bytes < rows;
    const bool fits = rows <= std::numeric_limits<std::size_t>::max() / row_bytes;
    throw Error(shown + (short_file ? " is truncated" : " is longer than its header says") + ": " +
                std::to_string(h.cols) + " x " + std::to_string(h.rows) + " " + std::string(type) +
                " pixels take " + (fits ? std::to_string(row_bytes * rows) : std::string("more")) +
                " bytes after the header, and it holds " + std::to_string(bytes.size()));
  }
  return h;
}

/// Writes the header and `pixels` to `file`.
void write_file(const fs::path& file, const Header& h, std::string_view type,
                std::string_view pixels, const std::string& shown) {
  std::ofstream f(file, std::ios::binary);
  f << "TVRASTER 1 " << h.cols << ' ' << h.rows << ' ' << type << '\n';
  f.write(pixels.data(), static_cast<std::streamsize>(pixels.size()));
  f.close();
  if (!f) throw Error("cannot write " + shown);
}

}  // namespace

Image read_raster(const fs::path& file, const std::string& shown) {
  const std::string bytes = whole_file(file, shown);
  std::string_view body = bytes;
  const Header h = take_header(body, "u8", 1, shown);
  Image image(h.rows, h.cols);
  std::copy(body.begin(), body.end(), reinterpret_cast<char*>(image.px.data()));
  return image;
}

void write_raster(const fs::path& file, const Image& image, const std::string& shown) {
  const std::string_view pixels(reinterpret_cast<const char*>(image.px.data()), image.px.size());
  write_file(file, {image.cols, image.rows}, "u8", pixels, shown);
}

dem::Model read_model(const fs::path& file, const std::string& shown) {
  const std::string bytes = whole_file(file, shown);
  std::string_view body = bytes;
  const Header h = take_header(body, "f32", 4, shown);
  dem::Model m;
  m.rows = h.rows;
  m.cols = h.cols;
  m.z.resize(body.size() / 4);
  for (std::size_t k = 0; k < m.z.size(); ++k) {
    std::uint32_t bits = 0;
    for (int b = 3; b >= 0; --b)
      bits = bits << 8 | static_cast<std::uint8_t>(body[4 * k + static_cast<std::size_t>(b)]);
    const float v = std::bit_cast<float>(bits);
    m.z[k] = std::isnan(v) ? dem::nodata : v;
    if (std::isnan(v)) continue;
    if (std::isnan(m.min) || v < m.min) m.min = v;
    if (std::isnan(m.max) || v > m.max) m.max = v;
  }
  return m;
}

void write_model(const fs::path& file, const dem::Model& model, const std::string& shown) {
  std::string pixels(model.z.size() * 4, '\0');
  for (std::size_t k = 0; k < model.z.size(); ++k) {
    const std::uint32_t bits = std::bit_cast<std::uint32_t>(model.z[k]);
    for (std::size_t b = 0; b < 4; ++b)
      pixels[4 * k + b] = static_cast<char>(bits >> (8 * b) & 0xff);
  }
  write_file(file, {model.cols, model.rows}, "f32", pixels, shown);
}

}  // namespace torvanelle::engine
