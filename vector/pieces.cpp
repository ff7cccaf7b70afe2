#include "vector/pieces.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <unordered_map>
#include <utility>

#include "vector/steps.h"

namespace torvanelle::vect {
namespace {

long long cross(Pixel o, Pixel a, Pixel b) {
  return static_cast<long long>(a.col - o.col) * (b.row - o.row) -
         static_cast<long long>(a.row - o.row) * (b.col - o.col);
}

bool within(Pixel p, Pixel a, Pixel b) {
  return std::min(a.col, b.col) <= p.col && p.col <= std::max(a.col, b.col) &&
         std::min(a.row, b.row) <= p.row && p.row <= std::max(a.row, b.row);
}

int sign(long long v) { return (v > 0) - (v < 0); }

/// Whether segments ab and cd have a point in common.
bool meet(Pixel a, Pixel b, Pixel c, Pixel d) {
  const int d1 = sign(cross(c, d, a)), d2 = sign(cross(c, d, b));
  const int d3 = sign(cross(a, b, c)), d4 = sign(cross(a, b, d));
  if (d1 * d2 < 0 && d3 * d4 < 0) return true;
  return (d1 == 0 && within(a, c, d)) || (d2 == 0 && within(b, c, d)) ||
         (d3 == 0 && within(c, a, b)) || (d4 == 0 && within(d, a, b));
}

/// Whether consecutive segments ab and bc overlap: bc turns straight back along ab.
bool doubles_back(Pixel a, Pixel b, Pixel c) {
  return cross(a, b, c) == 0 && static_cast<long long>(c.col - b.col) * (a.col - b.col) +
                                        static_cast<long long>(c.row - b.row) * (a.row - b.row) >
                                    0;
}

int bridge_steps(const Line& line) {
  int n = 0;
  for (std::size_t v = 0; v + 1 < line.pixels.size(); ++v)
    n += bridge_step(line.pixels[v], line.pixels[v + 1]);
  return n;
}

bool long_step(const Line& line) {
  for (std::size_t v = 0; v + 1 < line.pixels.size(); ++v) {
    const Pixel a = line.pixels[v], b = line.pixels[v + 1];
    if (std::abs(a.row - b.row) > 1 || std::abs(a.col - b.col) > 1) return true;
  }
  return false;
}

/// Builds the simple pieces of one line, segment by segment, its segments filed by 4 x 4 cells.
class Pieces {
 public:
  explicit Pieces(std::vector<Line>& out) : out_(out) {}

  /// Cuts `line` into simple pieces. Each piece counts the bridges in it: the steps longer than
  /// 2 px, when those are all the line's bridges; else (a bridge of 2 px or less) each piece
  /// keeps the line's count.
  void cut(const Line& line) {
    const std::vector<Pixel>& v = line.pixels;
    const bool closed = line.closed();
    const bool by_step = bridge_steps(line) == line.bridged;
    piece_ = Line{line.number, {v.front()}, by_step ? 0 : line.bridged};
    cells_.clear();
    for (std::size_t s = 0; s + 1 < v.size(); ++s) {
      const bool closing = closed && s + 2 == v.size() && piece_.pixels.front() == v.front();
      if (conflicts(v[s], v[s + 1], closing)) {
        finish();
        piece_.pixels = {v[s]};
        piece_.bridged = by_step ? 0 : line.bridged;
      }
      add(v[s], v[s + 1]);
      piece_.bridged += by_step && bridge_step(v[s], v[s + 1]);
    }
    finish();
  }

 private:
  /// Calls visit(cell) for the cells of the segment's bounding box.
  template <class Visit>
  static void cells_of(Pixel a, Pixel b, Visit visit) {
    for (int r = std::min(a.row, b.row) >> 2; r <= std::max(a.row, b.row) >> 2; ++r) {
      for (int c = std::min(a.col, b.col) >> 2; c <= std::max(a.col, b.col) >> 2; ++c)
        visit((static_cast<long long>(r) << 32) ^ static_cast<std::uint32_t>(c));
    }
  }

