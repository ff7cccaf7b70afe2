#include "io/console.h"

#include <cstdarg>
#include <cstdio>
#include <string>

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

}  // namespace torvanelle
