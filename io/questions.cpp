#include "io/questions.h"

#include "io/console.h"

namespace torvanelle {

bool ask(std::istream& in, std::ostream& out, const std::string& prompt, const TakeWord& take) {
  for (;;) {
    say(out, "%s", prompt.c_str());
    std::string word;
    if (!read_word(in, word)) return false;
    if (take(word)) return true;
  }
}

bool ask_name(std::istream& in, std::ostream& out, const std::string& prompt, std::string& name,
              const std::function<bool(const std::string&)>& usable) {
  return ask(in, out, prompt, [&](const std::string& word) {
    if (word.find('\0') != std::string::npos) {
      say(out, "\n\tA name cannot hold a NUL byte: another name is expected ");
      return false;
    }
    if (!usable(word)) return false;
    name = word;
    return true;
  });
}

bool ask_number(std::istream& in, std::ostream& out, const std::string& prompt, std::int32_t& value,
                const std::function<bool(std::int32_t)>& usable) {
  return ask(in, out, prompt, [&](const std::string& word) {
    std::int32_t number = 0;
    if (!parse_number(word, out, number) || !usable(number)) return false;
    value = number;
    return true;
  });
}

bool ask_number_between(std::istream& in, std::ostream& out, const std::string& prompt,
                        std::int32_t& value, std::int32_t lowest, std::int32_t highest) {
  return ask_number(in, out, prompt, value,
                    [=](std::int32_t number) { return number >= lowest && number <= highest; });
}

}  // namespace torvanelle