  /// Whether segment ab meets a segment of the piece other than as the next segment should.
  bool conflicts(Pixel a, Pixel b, bool closing) const {
    const std::vector<Pixel>& p = piece_.pixels;
    const std::size_t last = p.size() - 1;  // segment ab starts at p[last]
    bool found = false;
    cells_of(a, b, [&](long long cell) {
      const auto at = cells_.find(cell);
      if (found || at == cells_.end()) return;
      for (const std::size_t t : at->second) {
        const bool previous = t + 1 == last;
        const bool wrap = closing && t == 0;
        if (previous && !doubles_back(p[t], a, b)) continue;
        if (wrap) {
          found = found || doubles_back(a, b, p[1]);
          continue;
        }
        if (previous || meet(p[t], p[t + 1], a, b)) found = true;
      }
    });
    return found;
  }

  void add(Pixel a, Pixel b) {
    const std::size_t t = piece_.pixels.size() - 1;
    cells_of(a, b, [&](long long cell) { cells_[cell].push_back(t); });
    piece_.pixels.push_back(b);
  }

  void finish() {
    if (piece_.pixels.size() >= 2) out_.push_back(piece_);
    piece_.pixels.clear();
    cells_.clear();
  }

  std::vector<Line>& out_;
  Line piece_;
  std::unordered_map<long long, std::vector<std::size_t>> cells_;  ///< cell -> segments
};

/// The line that starts at run end `e` and goes through joined runs until an end that is not
/// joined or, for a ring of runs, back to the first run; a ring ends where it starts.
Line chain(JunctionGraph& g, std::vector<bool>& used, std::size_t e, bool ring) {
  Line line{g.runs[e / 2].line.number, {}};
  for (;;) {
    const std::size_t r = e / 2;
    used[r] = true;
    append(line.pixels, g.runs[r].line.pixels, e % 2 == 1);
    const std::ptrdiff_t next = g.partner[e ^ 1];
    if (const auto via = g.via.find(e ^ 1); next >= 0 && via != g.via.end()) {
      std::vector<Pixel> way = via->second;
      append(line.pixels, way, false);
    }
    if (next < 0 || used[static_cast<std::size_t>(next) / 2]) break;
    e = static_cast<std::size_t>(next);
  }
  if (ring && line.pixels.front() != line.pixels.back()) line.pixels.push_back(line.pixels.front());
  return line;
}

/// Cuts lines into pieces that pass no pixel twice (`pass_each_pixel_once`).
class Simplifier {
 public:
  explicit Simplifier(const Framed& s)
      : stride_(s.stride()),
        seen_(static_cast<std::size_t>(s.rows() + 2) * static_cast<std::size_t>(s.stride())) {}

  /// Appends the simple pieces of `line` with two distinct pixels or more to `out`.
  void pieces(Line line, std::vector<Line>& out) {
    std::vector<Pixel>& v = line.pixels;
    const bool closed = line.closed();
    drop_spikes(v, closed);
    const std::size_t first = out.size();
    Line cur{line.number, {}};
    for (std::size_t j = 0; j < v.size(); ++j) {
      const bool closing = closed && j + 1 == v.size() && !cur.pixels.empty() &&
                           v[j] == cur.pixels.front() && first == out.size();
      if (!seen(v[j]) || closing) {
        push(cur, v[j]);
        continue;
      }
      const bool step_over = j + 1 < v.size() && !cur.pixels.empty() &&
                             near(cur.pixels.back(), v[j + 1]) && !seen(v[j + 1]);
      if (!step_over) cut_loop(cur, v[j], out);
    }
    finish(cur, out);
    const bool cut_ring =
        closed && out.size() > first + 1 && out[first].pixels.front() == out.back().pixels.back();
    if (cut_ring && apart(out[first].pixels, out.back().pixels)) {
      // The ring was cut: its last piece goes on into its first.
      std::vector<Pixel>& last = out.back().pixels;
      last.insert(last.end(), out[first].pixels.begin() + 1, out[first].pixels.end());
      out[first] = std::move(out.back());
      out.pop_back();
    }
  }

 private:
  std::size_t index(Pixel p) const {
    return static_cast<std::size_t>(p.row + 1) * static_cast<std::size_t>(stride_) +
           static_cast<std::size_t>(p.col + 1);
  }
  bool seen(Pixel p) const { return seen_.get(index(p)); }
  void push(Line& cur, Pixel p) {
    seen_.set(index(p));
    cur.pixels.push_back(p);
  }
  /// Whether lines a and b share no pixel but b's last.
  bool apart(const std::vector<Pixel>& a, const std::vector<Pixel>& b) {
    for (const Pixel p : a)
      seen_.set(index(p));
    const bool shared = std::any_of(b.begin(), b.end() - 1, [this](Pixel p) { return seen(p); });
    for (const Pixel p : a)
      seen_.clear(index(p));
    return !shared;
  }

