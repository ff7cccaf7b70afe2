// The measurements of the benchmark, each run in a process of its own.
#pragma once

#include <string>

namespace bench {

/// What one measurement found; printed by a child process on one line, read back by the driver.
struct Measured {
  double seconds = 0;         ///< median time of the whole measurement
  double inner_seconds = 0;   ///< median time of its inner part (the engine: the cleaning alone)
  long peak_kib = 0;          ///< the process's peak resident memory (VmHWM)
  long start_kib = 0;         ///< its resident memory before the measurement began
  std::string verdict = "-";  ///< the model: "identical" or "DIFFERENT"; "-" otherwise
};

/// Runs measurement `what` on the raster of side `n` kept in folder `dir`, `reps` times, and
/// prints its Measured line. `what` is one of prepare, prepare-250, prepare-10,
/// prepare-serpentine (write the raster and the answers file), copy, floor, engine (the whole
/// run, and the cleaning alone as the inner part), model. Returns the exit status.
int child_main(const std::string& what, const std::string& dir, int n, int reps);

}  // namespace bench
