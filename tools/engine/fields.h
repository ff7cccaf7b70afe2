// The words of the forms' text lines, and numbers read from them whole.
#pragma once

#include <charconv>
#include <string_view>
#include <system_error>
#include <vector>

namespace torvanelle::engine {

/// The fields of `line`, separated by single spaces (two spaces give an empty field).
inline std::vector<std::string_view> fields(std::string_view line) {
  std::vector<std::string_view> out;
  std::size_t start = 0;
  for (std::size_t at = 0; at <= line.size(); ++at) {
    if (at == line.size() || line[at] == ' ') {
      out.push_back(line.substr(start, at - start));
      start = at + 1;
    }
  }
  return out;
}

/// The whole of `word` as a T, or false.
template <class T>
bool read_word(std::string_view word, T& value) {
  const auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), value);
  return !word.empty() && ec == std::errc() && end == word.data() + word.size();
}

}  // namespace torvanelle::engine