  static bool near(Pixel a, Pixel b) {
    return a != b && std::abs(a.row - b.row) <= longest_step_over &&
           std::abs(a.col - b.col) <= longest_step_over;
  }

  /// Takes out every doubling back x, y, x (and, round a ring's start, its like).
  static void drop_spikes(std::vector<Pixel>& v, bool closed) {
    std::size_t out = 0;
    for (const Pixel p : v) {
      if (out >= 2 && v[out - 2] == p) {
        --out;
        continue;
      }
      v[out++] = p;
    }
    v.resize(out);
    while (closed && v.size() >= 3 && v[1] == v[v.size() - 2]) {
      v.pop_back();
      v.erase(v.begin());
    }
    if (closed && v.size() < 4 && v.size() > 1) v.pop_back();
  }

  /// Cuts `cur` where it meets pixel p again: the part before p is a line, the part from p on
  /// a closed one, and a new line starts at p.
  void cut_loop(Line& cur, Pixel p, std::vector<Line>& out) {
    const auto at = std::find(cur.pixels.begin(), cur.pixels.end(), p);
    Line ring{cur.number, {at, cur.pixels.end()}};
    ring.pixels.push_back(p);
    cur.pixels.erase(at + 1, cur.pixels.end());
    finish(cur, out);
    for (const Pixel q : ring.pixels)
      seen_.clear(index(q));
    if (ring.pixels.size() < 4) ring.pixels.pop_back();  // not a ring: p, q, p is the line p, q
    if (ring.pixels.size() >= 2) out.push_back(std::move(ring));
    push(cur, p);
  }

  /// Hands `cur` over to `out` when it has two distinct pixels, and starts it afresh.
  void finish(Line& cur, std::vector<Line>& out) {
    for (const Pixel q : cur.pixels)
      seen_.clear(index(q));
    if (cur.pixels.size() >= 2) out.push_back(std::move(cur));
    cur.pixels.clear();
  }

  int stride_;
  Bits seen_;  ///< the pixels of the piece being built
};

}  // namespace

std::vector<Line> assemble_lines(JunctionGraph& g) {
  std::vector<Line> lines;
  for (std::size_t c = 0; c < g.ends_at.size(); ++c) {
    if (g.ends_at[c].empty()) lines.push_back(g.junctions[c]);
  }
  std::vector<bool> used(g.runs.size());
  const auto live = [&](std::size_t r) { return !g.pruned[r] && !used[r]; };
  for (std::size_t r = 0; r < g.runs.size(); ++r) {
    for (int side = 0; side < 2; ++side) {
      if (live(r) && g.partner[run_end(r, side)] < 0)
        lines.push_back(chain(g, used, run_end(r, side), false));
    }
  }
  for (std::size_t r = 0; r < g.runs.size(); ++r) {
    if (live(r)) lines.push_back(chain(g, used, run_end(r, 0), true));
  }
  return lines;
}

std::vector<Line> pass_each_pixel_once(std::vector<Line> lines, const Framed& skeleton) {
  std::vector<Line> out;
  out.reserve(lines.size());
  Simplifier simplifier(skeleton);
  for (Line& line : lines) {
    if (line.pixels.size() < 2) {
      out.push_back(std::move(line));
    } else {
      simplifier.pieces(std::move(line), out);
    }
  }
  return out;
}

void cut_where_not_simple(std::vector<Line>& lines) {
  std::vector<Line> out;
  out.reserve(lines.size());
  Pieces pieces(out);
  for (Line& line : lines) {
    // A bridge along the ground steps from pixel to pixel, but the line may meet itself where
    // one of the lines it joins ends on a junction that another passes through.
    if (line.pixels.size() < 2 || (!long_step(line) && line.bridged == 0)) {
      out.push_back(std::move(line));
    } else {
      pieces.cut(line);
    }
  }
  lines = std::move(out);
}

}  // namespace torvanelle::vect
