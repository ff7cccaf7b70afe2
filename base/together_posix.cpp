#include <malloc.h>
#include <sched.h>

#include <system_error>
#include <thread>

#include "base/together.h"

namespace torvanelle {

bool two_cores() { return std::thread::hardware_concurrency() >= 2; }

void run_together(const std::function<void()>& first, const std::function<void()>& second) {
  std::thread other;
  try {
    other = std::thread(first);
  } catch (const std::system_error&) {
    first();
    second();
    return;
  }
  second();
  other.join();
}

void pause_briefly() { sched_yield(); }

void give_back_freed_memory() { malloc_trim(0); }

}  // namespace torvanelle
