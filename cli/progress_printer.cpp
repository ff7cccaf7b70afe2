#include "cli/progress_printer.h"

#include <algorithm>

namespace torvanelle::cli {

void ProgressPrinter::at(double fraction) {
  if (!shown_) return;
  constexpr int ticks = 40;
  // NaN stays at the start; past 1 is the end.
  const double clamped = fraction >= 0 ? std::min(fraction, 1.0) : 0.0;
  const int tick = static_cast<int>(clamped * ticks);
  if (tick <= last_tick_) return;
  while (last_tick_ < tick) {
    ++last_tick_;
    if (last_tick_ % 4 == 0) {
      out_ << last_tick_ / 4 * 10;
    } else {
      out_ << '.';
    }
  }
  if (last_tick_ == ticks) out_ << " - done.\n";
  out_.flush();
}

ProgressPrinter::~ProgressPrinter() {
  if (shown_ && last_tick_ >= 0 && last_tick_ < 40) out_ << '\n' << std::flush;
}

}  // namespace torvanelle::cli
