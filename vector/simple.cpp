#include "vector/simple.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <unordered_map>

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

}  // namespace

void cut_where_not_simple(std::vector<Line>& lines) {
  std::vector<Line> out;
  out.reserve(lines.size());
  Pieces pieces(out);
  for (Line& line : lines) {
    if (line.pixels.size() < 2 || !long_step(line)) {
      out.push_back(std::move(line));
    } else {
      pieces.cut(line);
    }
  }
  lines = std::move(out);
}

}  // namespace torvanelle::vect
