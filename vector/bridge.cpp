#include "vector/bridge.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <numbers>
#include <unordered_map>

#include "base/together.h"
#include "vector/ground_path.h"
#include "vector/steps.h"

namespace torvanelle::vect {
namespace {

/// A free end: the line, which end (0 its first pixel, 1 its last), where, and the unit
/// direction in which the line runs out of it.
struct End {
  std::size_t line;
  int side;
  Pixel at;
  double drow, dcol;
};

struct Candidate {
  /// Straight: the sum of the two ends' angles to the bridge, radians; along the ground: the
  /// bridge's length, pixels.
  double score;
  std::size_t a, b;
  std::vector<Pixel> path;  ///< along the ground: the bridge's pixels; straight: none yet
};

/// How far a window around two ends reaches beyond them, in pixels, at first: as far as a
/// contour that joins them `distance` pixels along may bulge out beside them, and some more for
/// its neighbours. Then, for ends that do not face each other, twice and four times as far while
/// the window holds no other number for the ground to lean on.
int first_margin(double distance) { return std::max(8, static_cast<int>(std::ceil(distance / 3))); }

/// The angle between unit direction (dr, dc) and vector (vr, vc).
double angle(double dr, double dc, double vr, double vc) {
  const double length = std::hypot(vr, vc);
  return std::acos(std::clamp((dr * vr + dc * vc) / length, -1.0, 1.0));
}

class Bridger {
 public:
  Bridger(std::vector<Line>& lines, const Framed& bands, double distance, const Ground& ground)
      : lines_(lines),
        bands_(bands),
        distance_(distance),
        ground_(ground),
        taken_(static_cast<std::size_t>(bands.rows() + 2) *
               static_cast<std::size_t>(bands.stride())) {
    for (const Line& line : lines_) {
      for (const Pixel p : line.pixels)
        taken_[index(p)] = true;
    }
  }

  int run() {
    collect_ends();
    std::vector<Candidate> candidates = ground_ ? along_ground() : facing_pairs();
    std::stable_sort(candidates.begin(), candidates.end(),
                     [](const Candidate& x, const Candidate& y) { return x.score < y.score; });
    partner_.assign(2 * lines_.size(), -1);
    paths_.assign(2 * lines_.size(), {});
    int made = 0;
    for (Candidate& c : candidates) {
      const End& a = ends_[c.a];
      const End& b = ends_[c.b];
      if (partner_[slot(a)] >= 0 || partner_[slot(b)] >= 0) continue;
      if (c.path.empty() ? !clear(a, b) : !still_clear(c.path)) continue;
      // A straight bridge is one segment; the pixels it passes through are taken all the same.
      for (const Pixel p : c.path.empty() ? straight(a.at, b.at) : c.path)
        taken_[index(p)] = true;
      if (c.path.empty()) c.path = {a.at, b.at};
      partner_[slot(a)] = static_cast<std::ptrdiff_t>(slot(b));
      partner_[slot(b)] = static_cast<std::ptrdiff_t>(slot(a));
      paths_[slot(b)] = c.path;
      paths_[slot(a)] = std::move(c.path);
      std::reverse(paths_[slot(b)].begin(), paths_[slot(b)].end());
      ++made;
    }
    if (made > 0) assemble();
    return made;
  }

  /// The pixels of each bridge made, its two ends included.
  std::vector<std::vector<Pixel>> paths() const {
    std::vector<std::vector<Pixel>> out;
    for (std::size_t s = 0; s < partner_.size(); ++s) {
      if (partner_[s] > static_cast<std::ptrdiff_t>(s)) out.push_back(paths_[s]);
    }
    return out;
  }

 private:
  std::size_t index(Pixel p) const {
    return static_cast<std::size_t>(p.row + 1) * static_cast<std::size_t>(bands_.stride()) +
           static_cast<std::size_t>(p.col + 1);
  }
  static std::size_t slot(const End& e) { return 2 * e.line + static_cast<std::size_t>(e.side); }

  void collect_ends() {
    for (std::size_t l = 0; l < lines_.size(); ++l) {
      const std::vector<Pixel>& p = lines_[l].pixels;
      if (lines_[l].closed() || p.size() < 4) continue;
      const std::size_t k = std::min(direction_reach, p.size() - 1);
      const std::uint8_t n = lines_[l].number;
      if (free(n, p.front(), p[1], p[2])) add_end(l, 0, p.front(), p[k]);
      if (free(n, p.back(), p[p.size() - 2], p[p.size() - 3]))
        add_end(l, 1, p.back(), p[p.size() - 1 - k]);
    }
  }

