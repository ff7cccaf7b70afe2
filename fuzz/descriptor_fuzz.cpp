// Fuzz target: the descriptor reader, fed from memory.
//
// Whatever the bytes, read_descriptor must read exactly the integers a plain reference reading
// finds (white space, an optional sign, digits, within 32 bits; stop at anything else), leave
// the fields it did not read alone, and size_fault must agree with the memory the three rasters
// would take. The six values written back by write_descriptor must read back the same.
#include <array>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/image.h"
#include "check.h"
#include "io/descriptor.h"

namespace {

using State = torvanelle::Descriptor;

std::array<std::int32_t*, 6> fields(State& st) {
  return {&st.nb_lig, &st.nb_col, &st.type, &st.min_al, &st.max_al, &st.taille_pix};
}

bool is_space(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

/// The integers at the start of `text`, read the plain way: at most six.
std::vector<std::int32_t> reference_values(const std::string& text) {
  std::vector<std::int32_t> values;
  // A UTF-8 byte order mark may stand before the first.
  std::size_t at = text.starts_with("\xEF\xBB\xBF") ? 3 : 0;
  while (values.size() < 6) {
    while (at < text.size() && is_space(text[at]))
      ++at;
    std::size_t digits = at;
    if (digits < text.size() && (text[digits] == '-' || text[digits] == '+')) ++digits;
    std::size_t end = digits;
    while (end < text.size() && text[end] >= '0' && text[end] <= '9')
      ++end;
    if (end == digits) break;
    // from_chars takes a '-' but not a '+'.
    const std::size_t first = text[at] == '+' ? at + 1 : at;
    std::int32_t value = 0;
    const auto [stop, error] = std::from_chars(text.data() + first, text.data() + end, value);
    if (error != std::errc() || stop != text.data() + end) break;
    values.push_back(value);
    at = end;
  }
  return values;
}

/// A stream reading `text` from memory (fmemopen refuses an empty buffer on some C libraries).
/// Windows has no memory stream: a temporary file stands in, read the same way (binary).
std::FILE* memory_stream(std::string& text) {
#ifdef _WIN32
  std::FILE* f = std::tmpfile();
  if (f != nullptr && std::fwrite(text.data(), 1, text.size(), f) == text.size()) std::rewind(f);
  return f;
#else
  if (text.empty()) return std::fopen("/dev/null", "r");
  return fmemopen(text.data(), text.size(), "r");
#endif
}

/// What write_descriptor writes for `st`.
std::string written(const State& st) {
#ifdef _WIN32
  std::FILE* w = std::tmpfile();
  FUZZ_CHECK(w != nullptr, "no temporary file");
  FUZZ_CHECK(torvanelle::write_descriptor(w, st), "write_descriptor failed");
  std::string text(static_cast<std::size_t>(std::ftell(w)), '\0');
  std::rewind(w);
  FUZZ_CHECK(std::fread(text.data(), 1, text.size(), w) == text.size(), "cannot read back");
  std::fclose(w);
  return text;
#else
  char* buffer = nullptr;
  std::size_t length = 0;
  std::FILE* w = open_memstream(&buffer, &length);
  FUZZ_CHECK(w != nullptr, "no memory stream");
  FUZZ_CHECK(torvanelle::write_descriptor(w, st), "write_descriptor failed");
  std::fclose(w);
  std::string text(buffer, length);
  std::free(buffer);
  return text;
#endif
}

void check_size_fault(std::int32_t nb_lig, std::int32_t nb_col) {
  const char* fault = torvanelle::size_fault(nb_lig, nb_col);
  if (nb_lig < 0 || nb_col < 0 || (nb_lig > 0 && nb_col == 0)) {
    FUZZ_CHECK(fault != nullptr, "%d lines, %d columns accepted", nb_lig, nb_col);
    return;
  }
  // Three rasters of row pointers and rows, each row with some bookkeeping of the allocator's,
  // and a bit per pixel of marks: at least the pixels and pointers, at most 64 bytes more a row.
  const std::uint64_t bytes = torvanelle::run_bytes(nb_lig, nb_col);
  const std::uint64_t lines = static_cast<std::uint64_t>(nb_lig);
  const std::uint64_t columns = static_cast<std::uint64_t>(nb_col);
  FUZZ_CHECK(bytes >= 3 * lines * (columns + sizeof(std::uint8_t*)) + lines * columns / 8 &&
                 bytes <= 3 * lines * (columns + 64) + lines * (columns / 8 + 16),
             "%d lines, %d columns take %llu bytes", nb_lig, nb_col,
             static_cast<unsigned long long>(bytes));
  const bool too_large = sizeof(void*) >= 8 && bytes > (std::uint64_t{1} << 47);
  FUZZ_CHECK((fault != nullptr) == too_large, "%d lines, %d columns: %s", nb_lig, nb_col,
             fault != nullptr ? fault : "accepted");
}

/// The values written by write_descriptor read back the same, all six of them.
void check_round_trip(const State& st) {
  std::string text = written(st);
  State again;
  std::FILE* r = memory_stream(text);
  FUZZ_CHECK(torvanelle::read_descriptor(r, again) == 6, "written: %s", text.c_str());
  std::fclose(r);
  FUZZ_CHECK(again.nb_lig == st.nb_lig && again.nb_col == st.nb_col && again.type == st.type &&
                 again.min_al == st.min_al && again.max_al == st.max_al &&
                 again.taille_pix == st.taille_pix,
             "written: %s", text.c_str());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  State st;
  const std::array<std::int32_t, 6> before = {-7001, -7002, -7003, -7004, -7005, -7006};
  for (std::size_t n = 0; n < 6; ++n)
    *fields(st)[n] = before[n];
  std::FILE* f = memory_stream(text);
  FUZZ_CHECK(f != nullptr, "no memory stream");
  const int count = torvanelle::read_descriptor(f, st);
  std::fclose(f);

  const std::vector<std::int32_t> expected = reference_values(text);
  FUZZ_CHECK(count == static_cast<int>(expected.size()), "read %d values, expected %zu", count,
             expected.size());
  for (std::size_t n = 0; n < 6; ++n) {
    const std::int32_t want = n < expected.size() ? expected[n] : before[n];
    FUZZ_CHECK(*fields(st)[n] == want, "field %zu is %d, expected %d", n + 1, *fields(st)[n], want);
  }
  check_size_fault(st.nb_lig, st.nb_col);
  check_round_trip(st);
  return 0;
}
