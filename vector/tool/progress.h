// Progress of a long run, on a stream, in the manner of GDAL's command-line tools.
#pragma once

#include <chrono>
#include <cstdio>
#include <ostream>
#include <string>

namespace torvanelle::vect::tool {

/// One line per stage: its name, tens of percent as the stage goes on when it says how far it
/// is, then " - done." with the seconds it took. Silent without a stream, and for rasters too
/// small to need it.
class Progress {
 public:
  /// Reports on `out` (none: silent) the work on rasters of `min_pixels` pixels or more.
  explicit Progress(std::ostream* out, long long min_pixels = 0)
      : out_(out), min_pixels_(min_pixels) {}

  /// The size of the raster being worked on: under the minimum, the progress says nothing more.
  void raster(long long pixels) {
    if (pixels < min_pixels_) out_ = nullptr;
  }

  void stage(const std::string& what) {
    if (out_ == nullptr) return;
    *out_ << "torvanelle-vect: " << what << " " << std::flush;
    tens_ = -1;
    start_ = std::chrono::steady_clock::now();
  }

  /// How far the stage is, 0 to 1.
  void at(double fraction) {
    if (out_ == nullptr) return;
    const int tens = static_cast<int>(fraction * 10 + 1e-9);
    for (; tens_ < tens && tens_ < 10; ++tens_)
      *out_ << (tens_ + 1) * 10 << (tens_ + 1 < 10 ? "..." : "") << std::flush;
  }

  void done() {
    if (out_ == nullptr) return;
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start_;
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.2f", took.count());
    *out_ << (tens_ >= 0 ? " " : "") << "- done (" << seconds << " s).\n" << std::flush;
  }

  /// A GDALProgressFunc that reports to the Progress given as its data.
  static int report(double fraction, const char*, void* data) {
    static_cast<Progress*>(data)->at(fraction);
    return 1;
  }

 private:
  std::ostream* out_;
  long long min_pixels_;
  int tens_ = -1;  ///< the last tens of percent printed; -1 none
  std::chrono::steady_clock::time_point start_;
};

}  // namespace torvanelle::vect::tool