  /// Whether the end pixel `at` of a line of number k, followed on it by `next` and `after`, is
  /// free: off the image's border, and no other line of its number touches it, as they do where
  /// a line ends at a junction.
  bool free(std::uint8_t k, Pixel at, Pixel next, Pixel after) const {
    if (at.row <= 0 || at.col <= 0 || at.row >= bands_.rows() - 1 || at.col >= bands_.cols() - 1)
      return false;  // the line runs off the image there, on to the next sheet
    for (const Step s : steps) {
      const Pixel q{at.row + s.drow, at.col + s.dcol};
      const bool same = bands_.row(q.row + 1)[q.col + 1] == k;
      if (q != next && q != after && same && taken_[index(q)]) return false;
    }
    return true;
  }

  void add_end(std::size_t line, int side, Pixel at, Pixel back) {
    const double dr = at.row - back.row, dc = at.col - back.col;
    const double length = std::hypot(dr, dc);
    if (length == 0) return;
    ends_.push_back({line, side, at, dr / length, dc / length});
  }

  /// Calls visit(a, b, vr, vc, length) for every pair of ends a < b of one number at most
  /// `distance_` apart, (vr, vc) the vector from a to b.
  template <class Visit>
  void pairs_within_reach(Visit visit) const {
    const int cell = std::max(1, static_cast<int>(std::ceil(distance_)));
    const auto key = [](long long r, long long c) { return (r << 32) ^ (c & 0xFFFFFFFF); };
    std::unordered_map<long long, std::vector<std::size_t>> cells;
    for (std::size_t e = 0; e < ends_.size(); ++e)
      cells[key(ends_[e].at.row / cell, ends_[e].at.col / cell)].push_back(e);
    for (std::size_t a = 0; a < ends_.size(); ++a) {
      const End& ea = ends_[a];
      for (int dr = -1; dr <= 1; ++dr) {
        for (int dc = -1; dc <= 1; ++dc) {
          const auto found = cells.find(key(ea.at.row / cell + dr, ea.at.col / cell + dc));
          if (found == cells.end()) continue;
          for (const std::size_t b : found->second) {
            const End& eb = ends_[b];
            if (b <= a || lines_[eb.line].number != lines_[ea.line].number) continue;
            const double vr = eb.at.row - ea.at.row, vc = eb.at.col - ea.at.col;
            const double length = std::hypot(vr, vc);
            if (length > 0 && length <= distance_) visit(a, b, vr, vc);
          }
        }
      }
    }
  }

  /// Whether ends a and b face each other across (vr, vc), the vector from a to b, within
  /// `bridge_tolerance_degrees`; `score` receives the sum of the two angles.
  static bool facing(const End& a, const End& b, double vr, double vc, double& score) {
    const double tolerance = bridge_tolerance_degrees * std::numbers::pi / 180;
    const double sa = angle(a.drow, a.dcol, vr, vc);
    const double sb = angle(b.drow, b.dcol, -vr, -vc);
    score = sa + sb;
    return sa <= tolerance && sb <= tolerance;
  }

  /// Every pair of ends of one number within reach that face each other.
  std::vector<Candidate> facing_pairs() const {
    std::vector<Candidate> out;
    pairs_within_reach([&](std::size_t a, std::size_t b, double vr, double vc) {
      double score = 0;
      if (facing(ends_[a], ends_[b], vr, vc, score)) out.push_back({score, a, b, {}});
    });
    return out;
  }

  /// Every pair of ends of one number within reach that lead towards each other and that the
  /// ground's contour joins; where the ground says nothing, the pairs that face each other. The
  /// pairs' windows are worked out on two threads, each taking every other pair.
  std::vector<Candidate> along_ground() const {
    std::vector<Candidate> pairs;
    pairs_within_reach([&](std::size_t a, std::size_t b, double vr, double vc) {
      const End& ea = ends_[a];
      const End& eb = ends_[b];
      if (ea.drow * vr + ea.dcol * vc > 0 && eb.drow * vr + eb.dcol * vc < 0)
        pairs.push_back({0, a, b, {}});
    });
    std::vector<char> kept(pairs.size());  // not vector<bool>: its bits share words
    const auto judge = [&](std::size_t from) {
      for (std::size_t p = from; p < pairs.size(); p += 2)
        kept[p] = judge_pair(pairs[p]);
    };
    run_together([&] { judge(1); }, [&] { judge(0); });
    std::vector<Candidate> out;
    for (std::size_t p = 0; p < pairs.size(); ++p) {
      if (kept[p]) out.push_back(std::move(pairs[p]));
    }
    return out;
  }

