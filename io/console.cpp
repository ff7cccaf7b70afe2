#include "io/console.h"

#include <charconv>
#include <cstdarg>
#include <cstdio>

namespace torvanelle {

void say(std::ostream& out, const char* fmt, ...) {
  std::va_list args;
  va_start(args, fmt);
  std::va_list again;
  va_copy(again, args);
  const int length = std::vsnprintf(nullptr, 0, fmt, args);
  va_end(args);
  if (length > 0) {
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    std::vsnprintf(text.data(), text.size(), fmt, again);
    out.write(text.data(), length);
  }
  va_end(again);
  out.flush();
}

bool read_word(std::istream& in, std::string& word) { return static_cast<bool>(in >> word); }

bool parse_number(const std::string& word, std::ostream& out, std::int32_t& value) {
  // A leading '+' is accepted as a formatted read accepts it; from_chars takes only '-'.
  const char* first = word.data() + (word.size() > 1 && word[0] == '+' ? 1 : 0);
  const char* last = word.data() + word.size();
  std::int32_t parsed = 0;
  const auto [end, error] = std::from_chars(first, last, parsed);
  if (error == std::errc::result_out_of_range && end == last) {
    say(out, "\n\t%s is too %s: a whole number between -2147483648 and 2147483647 is expected ",
        shown(word).c_str(), word[0] == '-' ? "small" : "large");
    return false;
  }
  if (error != std::errc() || end != last) {
    say(out, "\n\t\"%s\" is not a whole number: a whole number is expected ", shown(word).c_str());
    return false;
  }
  value = parsed;
  return true;
}

std::string shown(const std::string& word) {
  constexpr std::size_t most = 60;
  std::size_t length = word.size();
  if (length > most) {
    // Back to the start of the character that the 61st byte belongs to (not a continuation byte).
    length = most;
    while (length > 0 && (static_cast<unsigned char>(word[length]) & 0xC0) == 0x80)
      --length;
  }
  std::string text = word.substr(0, length);
  for (char& c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
  }
  return length < word.size() ? text + "..." : text;
}

void say_end_of_input(std::ostream& out) {
  say(out, "\n\tStandard input has ended before every question was answered: the run stops \n");
}

}  // namespace torvanelle
