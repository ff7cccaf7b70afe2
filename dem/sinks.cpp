#include "dem/sinks.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <functional>
#include <optional>
#include <queue>
#include <utility>

#include "base/together.h"
#include "dem/pixel_index.h"
#include "dem/sparse.h"

namespace torvanelle::dem {
namespace {

/// A pixel waiting to be flooded from, as one integer that orders like its height: the float's
/// bits turned so that they sort as the floats do, above the pixel's packed index. Eight bytes
/// rather than a pair's sixteen, as the queue can hold a good share of the pixels at once.
using Entry = std::uint64_t;
using Heap = std::priority_queue<Entry, std::vector<Entry>, std::greater<Entry>>;
using Packed = PixelIndex::Packed;
/// A pixel and the value it had before a flood raised it.
using Before = std::pair<Packed, float>;

/// The entries reached from below, taken lowest first as a binary heap would take them, at a
/// small constant cost each rather than a heap's logarithm: a radix heap (R. Ahuja, K. Mehlhorn,
/// J. Orlin and R. Tarjan, "Faster algorithms for the shortest path problem", 1990). It holds
/// entries no lower than the last taken, bucketed by the highest bit in which they differ from
/// it; the flood's entries rise but for a line pixel reached from higher ground, which waits in
/// a plain heap and is taken first.
class Open {
 public:
  bool empty() const { return size_ == 0; }

  void push(Entry e) {
    ++size_;
    if (e < last_) {
      below_.push(e);
    } else {
      buckets_[bucket(e)].push_back(e);
    }
  }

  Entry pop() {
    --size_;
    if (!below_.empty()) {
      const Entry e = below_.top();
      below_.pop();
      return e;
    }
    if (buckets_[0].empty()) refill();
    const Entry e = buckets_[0].back();
    buckets_[0].pop_back();
    return e;
  }

 private:
  std::size_t bucket(Entry e) const {
    return e == last_ ? 0 : static_cast<std::size_t>(64 - std::countl_zero(e ^ last_));
  }

  /// Takes the lowest entry of the first bucket that holds any as the new last and spreads
  /// that bucket over the lower ones.
  void refill() {
    std::size_t b = 1;
    while (buckets_[b].empty())
      ++b;
    std::vector<Entry>& from = buckets_[b];
    last_ = *std::min_element(from.begin(), from.end());
    for (Entry e : from)
      buckets_[bucket(e)].push_back(e);
    from.clear();
  }