  /// Whether the ground's contour joins the ends of pair `c`, its path and length then in `c`;
  /// where the ground around them says nothing, whether they face each other, at their distance.
  bool judge_pair(Candidate& c) const {
    const End& ea = ends_[c.a];
    const End& eb = ends_[c.b];
    const std::uint8_t k = lines_[ea.line].number;
    const double vr = eb.at.row - ea.at.row, vc = eb.at.col - ea.at.col;
    double angles = 0;
    const bool faces = facing(ea, eb, vr, vc, angles);
    GroundWindow window = window_around(ea.at, eb.at, first_margin(distance_));
    // Where lines lie far apart, ends that face each other are joined straight, as the ground
    // would join them; only the others are worth the wider windows' models.
    for (int margin = 2 * first_margin(distance_);
         !faces && window.z.empty() && margin <= 4 * first_margin(distance_); margin *= 2)
      window = window_around(ea.at, eb.at, margin);
    if (window.z.empty()) {
      c.score = std::hypot(vr, vc);
      return faces;
    }
    c.path = along_contour(window, k, ea.at, eb.at, distance_);
    c.score = path_length(c.path);
    return !c.path.empty();
  }

  /// The window around ends a and b, `m` pixels beyond them, with its ground; without it when the
  /// window holds no other number than the ends'.
  GroundWindow window_around(Pixel a, Pixel b, int m) const {
    GroundWindow w;
    w.box.top = std::max(0, std::min(a.row, b.row) - m);
    w.box.left = std::max(0, std::min(a.col, b.col) - m);
    w.box.rows = std::min(bands_.rows(), std::max(a.row, b.row) + m + 1) - w.box.top;
    w.box.cols = std::min(bands_.cols(), std::max(a.col, b.col) + m + 1) - w.box.left;
    Image crop(w.box.rows, w.box.cols);
    w.taken.resize(w.box.size());
    for (int r = 0; r < w.box.rows; ++r) {
      for (int c = 0; c < w.box.cols; ++c) {
        const Pixel p{w.box.top + r, w.box.left + c};
        crop.px[w.box.index(p)] = bands_.row(p.row + 1)[p.col + 1];
        w.taken[w.box.index(p)] = taken_[index(p)];
      }
    }
    w.number = crop.px;
    if (holds_other_number(w, bands_.row(a.row + 1)[a.col + 1])) w.z = ground_(crop);
    return w;
  }

  static bool holds_other_number(const GroundWindow& w, std::uint8_t k) {
    return std::any_of(w.number.begin(), w.number.end(),
                       [k](std::uint8_t v) { return v != k && v != no_line; });
  }

  /// Calls visit(pixel) for the pixels the segment from a to b passes through, ends included,
  /// each time it enters one; with a diagonal step, the two pixels beside it too.
  template <class Visit>
  static void walk(Pixel a, Pixel b, Visit visit) {
    const int steps = 4 * std::max(std::abs(b.row - a.row), std::abs(b.col - a.col));
    Pixel last = a;
    visit(a, a);
    for (int s = 1; s <= steps; ++s) {
      const double t = static_cast<double>(s) / steps;
      const Pixel p{static_cast<int>(std::lround(a.row + t * (b.row - a.row))),
                    static_cast<int>(std::lround(a.col + t * (b.col - a.col)))};
      if (p == last) continue;
      visit(p, last);
      last = p;
    }
  }

