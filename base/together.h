// Two pieces of work at once, on the machine's cores: the one thread of the engine that is not
// the caller's. The calls to the system live in one file per platform.
#pragma once

#include <cstddef>
#include <functional>

namespace torvanelle {

/// Whether the machine has a second core for `run_together` to use.
bool two_cores();

/// Runs `first` on a thread of its own and `second` on the calling thread, and returns when
/// both have ended. Where no thread can be started, runs `first` to its end, then `second`:
/// `second` may wait for what `first` has done, never the other way round. Neither may throw.
void run_together(const std::function<void()>& first, const std::function<void()>& second);

/// How many pixels of work make a thread worth starting: below, starting it costs more than the
/// work it takes over, and the engine may already run on both cores over many small rasters.
inline constexpr std::size_t worth_a_thread = std::size_t{1} << 16;

/// `run_together` for work on `pixels` pixels: one after the other below `worth_a_thread`.
inline void run_together(const std::function<void()>& first, const std::function<void()>& second,
                         std::size_t pixels) {
  if (pixels >= worth_a_thread) return run_together(first, second);
  first();
  second();
}

/// Calls rows_from_to(first, last) over rows [0, rows) of a raster of `pixels` pixels, the
/// upper half of the rows on one core and the lower on the other (`run_together`): for work
/// whose rows write nothing that another row reads.
inline void by_halves(int rows, std::size_t pixels,
                      const std::function<void(int, int)>& rows_from_to) {
  const int half = rows / 2;
  run_together([&] { rows_from_to(0, half); }, [&] { rows_from_to(half, rows); }, pixels);
}

/// Lets another thread run while this one waits for it.
void pause_briefly();

/// Hands back to the system what the process freed and its allocator kept: the arrays of some
/// megabytes that one stage frees make the allocator keep those of the next, and a process that
/// works stage after stage on one large raster would hold the more for it.
void give_back_freed_memory();

}  // namespace torvanelle
