// How far a long computation has got, for a caller that shows it. No dependencies: the engines
// report through it and the tools forward it to their progress bar.
#pragma once

#include <algorithm>
#include <functional>
#include <utility>

namespace torvanelle {

/// Where a computation reports how far it has got: fractions of its work from 0 to 1, rising,
/// the last one 1. The reports go to the function it was made with; an empty one drops them and
/// costs a test of the function. A part of the work reports through `part`, which scales the
/// part's own 0 to 1 into its share.
class Progress {
 public:
  Progress() = default;
  explicit Progress(std::function<void(double)> report) : report_(std::move(report)) {}

  /// Reports that `fraction` (0 to 1) of this work is done. The ends land exactly on this
  /// work's share, so that a part's 1 is the next part's 0.
  void at(double fraction) const {
    if (!report_) return;
    if (fraction >= 1) {
      report_(to_);
    } else {
      report_(std::clamp(from_ + (to_ - from_) * fraction, from_, to_));
    }
  }

  /// The part of this work from fraction `from` to fraction `to` of it.
  Progress part(double from, double to) const {
    Progress p = *this;
    p.from_ = from_ + (to_ - from_) * from;
    p.to_ = to >= 1 ? to_ : from_ + (to_ - from_) * to;
    return p;
  }

 private:
  std::function<void(double)> report_;
  double from_ = 0;
  double to_ = 1;
};

}  // namespace torvanelle
