#include "dem/regions.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

#include "base/together.h"
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

/// The stretches, numbered in the order of their first pixel row by row, and what each holds.
/// One scan gives each free pixel the label of its free left or upper neighbour (a new one
/// where it has neither) and joins the two labels where both are free; the smallest label of a
/// stretch is its first pixel's, so numbering the joined labels in order numbers the stretches
/// in order. A second scan gathers.
class Labeller {
 public:
  Labeller(const torvanelle::Image& skeleton, const std::vector<float>& z)
      : neighbours_(skeleton.rows, skeleton.cols),
        skeleton_(skeleton),
        z_(z),
        label_(skeleton.px.size(), -1) {}

  /// Labels every stretch and gathers what each holds.
  void run() {
    join();
    number();
    const int rows = skeleton_.rows;
    const int cols = skeleton_.cols;
    for (int i = 0; i < rows; ++i) {
      const std::size_t start = static_cast<std::size_t>(i) * static_cast<std::size_t>(cols);
      for (int j = 0; j < cols; ++j) {
        const std::size_t n = start + static_cast<std::size_t>(j);
        if (label_[n] < 0) {
          touch(n);
          continue;
        }
        Stretch& s = stretches_[static_cast<std::size_t>(label_[n])];
        gather(n, s);
        if (i == 0 || j == 0 || i == rows - 1 || j == cols - 1) s.open = true;
      }
    }
  }

  const std::vector<int>& labels() const { return label_; }
  const std::vector<Stretch>& stretches() const { return stretches_; }

 private:
  bool is_free(std::size_t n) const { return skeleton_.px[n] == torvanelle::no_line; }

  int root(int a) {
    while (joined_[static_cast<std::size_t>(a)] != a) {
      int& up = joined_[static_cast<std::size_t>(a)];
      up = joined_[static_cast<std::size_t>(up)];  // halves the way for the next search
      a = up;
    }
    return a;
  }

  /// Provisional labels, those of one stretch joined under its smallest.
  void join() {
    const std::size_t cols = static_cast<std::size_t>(skeleton_.cols);
    for (std::size_t start = 0; start < label_.size(); start += cols) {
      for (std::size_t n = start; n < start + cols; ++n) {
        if (!is_free(n)) continue;
        const bool left = n != start && is_free(n - 1);
        const bool up = start != 0 && is_free(n - cols);
        if (!left && !up) {
          label_[n] = static_cast<int>(joined_.size());
          joined_.push_back(label_[n]);
          continue;
        }
        label_[n] = left ? label_[n - 1] : label_[n - cols];
        // Mostly both carry one label already: only two labels need joining.
        if (left && up && label_[n - 1] != label_[n - cols]) {
          const int a = root(label_[n - 1]);
          const int b = root(label_[n - cols]);
          joined_[static_cast<std::size_t>(std::max(a, b))] = std::min(a, b);
        }
      }
    }
  }

  /// Each provisional label replaced by its stretch's number. A label always points to a
  /// smaller one, so in increasing order each finds its root's number already set.
  void number() {
    int count = 0;
    for (std::size_t a = 0; a < joined_.size(); ++a) {
      const int up = joined_[a];
      joined_[a] = up == static_cast<int>(a) ? count++ : joined_[static_cast<std::size_t>(up)];
    }
    stretches_.resize(static_cast<std::size_t>(count));
    for (int& label : label_) {
      if (label >= 0) label = joined_[static_cast<std::size_t>(label)];
    }
    joined_ = {};
  }

  /// Takes free pixel `n`'s value into stretch `s`.
  void gather(std::size_t n, Stretch& s) const {
    if (std::isnan(z_[n])) return;
    s.top = std::max(s.top, z_[n]);
    if (z_[n] < s.bottom) {
      s.bottom = z_[n];
      s.lowest = n;
    }
  }

  /// Takes line pixel `n`'s number into the stretches of its 8 neighbours (lines are the few
  /// pixels: cheaper than each free pixel looking round for lines).
  void touch(std::size_t n) {
    const int v = skeleton_.px[n];
    neighbours_.each(n, [&](std::size_t m, int) {
      if (label_[m] < 0) return;
      Stretch& s = stretches_[static_cast<std::size_t>(label_[m])];
      s.low = std::min(s.low, v);
      s.high = std::max(s.high, v);
    });
  }

  Neighbours neighbours_;
  const torvanelle::Image& skeleton_;
  const std::vector<float>& z_;
  std::vector<int> label_;
  std::vector<Stretch> stretches_;
  std::vector<int> joined_;  // each provisional label's smaller one in its stretch, or itself
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

/// A surface that slopes across each stretch between its lowest and highest levels: at each
/// pixel, the lowest level's share is the distance to the highest level's line over the sum of
/// the distances to both, each measured within the stretch (chamfer, 3 a step to a 4-neighbour
/// and 4 to a diagonal one, two rounds of sweeps each way: near enough the shortest path for a
/// guide). Other lines touching the stretch are not seeds.
class Guide {
 public:
  Guide(const torvanelle::Image& skeleton, const std::vector<int>& labels,
        const std::vector<Stretch>& stretches)
      : skeleton_(skeleton), labels_(labels) {
    // The two distances share nothing: one on each core.
    const auto measure = [&](std::vector<Distance>& d, bool highest) {
      d = seeds(stretches, highest);
      for (int round = 0; round < 2; ++round)
        sweep<1>(d), sweep<-1>(d);
    };
    run_together([&] { measure(to_low_, false); }, [&] { measure(to_high_, true); },
                 skeleton.px.size());
  }

