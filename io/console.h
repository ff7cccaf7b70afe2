// The console: every text the program prints and every answer it reads.
//
// Texts are formatted printf-style and flushed at once, so that a program driving the dialogue
// through a pipe sees each prompt and each progress line as soon as it is printed. Answers are
// whitespace-delimited words: a name is one word, a number one word holding a decimal integer.
#pragma once

#include <cstdint>
#include <istream>
#include <ostream>
#include <string>

namespace torvanelle {

#if defined(__MINGW32__)
#define TORVANELLE_PRINTF_FORMAT __MINGW_PRINTF_FORMAT
#else
#define TORVANELLE_PRINTF_FORMAT printf
#endif

/// Prints `fmt` formatted with the arguments (printf rules) to `out`, then flushes `out`.
[[gnu::format(TORVANELLE_PRINTF_FORMAT, 2, 3)]] void say(std::ostream& out, const char* fmt, ...);

/// Reads one word, of any length, into `word`; false when standard input has ended.
bool read_word(std::istream& in, std::string& word);

/// Takes `word` as a decimal integer, optionally signed, within 32 bits. Any other word is
/// reported on `out` (a number beyond 32 bits as too large or too small), and the result is
/// false, `value` unchanged.
bool parse_number(const std::string& word, std::ostream& out, std::int32_t& value);

/// `word` as a message echoes it: control bytes as '?', and when it is longer than 60 bytes, its
/// first characters within 60 bytes followed by "..." (a UTF-8 character is never cut).
std::string shown(const std::string& word);

/// Tells the user that the answers ran out and the run stops.
void say_end_of_input(std::ostream& out);

}  // namespace torvanelle
