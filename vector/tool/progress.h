// Progress of a long run, on a stream, in the manner of GDAL's command-line tools.
#pragma once

#include <chrono>
#include <ostream>
#include <string>

namespace torvanelle::vect::tool {

/// One line per stage: its name, tens of percent as the stage goes on when it says how far it
/// is, then " - done." with the seconds it took. Silent without a stream.
class Progress {
 public:
  explicit Progress(std::ostream* out) : out_(out) {}

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
    *out_ << (tens_ >= 0 ? " " : "") << "- done (" << took.count() << " s).\n" << std::flush;
  }

  /// A GDALProgressFunc that reports to the Progress given as its data.
  static int report(double fraction, const char*, void* data) {
    static_cast<Progress*>(data)->at(fraction);
    return 1;
  }

 private:
  std::ostream* out_;
  int tens_ = -1;  ///< the last tens of percent printed; -1 none
  std::chrono::steady_clock::time_point start_;
};

}  // namespace torvanelle::vect::tool