  /// At pixel `n` of a stretch between `low` and `high`.
  double at(std::size_t n, double low, double high) const {
    const double a = to_low_[n];
    const double b = to_high_[n];
    return a + b > 0 ? low + (high - low) * a / (a + b) : (low + high) / 2;
  }

 private:
  using Distance = std::uint16_t;
  static constexpr Distance far = std::numeric_limits<Distance>::max();

  /// 3 or 4 at each pixel of a stretch of two levels or more beside (or diagonal to) a line of
  /// its lowest or highest level, `far` elsewhere.
  /// Found from the line pixels, the few, each seeding the free pixels round it.
  std::vector<Distance> seeds(const std::vector<Stretch>& stretches, bool highest) const {
    const Neighbours neighbours(skeleton_.rows, skeleton_.cols);
    std::vector<Distance> d(labels_.size(), far);
    for (std::size_t n = 0; n < labels_.size(); ++n) {
      const int level = skeleton_.px[n];
      if (level == torvanelle::no_line) continue;
      neighbours.each(n, [&](std::size_t m, int k) {
        if (labels_[m] < 0) return;
        const Stretch& s = stretches[static_cast<std::size_t>(labels_[m])];
        if (s.low == s.high || level != (highest ? s.high : s.low)) return;
        d[m] = std::min<Distance>(d[m], Neighbours::side(k) ? 3 : 4);
      });
    }
    return d;
  }

  /// One chamfer sweep, forwards (S = 1: from the previous row and pixel) or backwards
  /// (S = -1). A step from a pixel at `far` never wins (it gives more than `far`), nor one from
  /// another stretch or a line.
  template <int S>
  void sweep(std::vector<Distance>& d) const {
    const int rows = skeleton_.rows;
    const int cols = skeleton_.cols;
    for (int r = 0; r < rows; ++r) {
      const int i = S > 0 ? r : rows - 1 - r;
      const int before = i - S;
      const bool has_before = before >= 0 && before < rows;
      const int* label = labels_.data() + index(i, 0);
      const int* label_before = labels_.data() + index(has_before ? before : i, 0);
      Distance* row = d.data() + index(i, 0);
      const Distance* row_before = d.data() + index(has_before ? before : i, 0);
      // Pixel j; `inner`: all its neighbours lie in the row's bounds. The pixel before it in
      // the sweep is carried over, not read back.
      int left_label = -1;
      unsigned left = far;
      const auto relax = [&](int j, bool inner) {
        const int own = label[j];
        if (own < 0) {
          left_label = -1;
          return;
        }
        unsigned best = row[j];
        const auto from = [&](const int* labels, const Distance* dist, int b, unsigned step) {
          if ((inner || (b >= 0 && b < cols)) && labels[b] == own) {
            best = std::min(best, dist[b] + step);
          }
        };
        if (has_before) {
          from(label_before, row_before, j - 1, 4);
          from(label_before, row_before, j, 3);
          from(label_before, row_before, j + 1, 4);
        }
        if (left_label == own) best = std::min(best, left + 3);
        left = std::min<unsigned>(best, far - 1u);
        left_label = own;
        row[j] = static_cast<Distance>(left);
      };
      const int first = S > 0 ? 0 : cols - 1;
      const int last = S > 0 ? cols - 1 : 0;
      relax(first, false);
      if (cols == 1) continue;
      for (int j = first + S; j != last; j += S)
        relax(j, true);
      relax(last, false);
    }
  }

  std::size_t index(int i, int j) const {
    return static_cast<std::size_t>(i) * static_cast<std::size_t>(skeleton_.cols) +
           static_cast<std::size_t>(j);
  }

  const torvanelle::Image& skeleton_;
  const std::vector<int>& labels_;
  std::vector<Distance> to_low_;
  std::vector<Distance> to_high_;
};

/// How far from the guide towards a bound, as a share of the room between them, a surface is
/// kept as it is. Half cost a twentieth of the RMSE on the benchmark's thin lines; at four
/// fifths a cliff's overshoot came back flat.
constexpr double kept_share = 0.7;

/// `value` between `low` and `high`, drawn towards `guide` (itself between them) as it nears or
/// passes either: kept while it leaves the guide by at most `kept_share` of the room on its side,
/// the guide itself from the whole room on, a smooth blend between. A surface that overshoots a
/// level thus takes the guide's slope there instead of lying flat on the level.
double towards_guide(double value, double guide, double low, double high) {
  guide = std::clamp(guide, low, high);
  const double room = value > guide ? high - guide : guide - low;
  if (room <= 0) return guide;
  const double r = std::abs(value - guide) / room;
  if (r <= kept_share) return value;
  if (r >= 1) return guide;
  const double t = (r - kept_share) / (1 - kept_share);
  const double w = t * t * (3 - 2 * t);
  return value + w * (guide - value);
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
  const Guide guide(skeleton, labels, stretches);
  const std::size_t cols = static_cast<std::size_t>(skeleton.cols);
  by_halves(skeleton.rows, z.size(), [&](int first, int last) {
    for (std::size_t n = first * cols; n < last * cols; ++n) {
      if (labels[n] < 0 || std::isnan(z[n])) continue;
      const Stretch& s = stretches[static_cast<std::size_t>(labels[n])];
      if (s.high < 0) continue;  // touches no line
      const double low = levels.of(static_cast<std::uint8_t>(s.low));
      if (s.low != s.high) {
        const double high = levels.of(static_cast<std::uint8_t>(s.high));
        z[n] = static_cast<float>(towards_guide(z[n], guide.at(n, low, high), low, high));
        continue;
      }
      const Scale& k = scales[static_cast<std::size_t>(labels[n])];
      const double d = z[n] - low;
      z[n] = static_cast<float>(low + d * (d > 0 ? k.up : k.down));
    }
  });
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