  /// Whether the bridge from a to b keeps off other numbers' pixels and off every line and
  /// bridge but at the pixels next to its ends, without slipping between two diagonal pixels.
  bool clear(const End& a, const End& b) const {
    const std::uint8_t k = lines_[a.line].number;
    bool ok = true;
    walk(a.at, b.at, [&](Pixel p, Pixel from) {
      const std::uint8_t v = bands_.row(p.row + 1)[p.col + 1];
      if (v != k && v != no_line) ok = false;
      if (near(p, a.at) || near(p, b.at)) return;
      if (taken_[index(p)]) ok = false;
      const bool diagonal = p.row != from.row && p.col != from.col;
      if (diagonal && taken_[index({p.row, from.col})] && taken_[index({from.row, p.col})])
        ok = false;
    });
    return ok;
  }

  static bool near(Pixel p, Pixel q) {
    return std::abs(p.row - q.row) <= 1 && std::abs(p.col - q.col) <= 1;
  }

  /// The pixels a straight bridge from a to b passes through, in order.
  static std::vector<Pixel> straight(Pixel a, Pixel b) {
    std::vector<Pixel> out;
    walk(a, b, [&out](Pixel p, Pixel) { out.push_back(p); });
    return out;
  }

  /// Whether a path found along the ground keeps off the bridges made since, and does not slip
  /// between two taken pixels where it steps diagonally.
  bool still_clear(const std::vector<Pixel>& path) const {
    for (std::size_t v = 1; v < path.size(); ++v) {
      const Pixel p = path[v], from = path[v - 1];
      if (v + 1 < path.size() && taken_[index(p)]) return false;
      const bool diagonal = p.row != from.row && p.col != from.col;
      if (diagonal && taken_[index({p.row, from.col})] && taken_[index({from.row, p.col})])
        return false;
    }
    return true;
  }

  /// Joins the lines along their bridges: chains from an end without a bridge first, then the
  /// rings that are all bridged.
  void assemble() {
    std::vector<bool> used(lines_.size());
    std::vector<Line> out;
    for (const bool rings : {false, true}) {
      for (std::size_t l = 0; l < lines_.size(); ++l) {
        if (used[l]) continue;
        const bool bridged = partner_[2 * l] >= 0 || partner_[2 * l + 1] >= 0;
        if (!bridged) {
          if (!rings) out.push_back(std::move(lines_[l]));
          used[l] = true;
          continue;
        }
        const int free_side = partner_[2 * l] < 0 ? 0 : partner_[2 * l + 1] < 0 ? 1 : -1;
        if (rings == (free_side >= 0)) continue;
        out.push_back(chain(l, rings ? 0 : free_side, used));
      }
    }
    lines_ = std::move(out);
  }

  /// The line that enters line l at its end `side` and follows the bridges.
  Line chain(std::size_t l, int side, std::vector<bool>& used) {
    Line line{lines_[l].number, {}};
    const std::size_t start = l;
    for (;;) {
      used[l] = true;
      std::vector<Pixel>& p = lines_[l].pixels;
      if (side == 1) std::reverse(p.begin(), p.end());
      line.pixels.insert(line.pixels.end(), p.begin(), p.end());
      line.bridged += lines_[l].bridged;
      const std::ptrdiff_t next = partner_[2 * l + static_cast<std::size_t>(1 - side)];
      if (next < 0) break;
      ++line.bridged;
      const std::vector<Pixel>& across = paths_[2 * l + static_cast<std::size_t>(1 - side)];
      if (across.size() > 2)
        line.pixels.insert(line.pixels.end(), across.begin() + 1, across.end() - 1);
      l = static_cast<std::size_t>(next) / 2;
      side = static_cast<int>(next % 2);
      if (l == start) {
        line.pixels.push_back(line.pixels.front());
        break;
      }
    }
    return line;
  }

  std::vector<Line>& lines_;
  const Framed& bands_;
  double distance_;
  const Ground& ground_;
  std::vector<bool> taken_;  ///< per framed pixel: on a line or a bridge
  std::vector<End> ends_;
  std::vector<std::ptrdiff_t> partner_;    ///< per line end: the line end bridged to, or -1
  std::vector<std::vector<Pixel>> paths_;  ///< per line end bridged: the bridge's pixels from it
};

}  // namespace

int bridge(std::vector<Line>& lines, const Framed& bands, double distance, const Ground& ground,
           std::vector<std::vector<Pixel>>* paths) {
  if (!(distance > 0)) return 0;
  Bridger bridger(lines, bands, distance, ground);
  const int made = bridger.run();
  if (paths != nullptr) *paths = bridger.paths();
  return made;
}

}  // namespace torvanelle::vect
