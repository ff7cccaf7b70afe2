#include "dem/regions.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <span>
#include <utility>

#include "base/together.h"

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

/// A run of a row's pixels off the lines, columns [begin, end), and its stretch's number.
struct Run {
  int begin;
  int end;
  int label;
};

/// The stretches, numbered in the order of their first pixel row by row, and what each holds,
/// and their pixels as runs within the rows: a few bytes a line crossing a row rather than four
/// a pixel. One scan gives each run a label of its own and joins it with the labels of the runs
/// of the row above that share a column with it; the smallest label of a stretch is its first
/// run's, so numbering the joined labels in order numbers the stretches in order. Another
/// gathers what each holds, and one more takes the lines' levels into the stretches round them.
class Labeller {
 public:
  Labeller(const torvanelle::Image& skeleton, const std::vector<float>& z)
      : skeleton_(skeleton), z_(z), first_run_(static_cast<std::size_t>(skeleton.rows) + 1, 0) {}

  /// Labels every stretch and gathers what each holds.
  void run() {
    join();
    number();
    gather();
    touch();
  }

  const std::vector<Stretch>& stretches() const { return stretches_; }

  /// The runs of row i.
  std::span<const Run> row(int i) const {
    return {runs_.data() + first_run_[static_cast<std::size_t>(i)],
            runs_.data() + first_run_[static_cast<std::size_t>(i) + 1]};
  }

  /// Each pixel of row i's stretch number, -1 on the lines and for rows outside the raster;
  /// `out` holds a row from `offset` on, and -1 in the rest.
  void expand(int i, std::vector<int>& out, int offset = 0) const {
    std::fill(out.begin(), out.end(), -1);
    if (i < 0 || i >= skeleton_.rows) return;
    for (const Run& r : row(i))
      std::fill(out.begin() + offset + r.begin, out.begin() + offset + r.end, r.label);
  }

  /// Calls visit(v, m, label, side) for each line pixel, v its number, and each of its 8
  /// neighbours m off the lines, `label` the neighbour's stretch and `side` whether it lies
  /// beside the line pixel rather than diagonal to it; row by row, the labels of the three rows
  /// round each taken from the runs.
  template <typename Visit>
  void each_line_neighbour(Visit visit) const {
    const int cols = skeleton_.cols;
    const std::size_t width = static_cast<std::size_t>(cols);
    std::vector<int> above(width);
    std::vector<int> here(width);
    std::vector<int> below(width);
    expand(-1, above);
    expand(0, here);
    for (int i = 0; i < skeleton_.rows; ++i) {
      expand(i + 1, below);
      const std::uint8_t* px = skeleton_.px.data() + static_cast<std::size_t>(i) * width;
      const std::vector<int>* around[3] = {&above, &here, &below};
      for (int j = 0; j < cols; ++j) {
        if (px[j] == torvanelle::no_line) continue;
        for (int di = -1; di <= 1; ++di) {
          for (int c = std::max(j - 1, 0); c <= std::min(j + 1, cols - 1); ++c) {
            const int label = (*around[di + 1])[static_cast<std::size_t>(c)];
            if (label < 0) continue;
            visit(static_cast<int>(px[j]), static_cast<std::size_t>(i + di) * width + c, label,
                  di == 0 || c == j);
          }
        }
      }
      std::swap(above, here);
      std::swap(here, below);
    }
  }

 private:
  int root(int a) {
    while (joined_[static_cast<std::size_t>(a)] != a) {
      int& up = joined_[static_cast<std::size_t>(a)];
      up = joined_[static_cast<std::size_t>(up)];  // halves the way for the next search
      a = up;
    }
    return a;
  }

