// Console output: every text the program prints goes through here, formatted printf-style and
// flushed at once, so that a program driving the dialogue through a pipe sees each prompt and
// each progress line as soon as it is printed.
#pragma once

#include <ostream>

namespace torvanelle {

/// Prints `fmt` formatted with the arguments (printf rules) to `out`, then flushes `out`.
[[gnu::format(printf, 2, 3)]] void say(std::ostream& out, const char* fmt, ...);

}  // namespace torvanelle
