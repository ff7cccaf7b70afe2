#include "dem/regions.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

#include "dem/pixel_index.h"

namespace torvanelle::dem {
namespace {

/// What one stretch holds: the levels touching it and how far z leaves them.
struct Stretch {
  int low = 255;  // lowest number of a line touching it
  int high = -1;  // highest
  float top = -std::numeric_limits<float>::infinity();
  float bottom = std::numeric_limits<float>::infinity();
  std::size_t lowest = 0;  // where z is `bottom`
  bool open = false;       // reaches the image's edge
};

class Labeller {
 public:
  Labeller(const torvanelle::Image& skeleton, const std::vector<float>& z)
      : index_(skeleton.px.size()), skeleton_(skeleton), z_(z), label_(skeleton.px.size(), -1) {}

  /// Labels every stretch and gathers what each holds.
  void run() {
    for (std::size_t n = 0; n < label_.size(); ++n) {
      if (label_[n] >= 0 || skeleton_.px[n] != torvanelle::no_line) continue;
      flood(n, static_cast<int>(stretches_.size()));
    }
  }

  const std::vector<int>& labels() const { return label_; }
  const std::vector<Stretch>& stretches() const { return stretches_; }

 private:
  /// Fills the stretch holding pixel `seed` with `id`, 4-connected.
  void flood(std::size_t seed, int id) {
    stretches_.emplace_back();
    stack_.push_back(index_.pack(seed));
    label_[seed] = id;
    while (!stack_.empty()) {
      const std::size_t n = PixelIndex::unpack(stack_.back());
      stack_.pop_back();
      visit(n, stretches_.back());
    }
  }

  /// Takes pixel `n` into stretch `s`: its value, the lines among its 8 neighbours, and its
  /// unlabelled free 4-neighbours onto the stack.
  void visit(std::size_t n, Stretch& s) {
    const int cols = skeleton_.cols;
    const int i = static_cast<int>(n / static_cast<std::size_t>(cols));
    const int j = static_cast<int>(n % static_cast<std::size_t>(cols));
    if (!std::isnan(z_[n])) {
      s.top = std::max(s.top, z_[n]);
      if (z_[n] < s.bottom) {
        s.bottom = z_[n];
        s.lowest = n;
      }
    }
    if (i == 0 || j == 0 || i == skeleton_.rows - 1 || j == cols - 1) s.open = true;
    for (int di = -1; di <= 1; ++di) {
      for (int dj = -1; dj <= 1; ++dj) {
        const int ni = i + di;
        const int nj = j + dj;
        if ((di == 0 && dj == 0) || ni < 0 || nj < 0 || ni >= skeleton_.rows || nj >= cols) {
          continue;
        }
        const std::size_t m = static_cast<std::size_t>(ni) * static_cast<std::size_t>(cols) +
                              static_cast<std::size_t>(nj);
        const std::uint8_t v = skeleton_.px[m];
        if (v != torvanelle::no_line) {
          s.low = std::min<int>(s.low, v);
          s.high = std::max<int>(s.high, v);
        } else if ((di == 0 || dj == 0) && label_[m] < 0) {
          label_[m] = label_[n];
          stack_.push_back(index_.pack(m));
        }
      }
    }
  }

  PixelIndex index_;
  const torvanelle::Image& skeleton_;
  const std::vector<float>& z_;
  std::vector<int> label_;
  std::vector<Stretch> stretches_;
  std::vector<PixelIndex::Packed> stack_;  // pixels to visit
};

/// The factors by which a single-level stretch's rise and fall are scaled: 1 unless they reach
/// `single_level_reach` intervals.
struct Scale {
  double up = 1;
  double down = 1;
};

Scale scale_of(const Stretch& s, const Levels& levels) {
  const double level = levels.of(static_cast<std::uint8_t>(s.low));
  const double reach = single_level_reach * levels.interval;
  Scale scale;
  if (s.top - level > reach) scale.up = reach / (s.top - level);
  if (level - s.bottom > reach) scale.down = reach / (level - s.bottom);
  return scale;
}

}  // namespace

std::vector<std::size_t> bound_by_regions(const torvanelle::Image& skeleton, const Levels& levels,
                                          std::vector<float>& z) {
  Labeller labeller(skeleton, z);
  labeller.run();
  const std::vector<Stretch>& stretches = labeller.stretches();
  std::vector<Scale> scales(stretches.size());
  for (std::size_t s = 0; s < stretches.size(); ++s) {
    if (stretches[s].high >= 0 && stretches[s].low == stretches[s].high) {
      scales[s] = scale_of(stretches[s], levels);
    }
  }
  const std::vector<int>& labels = labeller.labels();
  for (std::size_t n = 0; n < z.size(); ++n) {
    if (labels[n] < 0 || std::isnan(z[n])) continue;
    const Stretch& s = stretches[static_cast<std::size_t>(labels[n])];
    if (s.high < 0) continue;  // touches no line
    const double low = levels.of(static_cast<std::uint8_t>(s.low));
    if (s.low != s.high) {
      z[n] = static_cast<float>(
          std::clamp<double>(z[n], low, levels.of(static_cast<std::uint8_t>(s.high))));
      continue;
    }
    const Scale& k = scales[static_cast<std::size_t>(labels[n])];
    const double d = z[n] - low;
    z[n] = static_cast<float>(low + d * (d > 0 ? k.up : k.down));
  }
  std::vector<std::size_t> pits;
  for (const Stretch& s : stretches) {
    if (s.high >= 0 && s.low == s.high && !s.open &&
        s.bottom < levels.of(static_cast<std::uint8_t>(s.low))) {
      pits.push_back(s.lowest);
    }
  }
  return pits;
}

}  // namespace torvanelle::dem
