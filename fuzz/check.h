// What a fuzz target does when an invariant breaks: says which, then aborts, so that libFuzzer
// records the input as a crash and the corpus replay fails.
#pragma once

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition, ...)                                                 \
  do {                                                                             \
    if (!(condition)) {                                                            \
      std::fprintf(stderr, "%s:%d: broken: %s\n", __FILE__, __LINE__, #condition); \
      std::fprintf(stderr, __VA_ARGS__);                                           \
      std::fprintf(stderr, "\n");                                                  \
      std::abort();                                                                \
    }                                                                              \
  } while (false)
