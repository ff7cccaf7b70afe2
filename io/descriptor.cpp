#include "io/descriptor.h"

#include <array>
#include <cstdint>
#include <limits>

namespace torvanelle {
namespace {

bool is_space(int c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

bool is_digit(int c) { return c >= '0' && c <= '9'; }

/// Reads one integer as "%d" would, without its undefined behaviour on overflow: false when the
/// text at the read position is not an integer within 32 bits. The character that ends the
/// integer is put back.
bool read_int(std::FILE* f, std::int32_t& value) {
  int c = std::fgetc(f);
  while (is_space(c))
    c = std::fgetc(f);
  const bool negative = c == '-';
  if (c == '-' || c == '+') c = std::fgetc(f);
  if (!is_digit(c)) return false;
  // The magnitude of INT32_MIN is one more than INT32_MAX.
  const std::int64_t limit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + negative;
  std::int64_t magnitude = 0;
  for (; is_digit(c); c = std::fgetc(f)) {
    magnitude = magnitude * 10 + (c - '0');
    if (magnitude > limit) return false;
  }
  if (c != EOF) std::ungetc(c, f);
  value = static_cast<std::int32_t>(negative ? -magnitude : magnitude);
  return true;
}

/// The bytes no process gets beyond: 2^47 on 64-bit hosts (the user half of the 48-bit
/// addresses of x86-64 and AArch64), PTRDIFF_MAX (the largest object) on smaller ones.
constexpr std::uint64_t address_space =
    sizeof(void*) >= 8 ? std::uint64_t{1} << 47
                       : static_cast<std::uint64_t>(std::numeric_limits<std::ptrdiff_t>::max());

}  // namespace

int read_descriptor(std::FILE* f, State& st) {
  const std::array<std::int32_t*, 6> fields = {&st.nb_lig, &st.nb_col, &st.type,
                                               &st.min_al, &st.max_al, &st.taille_pix};
  int count = 0;
  for (std::int32_t* field : fields) {
    if (!read_int(f, *field)) break;
    ++count;
  }
  return count;
}

bool write_descriptor(std::FILE* f, const State& st) {
  return std::fprintf(f, "%d\n%d\n%d\n%d\n%d\n%d\n", st.nb_lig, st.nb_col, st.type, st.min_al,
                      st.max_al, st.taille_pix) >= 0;
}

const char* size_fault(std::int32_t nb_lig, std::int32_t nb_col) {
  if (nb_lig < 0) return "the number of lines is negative";
  if (nb_col < 0) return "the number of columns is negative";
  if (nb_lig == 0) return nullptr;
  if (nb_col == 0) return "an image with lines needs 1 column or more";
  // Each of the three rasters takes nb_lig row pointers and nb_lig rows of nb_col bytes.
  const std::uint64_t row_bytes = static_cast<std::uint64_t>(nb_col) + sizeof(std::uint8_t*);
  if (row_bytes > address_space / 3 / static_cast<std::uint64_t>(nb_lig))
    return "its three rasters cannot be held in memory";
  return nullptr;
}

}  // namespace torvanelle