  /// The runs with provisional labels, those of one stretch joined under its smallest.
  void join() {
    const int cols = skeleton_.cols;
    for (int i = 0; i < skeleton_.rows; ++i) {
      const std::uint8_t* px = skeleton_.px.data() + static_cast<std::size_t>(i) * cols;
      // The runs above, from the first that may share a column with the next run here.
      std::size_t above = i > 0 ? first_run_[static_cast<std::size_t>(i) - 1] : 0;
      const std::size_t above_end = first_run_[static_cast<std::size_t>(i)];
      for (int j = 0; j < cols;) {
        if (px[j] != torvanelle::no_line) {
          ++j;
          continue;
        }
        Run run{j, j, static_cast<int>(joined_.size())};
        while (run.end < cols && px[run.end] == torvanelle::no_line)
          ++run.end;
        joined_.push_back(run.label);
        while (above < above_end && runs_[above].end <= run.begin)
          ++above;
        for (std::size_t r = above; r < above_end && runs_[r].begin < run.end; ++r) {
          const int a = root(run.label);
          const int b = root(runs_[r].label);
          joined_[static_cast<std::size_t>(std::max(a, b))] = std::min(a, b);
        }
        runs_.push_back(run);
        j = run.end;
      }
      first_run_[static_cast<std::size_t>(i) + 1] = runs_.size();
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
    for (Run& r : runs_)
      r.label = joined_[static_cast<std::size_t>(r.label)];
    joined_ = std::vector<int>();
  }

  /// Each stretch's highest and lowest value and whether it reaches the image's edge.
  void gather() {
    const int rows = skeleton_.rows;
    const int cols = skeleton_.cols;
    for (int i = 0; i < rows; ++i) {
      for (const Run& r : row(i)) {
        Stretch& s = stretches_[static_cast<std::size_t>(r.label)];
        if (i == 0 || i == rows - 1 || r.begin == 0 || r.end == cols) s.open = true;
        const std::size_t start = static_cast<std::size_t>(i) * static_cast<std::size_t>(cols);
        for (std::size_t n = start + static_cast<std::size_t>(r.begin);
             n < start + static_cast<std::size_t>(r.end); ++n) {
          if (std::isnan(z_[n])) continue;
          s.top = std::max(s.top, z_[n]);
          if (z_[n] < s.bottom) {
            s.bottom = z_[n];
            s.lowest = n;
          }
        }
      }
    }
  }

  /// Takes each line pixel's number into the stretches of its 8 neighbours.
  void touch() {
    each_line_neighbour([&](int v, std::size_t, int label, bool) {
      Stretch& s = stretches_[static_cast<std::size_t>(label)];
      s.low = std::min(s.low, v);
      s.high = std::max(s.high, v);
    });
  }

  const torvanelle::Image& skeleton_;
  const std::vector<float>& z_;
  std::vector<Run> runs_;               // row by row, left to right
  std::vector<std::size_t> first_run_;  // row i's runs: [first_run_[i], first_run_[i + 1])
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
  Guide(const torvanelle::Image& skeleton, const Labeller& labeller)
      : skeleton_(skeleton), labeller_(labeller) {
    const std::vector<Stretch>& stretches = labeller.stretches();
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
    std::vector<Distance> d(skeleton_.px.size(), far);
    labeller_.each_line_neighbour([&](int level, std::size_t m, int label, bool side) {
      const Stretch& s = stretches[static_cast<std::size_t>(label)];
      if (s.low == s.high || level != (highest ? s.high : s.low)) return;
      d[m] = std::min<Distance>(d[m], side ? 3 : 4);
    });
    return d;
  }

  /// One chamfer sweep, forwards (S = 1: from the previous row and pixel) or backwards
  /// (S = -1). A step from a pixel at `far` never wins (it gives more than `far`), nor one from
  /// another stretch or a line. Each row in two passes: the steps from the row before, pixel by
  /// pixel without a branch, then the steps along the row, which must follow the sweep's order.
  template <int S>
  void sweep(std::vector<Distance>& d) const {
    const int rows = skeleton_.rows;
    const std::size_t cols = static_cast<std::size_t>(skeleton_.cols);
    const std::ptrdiff_t width = skeleton_.cols;
    // The row before and its labels, a column more each side that no stretch matches.
    std::vector<int> labels(cols + 2, -1);
    std::vector<int> labels_before(cols + 2, -1);
    std::vector<Distance> before(cols + 2, far);
    // Each pixel's distance but for the step along the row, and that step's length: on a line,
    // `far` and a step long enough that the next pixel takes nothing from it.
    std::vector<unsigned> best(cols);
    std::vector<unsigned> along(cols);
    for (int r = 0; r < rows; ++r) {
      const int i = S > 0 ? r : rows - 1 - r;
      std::swap(labels, labels_before);
      labeller_.expand(i, labels, 1);
      Distance* row = d.data() + index(i, 0);
      const int* label = labels.data() + 1;
      const int* label_before = labels_before.data() + 1;
      const Distance* above = before.data() + 1;
      for (std::ptrdiff_t j = 0; j < width; ++j) {
        const int own = label[j];
        // Beyond `far`, which never wins, from a pixel of another stretch or a line.
        const auto step = [&](std::ptrdiff_t b, unsigned length) {
          const unsigned other = static_cast<unsigned>(label_before[b] != own) * 0x10000u;
          return (unsigned{above[b]} | other) + length;
        };
        const unsigned diagonal = std::min(step(j - 1, 4), step(j + 1, 4));
        const unsigned near = std::min(std::min(unsigned{row[j]}, step(j, 3)), diagonal);
        best[j] = own < 0 ? unsigned{far} : std::min(near, far - 1u);
        along[j] = own < 0 ? 0x20000u : 3u;
      }
      unsigned left = far;
      for (std::ptrdiff_t k = 0; k < width; ++k) {
        const std::ptrdiff_t j = S > 0 ? k : width - 1 - k;
        left = std::min(best[j], left + along[j]);
        row[j] = static_cast<Distance>(left);
        before[j + 1] = static_cast<Distance>(left);
      }
    }
  }

  std::size_t index(int i, int j) const {
    return static_cast<std::size_t>(i) * static_cast<std::size_t>(skeleton_.cols) +
           static_cast<std::size_t>(j);
  }

  const torvanelle::Image& skeleton_;
  const Labeller& labeller_;
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

/// Value `v` of pixel `n` of stretch `s` kept where the contours say it must be: drawn towards
/// the guide between two levels, its rise and fall scaled by `k` beside one alone.
float bounded(float v, const Guide& guide, std::size_t n, const Stretch& s, const Scale& k,
              const Levels& levels) {
  const double low = levels.of(static_cast<std::uint8_t>(s.low));
  if (s.low != s.high) {
    const double high = levels.of(static_cast<std::uint8_t>(s.high));
    return static_cast<float>(towards_guide(v, guide.at(n, low, high), low, high));
  }
  const double d = v - low;
  return static_cast<float>(low + d * (d > 0 ? k.up : k.down));
}

}  // namespace

std::vector<std::size_t> bound_by_regions(const torvanelle::Image& skeleton, const Levels& levels,
                                          std::vector<float>& z) {
  Labeller labeller(skeleton, z);
  labeller.run();
  give_back_freed_memory();  // the labels' working space, before the guide's two distances
  const std::vector<Stretch>& stretches = labeller.stretches();
  std::vector<Scale> scales(stretches.size());
  for (std::size_t s = 0; s < stretches.size(); ++s) {
    if (stretches[s].high >= 0 && stretches[s].low == stretches[s].high) {
      scales[s] = scale_of(stretches[s], levels);
    }
  }
  const Guide guide(skeleton, labeller);
  const std::size_t cols = static_cast<std::size_t>(skeleton.cols);
  by_halves(skeleton.rows, z.size(), [&](int first, int last) {
    for (int i = first; i < last; ++i) {
      for (const Run& r : labeller.row(i)) {
        const Stretch& s = stretches[static_cast<std::size_t>(r.label)];
        if (s.high < 0) continue;  // touches no line
        const Scale& k = scales[static_cast<std::size_t>(r.label)];
        const std::size_t start = static_cast<std::size_t>(i) * cols;
        for (std::size_t n = start + static_cast<std::size_t>(r.begin);
             n < start + static_cast<std::size_t>(r.end); ++n) {
          if (!std::isnan(z[n])) z[n] = bounded(z[n], guide, n, s, k, levels);
        }
      }
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