  std::array<std::vector<Entry>, 65> buckets_;
  Heap below_;
  Entry last_ = 0;
  std::size_t size_ = 0;
};

Entry entry(float z, Packed n) {
  std::uint32_t bits = std::bit_cast<std::uint32_t>(z);
  bits = (bits & 0x8000'0000u) ? ~bits : (bits | 0x8000'0000u);
  return (static_cast<std::uint64_t>(bits) << 32) | n;
}

std::size_t pixel_of(Entry e) { return PixelIndex::unpack(static_cast<Packed>(e & 0xffff'ffffu)); }

class Flood {
 public:
  /// Each pixel it raises is noted in `raised` with the value it had, when given.
  Flood(std::vector<float>& z, int rows, int cols, float step, const torvanelle::Image* held,
        std::vector<Before>* raised = nullptr)
      : index_(z.size()),
        z_(z),
        rows_(rows),
        cols_(cols),
        step_(step),
        held_(held),
        neighbours_(rows, cols),
        closed_(z.size(), 0),
        raised_(raised),
        half_(rows / 2) {}

  /// Starts the flood at every pixel on the model's edge and at `outlets`.
  void seed(const std::vector<std::size_t>& outlets) {
    run_together([&] { seed_rows(0, half_, starts_[0]); },
                 [&] { seed_rows(half_, rows_, starts_[1]); }, z_.size());
    for (std::size_t n : outlets) {
      if (closed_[n] || std::isnan(z_[n])) continue;
      closed_[n] = 1;
      starts_[n < cut() ? 0 : 1].push_back(index_.pack(n));
    }
  }

  /// Floods inwards: each pixel reached from a lower one keeps its value, from a higher one it
  /// is raised to that one's plus `step` and flooded from next, before any higher pixel.
  void run() {
    drain();
    while (!open_.empty() || !pit_.empty()) {
      std::size_t n = 0;
      if (!pit_.empty()) {
        n = PixelIndex::unpack(pit_.front());
        pit_.pop();
      } else {
        n = pixel_of(open_.pop());
      }
      spread(n);
    }
  }

  /// The pixel from which the flood reached pixel `n`, or none where it started there.
  std::optional<std::size_t> parent(std::size_t n) const {
    if (closed_[n] < 2) return std::nullopt;
    const auto& o = Neighbours::offsets[closed_[n] - 2];
    const int i = static_cast<int>(n / static_cast<std::size_t>(cols_)) - o[0];
    const int j = static_cast<int>(n % static_cast<std::size_t>(cols_)) - o[1];
    return at(i, j);
  }

  /// Whether pixel `n` lies on the model's edge: beside the raster's or a pixel holding none.
  bool on_edge(std::size_t n) const {
    return on_edge(static_cast<int>(n / static_cast<std::size_t>(cols_)),
                   static_cast<int>(n % static_cast<std::size_t>(cols_)));
  }

 private:
  std::size_t at(int i, int j) const {
    return static_cast<std::size_t>(i) * static_cast<std::size_t>(cols_) +
           static_cast<std::size_t>(j);
  }

  bool on_edge(int i, int j) const {
    if (i == 0 || j == 0 || i == rows_ - 1 || j == cols_ - 1) return true;
    bool edge = false;
    neighbours_.each(at(i, j), [&](std::size_t m, int) { edge = edge || std::isnan(z_[m]); });
    return edge;
  }

  /// The first pixel of the lower half of the rows: the halves are walked on a core each.
  std::size_t cut() const {
    return static_cast<std::size_t>(half_) * static_cast<std::size_t>(cols_);
  }

  /// Closes the pixels on the model's edge in rows [first, last), each noted in `starts`.
  void seed_rows(int first, int last, std::vector<Packed>& starts) {
    // Row by row: whether each column of the three rows round it holds a NaN or leaves the
    // raster, then whether one of the three columns round a pixel does.
    std::vector<std::uint8_t> column(static_cast<std::size_t>(cols_));
    for (int i = first; i < last; ++i) {
      const bool border = i == 0 || i == rows_ - 1;
      for (int j = 0; j < cols_; ++j) {
        column[static_cast<std::size_t>(j)] =
            border || std::isnan(z_[at(i - 1, j)]) || std::isnan(z_[at(i + 1, j)]);
      }
      for (int j = 0; j < cols_; ++j) {
        const std::size_t n = at(i, j);
        if (std::isnan(z_[n])) continue;
        const bool edge = j == 0 || j == cols_ - 1 || column[static_cast<std::size_t>(j - 1)] ||
                          column[static_cast<std::size_t>(j)] ||
                          column[static_cast<std::size_t>(j + 1)] || std::isnan(z_[n - 1]) ||
                          std::isnan(z_[n + 1]);
        if (!edge) continue;
        closed_[n] = 1;
        starts.push_back(index_.pack(n));
      }
    }
  }

  /// Whether the flood keeps pixel `m` as it is when it reaches it from pixel `n`: `m` lies
  /// `step` or more above it, or is a line's (water crosses a line at its level).
  bool kept_from(std::size_t n, std::size_t m) const {
    return !(z_[m] < z_[n] + step_) || (held_ != nullptr && held_->px[m] != torvanelle::no_line);
  }

  /// Takes first, depth first from the starts, every pixel that a way rising by `step` or more a
  /// pixel (or through lines) joins to them: the flood would keep each as it is, whatever the
  /// order it reached them in, and taking them all in the order of height was most of its
  /// time, as the pixels of one height lie far apart. Each half of the rows is walked on a core
  /// of its own, then again from the two rows beside the cut, across it, for the ways that
  /// cross; which pixel reached which is thus the same on any machine. The pixels beside those
  /// left start the flood in the order of height.
  void drain() {
    const std::size_t cut = this->cut();
    run_together([&] { walk_up(starts_[0], 0, cut); }, [&] { walk_up(starts_[1], cut, z_.size()); },
                 z_.size());
    std::vector<Packed> across;
    for (int i = std::max(half_ - 1, 0); i < std::min(half_ + 1, rows_); ++i) {
      for (std::size_t n = at(i, 0); n < at(i + 1, 0); ++n) {
        if (closed_[n]) across.push_back(index_.pack(n));
      }
    }
    walk_up(across, 0, z_.size());
    starts_ = {};
    // Rows whose neighbours lie in one half are searched on its core, the two beside the cut
    // after: no pixel is marked by both.
    std::array<std::vector<Entry>, 3> shores;
    run_together([&] { queue_shore(0, half_ - 1, shores[0]); },
                 [&] { queue_shore(half_ + 1, rows_, shores[1]); }, z_.size());
    queue_shore(std::max(half_ - 1, 0), std::min(half_ + 1, rows_), shores[2]);
    by_halves(rows_, z_.size(), [&](int first, int last) {
      for (std::size_t n = at(first, 0); n < at(last, 0); ++n)
        closed_[n] &= static_cast<std::uint8_t>(~queued);
    });
    for (const std::vector<Entry>& shore : shores) {
      for (Entry e : shore)
        open_.push(e);
    }
  }

  /// Closes, depth first from the pixels of `stack`, every pixel of [from, to) that a way kept
  /// by the flood and not leaving [from, to) joins to them, each noted with the way it came.
  void walk_up(std::vector<Packed>& stack, std::size_t from, std::size_t to) {
    while (!stack.empty()) {
      const std::size_t n = PixelIndex::unpack(stack.back());
      stack.pop_back();
      neighbours_.each(n, [&](std::size_t m, int k) {
        if (m < from || m >= to || closed_[m] || std::isnan(z_[m]) || !kept_from(n, m)) return;
        closed_[m] = static_cast<std::uint8_t>(2 + k);
        stack.push_back(index_.pack(m));
      });
    }
  }

  /// Notes, once each, the closed pixels beside a pixel of rows [first, last) left open: where
  /// the flood starts in the order of height.
  void queue_shore(int first, int last, std::vector<Entry>& shore) {
    for (std::size_t m = at(std::max(first, 0), 0); m < at(std::max(first, last), 0); ++m) {
      if (closed_[m] || std::isnan(z_[m])) continue;
      neighbours_.each(m, [&](std::size_t n, int) {
        if (closed_[n] == 0 || (closed_[n] & queued)) return;
        closed_[n] |= queued;
        shore.push_back(entry(z_[n], index_.pack(n)));
      });
    }
  }

  void spread(std::size_t n) {
    neighbours_.each(n, [&](std::size_t m, int k) {
      if (closed_[m] || std::isnan(z_[m])) return;
      closed_[m] = static_cast<std::uint8_t>(2 + k);
      if (!kept_from(n, m)) {
        if (raised_ != nullptr) raised_->emplace_back(index_.pack(m), z_[m]);
        z_[m] = z_[n] + step_;
        pit_.push(index_.pack(m));
      } else {
        open_.push(entry(z_[m], index_.pack(m)));
      }
    });
  }

  PixelIndex index_;
  std::vector<float>& z_;
  int rows_;
  int cols_;
  float step_;
  const torvanelle::Image* held_;  // pixels never raised, or null
  Neighbours neighbours_;
  static constexpr std::uint8_t queued = 0x80;
  // 0 unreached, 1 a start, 2 + k reached by offset k; while the pixels that start the flood in
  // the order of height are found, `queued` marks those taken
  std::vector<std::uint8_t> closed_;
  Open open_;                                  // reached from below: flooded in order of height
  std::queue<Packed> pit_;                     // raised: flooded first, in the order raised
  std::vector<Before>* raised_;                // where the raised pixels are noted, or null
  int half_;                                   // the first row of the lower half
  std::array<std::vector<Packed>, 2> starts_;  // each half's pixels that start the walk up
};

/// What a flood raised, held for the pixels it raised alone (a few in a hundred) rather than as
/// a second surface: the value each was raised to.
using Raised = SparsePixels<float>;

/// From the pixels that a flood of `z` raised, each with the value it had: puts those values
/// back into `z` and keeps what the flood made of them.
Raised take_back(std::vector<float>& z, const std::vector<Before>& raised) {
  Raised filled(z.size(), [&](auto mark) {
    for (const Before& b : raised)
      mark(PixelIndex::unpack(b.first));
  });
  for (const Before& b : raised) {
    const std::size_t n = PixelIndex::unpack(b.first);
    filled[n] = z[n];
    z[n] = b.second;
  }
  return filled;
}

/// The depressions that a filling found, each kept or filled whole. A pixel is unseen (0), in
/// a depression gathered (1), or in one filled (2); the depressions' pixels are walked twice
/// rather than listed, as a depression can be a good share of the raster.
class Depressions {
 public:
  Depressions(std::vector<float>& z, const Raised& raised, const torvanelle::Image& skeleton,
              const Flood& flood, float step)
      : index_(z.size()),
        z_(z),
        raised_(raised),
        skeleton_(skeleton),
        flood_(flood),
        step_(step),
        neighbours_(skeleton.rows, skeleton.cols),
        seen_(z.size(), 0) {}

  bool seen(std::size_t n) const { return seen_[n] != 0; }

  /// Gathers the depression holding pixel `seed` and, unless a line beside it lies
  /// `drawn_depth` or more below its filled level, drains it: a channel from each of its pits
  /// down to lower ground, or where a line bars the way, a filling.
  void settle(std::size_t seed, float drawn_depth) {
    bool keep = false;
    pits_.clear();
    walk(seed, 0, 1, [&](std::size_t n) {
      if (keep) return;  // the pits of a depression kept are not needed
      keep = beside_line_below(n, raised_[n] - drawn_depth);
      if (is_pit(n)) pits_.push_back(index_.pack(n));
    });
    if (keep) return;
    undo_.clear();
    bool carved = true;
    for (Packed p : pits_) {
      carved = carve(PixelIndex::unpack(p));
      if (!carved) break;
    }
    if (!carved) {
      for (auto it = undo_.rbegin(); it != undo_.rend(); ++it)
        z_[it->first] = it->second;
    }
    walk(seed, 1, 2, [&](std::size_t n) {
      if (!carved) z_[n] = raised_[n];
    });
  }

 private:
  /// Whether no 8-neighbour of pixel `n` lies lower.
  bool is_pit(std::size_t n) const {
    bool pit = true;
    each_neighbour(n, [&](std::size_t m) { pit = pit && !(z_[m] < z_[n]); });
    return pit;
  }

  /// Lowers the pixels on the flood's way from pit `p` back to ground lower than it (or to the
  /// model's edge, whose height is the surface's own guess) onto a straight fall, never raising
  /// one: the pit drains down a channel rather than filling to lie flat. Fails, changing
  /// nothing, where a line pixel would have to be lowered or the way ends at a pit that the
  /// contours draw.
  bool carve(std::size_t p) {
    way_.assign(1, index_.pack(p));
    std::size_t n = p;
    bool lower = false;
    while (const std::optional<std::size_t> next = flood_.parent(n)) {
      n = *next;
      way_.push_back(index_.pack(n));
      if (z_[n] < z_[p]) {
        lower = true;
        break;
      }
    }
    if (!lower && !flood_.on_edge(n)) return false;
    const std::size_t steps = way_.size() - 1;
    const float end = lower ? z_[n] : z_[p] - step_ * static_cast<float>(steps);
    for (std::size_t k = 1; k <= steps; ++k) {
      const std::size_t m = PixelIndex::unpack(way_[k]);
      const float fall = z_[p] - (z_[p] - end) * static_cast<float>(k) / static_cast<float>(steps);
      if (z_[m] <= fall) continue;
      if (skeleton_.px[m] != torvanelle::no_line) return false;
      undo_.emplace_back(m, z_[m]);
      z_[m] = fall;
      // Lowered outside any depression: not one of its own to settle later.
      if (!raised_.contains(m) || !(raised_[m] > undo_.back().second)) seen_[m] = 2;
    }
    return true;
  }

  template <typename Visit>
  void each_neighbour(std::size_t n, Visit visit) const {
    neighbours_.each(n, [&](std::size_t m, int) {
      if (!std::isnan(z_[m])) visit(m);
    });
  }

  /// Whether a line pixel beside pixel `n` lies at or below `level`.
  bool beside_line_below(std::size_t n, float level) const {
    bool below = false;
    each_neighbour(n, [&](std::size_t m) {
      below = below || (skeleton_.px[m] != torvanelle::no_line && z_[m] <= level);
    });
    return below;
  }

  /// Visits the pixels of the depression holding `seed` whose mark is `from`, marking each `to`.
  template <typename Visit>
  void walk(std::size_t seed, std::uint8_t from, std::uint8_t to, Visit visit) {
    stack_.assign(1, index_.pack(seed));
    seen_[seed] = to;
    while (!stack_.empty()) {
      const std::size_t n = PixelIndex::unpack(stack_.back());
      stack_.pop_back();
      visit(n);
      neighbours_.each(n, [&](std::size_t m, int) {
        if (seen_[m] != from) return;
        if (from == 0 && !(raised_.contains(m) && raised_[m] > z_[m])) return;
        seen_[m] = to;
        stack_.push_back(index_.pack(m));
      });
    }
  }

  PixelIndex index_;
  std::vector<float>& z_;
  const Raised& raised_;
  const torvanelle::Image& skeleton_;
  const Flood& flood_;
  float step_;
  Neighbours neighbours_;
  std::vector<std::uint8_t> seen_;
  std::vector<Packed> stack_;
  std::vector<Packed> pits_;                         // of the depression being settled
  std::vector<Packed> way_;                          // of the channel being carved
  std::vector<std::pair<std::size_t, float>> undo_;  // values the channels replaced
};

}  // namespace

void fill_sinks(std::vector<float>& z, int rows, int cols, const std::vector<std::size_t>& outlets,
                float step, const torvanelle::Image* held) {
  Flood flood(z, rows, cols, step, held);
  flood.seed(outlets);
  flood.run();
}

void fill_undrawn_sinks(std::vector<float>& z, const torvanelle::Image& skeleton,
                        const std::vector<std::size_t>& outlets, float step, float drawn_depth) {
  std::vector<Before> before;
  Flood flood(z, skeleton.rows, skeleton.cols, step, &skeleton, &before);
  flood.seed(outlets);
  flood.run();
  const Raised raised = take_back(z, before);
  before = std::vector<Before>();
  Depressions depressions(z, raised, skeleton, flood, step);
  for (std::size_t n = 0; n < z.size(); ++n) {
    if (raised.contains(n) && !depressions.seen(n)) depressions.settle(n, drawn_depth);
  }
}

}  // namespace torvanelle::dem
