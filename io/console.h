// The console: every text the program prints and every answer it reads.
//
// Texts are formatted printf-style and flushed at once, so that a program driving the dialogue
// through a pipe sees each prompt and each progress line as soon as it is printed. Answers are
// whitespace-delimited words: a name is one word, a number one word holding a decimal integer.
#pragma once

#include <cstdint>
#include <cstdio>
#include <istream>
#include <ostream>
#include <string>

// The printf rules that say() follows, for the compiler's format checks. MinGW-w64 checks
// "printf" against Microsoft's C library, which has no %zu; say() formats with the C++ runtime's
// own vsnprintf, whose rules __MINGW_PRINTF_FORMAT names.
#ifdef __MINGW32__
#define TORVANELLE_PRINTF __MINGW_PRINTF_FORMAT
#else
#define TORVANELLE_PRINTF printf
#endif

namespace torvanelle {

/// Prints `fmt` formatted with the arguments (printf rules) to `out`, then flushes `out`.
[[gnu::format(TORVANELLE_PRINTF, 2, 3)]] void say(std::ostream& out, const char* fmt, ...);

/// How reading an answer went.
enum class Read {
  ok,        ///< the answer is in the output argument
  rejected,  ///< the word was consumed and the user told why: ask the same question again
  end,       ///< standard input has ended: the run cannot go on (see say_end_of_input)
};

/// Reads one word, of any length, into `name`.
Read read_name(std::istream& in, std::string& name);

/// Reads one word that must be a decimal integer, optionally signed, within 32 bits. Any other
/// word is consumed and reported on `out` (a number beyond 32 bits as too large or too small),
/// and the result is Read::rejected.
Read read_number(std::istream& in, std::ostream& out, std::int32_t& value);

/// `word` as a message echoes it: control bytes as '?', and when it is longer than 60 bytes, its
/// first characters within 60 bytes followed by "..." (a UTF-8 character is never cut).
std::string shown(const std::string& word);

/// Tells the user that the answers ran out and the run stops.
void say_end_of_input(std::ostream& out);

}  // namespace torvanelle
