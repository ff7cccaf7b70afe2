#include "io/descriptor.h"

#include <array>
#include <cstdint>
#include <limits>
#include <string>

namespace torvanelle {
namespace {

bool is_space(int c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

bool is_digit(int c) { return c >= '0' && c <= '9'; }

/// The longest part of a word that a message shows.
constexpr std::size_t shown_bytes = 60;

/// Adds `c` and the rest of its word, up to shown_bytes in all, to `word`.
void take_word(std::FILE* f, int c, std::string& word) {
  for (; c != EOF && !is_space(c); c = std::fgetc(f)) {
    if (word.size() == shown_bytes) return;
    word += static_cast<char>(c);
  }
}

/// Reads one integer as "%d" would, without its undefined behaviour on overflow: false when the
/// text at the read position is not an integer within 32 bits, `word` then holding that text
/// (empty at the end of the file). The character that ends the integer is put back.
bool read_int(std::FILE* f, std::int32_t& value, std::string& word) {
  word.clear();
  int c = std::fgetc(f);
  while (is_space(c))
    c = std::fgetc(f);
  const bool negative = c == '-';
  if (c == '-' || c == '+') {
    word += static_cast<char>(c);
    c = std::fgetc(f);
  }
  // The magnitude of INT32_MIN is one more than INT32_MAX.
  const std::int64_t limit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + negative;
  std::int64_t magnitude = 0;
  bool digits = false;
  for (; is_digit(c); c = std::fgetc(f)) {
    magnitude = magnitude * 10 + (c - '0');
    word += static_cast<char>(c);
    digits = true;
    if (magnitude > limit) break;
  }
  if (!digits || magnitude > limit) {
    take_word(f, is_digit(c) ? std::fgetc(f) : c, word);
    return false;
  }
  if (c != EOF) std::ungetc(c, f);
  value = static_cast<std::int32_t>(negative ? -magnitude : magnitude);
  return true;
}

/// Passes over a UTF-8 byte order mark at the start of `f`, as some editors write one. False
/// when the first bytes look like one but are not, `word` then holding them and their word.
bool skip_byte_order_mark(std::FILE* f, std::string& word) {
  const int first = std::fgetc(f);
  if (first != 0xEF) {
    if (first != EOF) std::ungetc(first, f);
    return true;
  }
  word.assign(1, '\xEF');
  for (const int expected : {0xBB, 0xBF}) {
    const int c = std::fgetc(f);
    if (c != expected) {
      take_word(f, c, word);
      return false;
    }
    word += static_cast<char>(c);
  }
  word.clear();
  return true;
}

/// The bytes no process gets beyond: 2^47 on 64-bit hosts (the user half of the 48-bit
/// addresses of x86-64 and AArch64), PTRDIFF_MAX (the largest object) on smaller ones.
constexpr std::uint64_t address_space =
    sizeof(void*) >= 8 ? std::uint64_t{1} << 47
                       : static_cast<std::uint64_t>(std::numeric_limits<std::ptrdiff_t>::max());

}  // namespace

int read_descriptor(std::FILE* f, Descriptor& d, std::string* stopped_at) {
  const std::array<std::int32_t*, 6> fields = {&d.nb_lig, &d.nb_col, &d.type,
                                               &d.min_al, &d.max_al, &d.taille_pix};
  std::string word;
  int count = 0;
  if (skip_byte_order_mark(f, word)) {
    for (std::int32_t* field : fields) {
      if (!read_int(f, *field, word)) break;
      ++count;
    }
  }
  if (stopped_at != nullptr) *stopped_at = count == 6 ? std::string() : word;
  return count;
}

bool write_descriptor(std::FILE* f, const Descriptor& d) {
  return std::fprintf(f, "%d\n%d\n%d\n%d\n%d\n%d\n", d.nb_lig, d.nb_col, d.type, d.min_al, d.max_al,
                      d.taille_pix) >= 0;
}

bool write_trailer_input(std::FILE* f, const std::string& built) {
  return std::fprintf(f, "%s%s ", trailer_input_label, built.c_str()) >= 0;
}

std::optional<std::string> trailer_input_image(std::string_view text) {
  const std::string_view mark = trailer_input_label;
  const std::size_t at = text.find(mark);
  if (at == std::string_view::npos) return std::nullopt;
  std::string_view path = text.substr(at + mark.size());
  path = path.substr(0, path.find('\n'));
  // The program writes one space after the path; a CR LF file adds a '\r'.
  while (!path.empty() && (path.back() == ' ' || path.back() == '\r'))
    path.remove_suffix(1);
  if (path.empty()) return std::nullopt;
  return std::string(path);
}

std::uint64_t run_bytes(std::int32_t nb_lig, std::int32_t nb_col) {
  if (nb_lig <= 0 || nb_col < 0) return 0;
  // An allocation takes its bytes and two pointers' worth of bookkeeping, rounded up to 16.
  constexpr std::uint64_t pointer = sizeof(std::uint8_t*);
  const std::uint64_t row = (static_cast<std::uint64_t>(nb_col) + 2 * pointer + 15) / 16 * 16;
  const std::uint64_t rasters = 3 * static_cast<std::uint64_t>(nb_lig) * (row + pointer);
  // The cleaning marks pixels to visit again: one bit each, in 64-bit words, and a byte a row.
  const std::uint64_t marks =
      static_cast<std::uint64_t>(nb_lig) * ((static_cast<std::uint64_t>(nb_col) + 63) / 64 * 8 + 1);
  return rasters + marks;
}

const char* size_fault(std::int32_t nb_lig, std::int32_t nb_col) {
  if (nb_lig < 0) return "the number of lines is negative";
  if (nb_col < 0) return "the number of columns is negative";
  if (nb_lig == 0) return nullptr;
  if (nb_col == 0) return "an image with lines needs 1 column or more";
  if (run_bytes(nb_lig, nb_col) > address_space)
    return "its three rasters cannot be held in memory";
  return nullptr;
}

bool beyond_memory(std::int32_t nb_lig, std::int32_t nb_col, std::uint64_t memory) {
  return memory != 0 && run_bytes(nb_lig, nb_col) > memory;
}

}  // namespace torvanelle
