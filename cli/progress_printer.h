// A run's progress printed as GDAL's utilities print theirs, without GDAL:
// "0...10...20...30...40...50...60...70...80...90...100 - done." on one line, a dot for every
// 2.5 %, a number for every 10 %. Fed by an engine's Progress.
#pragma once

#include <ostream>

#include "base/progress.h"

namespace torvanelle::cli {

class ProgressPrinter {
 public:
  /// Prints on `out`, or nothing at all when not `shown`.
  ProgressPrinter(std::ostream& out, bool shown) : out_(out), shown_(shown) {}
  /// Ends a line begun and not done, so that a failure said next stands on a line of its own.
  ~ProgressPrinter();
  ProgressPrinter(const ProgressPrinter&) = delete;
  ProgressPrinter& operator=(const ProgressPrinter&) = delete;

  /// Prints what is new up to `fraction` (0 to 1) of the run; a lower fraction than before adds
  /// nothing. At 1 the line ends with " - done.".
  void at(double fraction);
  /// The whole run done: at(1).
  void done() { at(1); }
  /// A Progress that reports here; valid while the printer lives.
  Progress progress() {
    return Progress([this](double fraction) { at(fraction); });
  }

 private:
  std::ostream& out_;
  bool shown_;
  int last_tick_ = -1;  ///< the last fortieth printed
};

}  // namespace torvanelle::cli
