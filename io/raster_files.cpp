#include "io/raster_files.h"

#include <cstring>
#include <vector>

namespace torvanelle {
namespace {

/// How much of the raster goes to the file at a time: with the default stream buffer of a few
/// KiB, every row would be a system call of its own.
constexpr std::size_t write_chunk_bytes = std::size_t{1} << 18;

}  // namespace

long long read_rows(std::FILE* f, Raster tab, std::int32_t nb_lig, std::int32_t nb_col) {
  std::setvbuf(f, nullptr, _IONBF, 0);
  const auto row_bytes = static_cast<std::size_t>(nb_col);
  long long found = 0;
  for (std::int32_t i = 0; i < nb_lig; ++i)
    found += static_cast<long long>(std::fread(tab[i], 1, row_bytes, f));
  return found;
}

bool write_rows(std::FILE* f, const Raster tab, std::int32_t nb_lig, std::int32_t nb_col) {
  std::setvbuf(f, nullptr, _IONBF, 0);
  const auto row_bytes = static_cast<std::size_t>(nb_col);
  std::vector<std::uint8_t> chunk;
  chunk.reserve(write_chunk_bytes);
  const auto flush = [&] {
    const bool written = std::fwrite(chunk.data(), 1, chunk.size(), f) == chunk.size();
    chunk.clear();
    return written;
  };
  for (std::int32_t i = 0; i < nb_lig; ++i) {
    if (chunk.size() + row_bytes > write_chunk_bytes && !flush()) return false;
    if (row_bytes >= write_chunk_bytes) {
      if (std::fwrite(tab[i], 1, row_bytes, f) != row_bytes) return false;
      continue;
    }
    chunk.insert(chunk.end(), tab[i], tab[i] + row_bytes);
  }
  return flush();
}

}  // namespace torvanelle
