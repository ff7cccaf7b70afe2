#include "vector/bridge.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <numbers>
#include <unordered_map>

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
  double score;  ///< the sum of the two ends' angles to the bridge, radians
  std::size_t a, b;
};

/// The angle between unit direction (dr, dc) and vector (vr, vc).
double angle(double dr, double dc, double vr, double vc) {
  const double length = std::hypot(vr, vc);
  return std::acos(std::clamp((dr * vr + dc * vc) / length, -1.0, 1.0));
}

class Bridger {
 public:
  Bridger(std::vector<Line>& lines, const Framed& bands, double distance)
      : lines_(lines),
        bands_(bands),
        distance_(distance),
        taken_(static_cast<std::size_t>(bands.rows() + 2) *
               static_cast<std::size_t>(bands.stride())) {
    for (const Line& line : lines_) {
      for (const Pixel p : line.pixels)
        taken_[index(p)] = true;
    }
  }

  int run() {
    collect_ends();
    std::vector<Candidate> candidates = facing_pairs();
    std::stable_sort(candidates.begin(), candidates.end(),
                     [](const Candidate& x, const Candidate& y) { return x.score < y.score; });
    partner_.assign(2 * lines_.size(), -1);
    int made = 0;
    for (const Candidate& c : candidates) {
      const End& a = ends_[c.a];
      const End& b = ends_[c.b];
      if (partner_[slot(a)] >= 0 || partner_[slot(b)] >= 0 || !clear(a, b)) continue;
      partner_[slot(a)] = static_cast<std::ptrdiff_t>(slot(b));
      partner_[slot(b)] = static_cast<std::ptrdiff_t>(slot(a));
      mark(a.at, b.at);
      ++made;
    }
    if (made > 0) assemble();
    return made;
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

  /// Every pair of ends of one number within reach that face each other.
  std::vector<Candidate> facing_pairs() const {
    const int cell = std::max(1, static_cast<int>(std::ceil(distance_)));
    const auto key = [](long long r, long long c) { return (r << 32) ^ (c & 0xFFFFFFFF); };
    std::unordered_map<long long, std::vector<std::size_t>> cells;
    for (std::size_t e = 0; e < ends_.size(); ++e)
      cells[key(ends_[e].at.row / cell, ends_[e].at.col / cell)].push_back(e);
    const double tolerance = bridge_tolerance_degrees * std::numbers::pi / 180;
    std::vector<Candidate> out;
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
            if (length == 0 || length > distance_) continue;
            const double sa = angle(ea.drow, ea.dcol, vr, vc);
            const double sb = angle(eb.drow, eb.dcol, -vr, -vc);
            if (sa <= tolerance && sb <= tolerance) out.push_back({sa + sb, a, b});
          }
        }
      }
    }
    return out;
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

  void mark(Pixel a, Pixel b) {
    walk(a, b, [this](Pixel p, Pixel) { taken_[index(p)] = true; });
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
  std::vector<bool> taken_;  ///< per framed pixel: on a line or a bridge
  std::vector<End> ends_;
  std::vector<std::ptrdiff_t> partner_;  ///< per line end: the line end bridged to, or -1
};

}  // namespace

int bridge(std::vector<Line>& lines, const Framed& bands, double distance) {
  if (!(distance > 0)) return 0;
  return Bridger(lines, bands, distance).run();
}

}  // namespace torvanelle::vect
