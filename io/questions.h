// The questions of the dialogue: each is printed, and asked again until its answer is usable.
#pragma once

#include <cstdint>
#include <functional>
#include <istream>
#include <ostream>
#include <string>

namespace torvanelle {

/// Takes a word typed in answer, or refuses it after telling the user why.
using TakeWord = std::function<bool(const std::string& word)>;

/// Prints `prompt` and reads one word, again and again until `take` takes one. False when
/// standard input ends first. Every word read is consumed, so no prompt repeats without new
/// input.
bool ask(std::istream& in, std::ostream& out, const std::string& prompt, const TakeWord& take);

/// Asks for a name that `usable` accepts. A name holding a NUL byte is refused first: a file is
/// opened by a NUL-terminated path, so the name would be cut short there and two different
/// names could open one file.
bool ask_name(std::istream& in, std::ostream& out, const std::string& prompt, std::string& name,
              const std::function<bool(const std::string&)>& usable);

/// Asks for a whole number within 32 bits that `usable` accepts; other words are reported.
bool ask_number(std::istream& in, std::ostream& out, const std::string& prompt, std::int32_t& value,
                const std::function<bool(std::int32_t)>& usable);

/// Asks for a whole number from `lowest` to `highest`. A number outside is refused without a
/// word: the question printed again says what is expected.
bool ask_number_between(std::istream& in, std::ostream& out, const std::string& prompt,
                        std::int32_t& value, std::int32_t lowest, std::int32_t highest);

}  // namespace torvanelle
