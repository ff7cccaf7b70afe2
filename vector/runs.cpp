#include "vector/runs.h"

#include <algorithm>
#include <bit>
#include <unordered_map>
#include <utility>

#include "vector/steps.h"

namespace torvanelle::vect {
namespace {

/// The corner bit of `code` when the corner neighbour is a link: present, and neither side
/// neighbour next to it (`beside`, two bits) present.
constexpr std::uint8_t corner_link(std::uint8_t code, std::uint8_t corner, std::uint8_t beside) {
  return (code & corner) && !(code & beside) ? corner : 0;
}

}  // namespace

constexpr std::array<std::uint8_t, 256> links = [] {
  std::array<std::uint8_t, 256> table{};
  for (int c = 0; c < 256; ++c) {
    const auto code = static_cast<std::uint8_t>(c);
    const auto sides = static_cast<std::uint8_t>(code & (north | east | south | west));
    table[static_cast<std::size_t>(c)] = static_cast<std::uint8_t>(
        sides | corner_link(code, north_west, north | west) |
        corner_link(code, north_east, north | east) | corner_link(code, south_east, south | east) |
        corner_link(code, south_west, south | west));
  }
  return table;
}();

namespace {

/// joined[code]: how many pixels a pixel with that code is joined to. A table rather than a
/// count of bits: without a bit-count instruction in the target, that is a call per pixel.
constexpr std::array<std::uint8_t, 256> joined = [] {
  std::array<std::uint8_t, 256> table{};
  for (std::size_t code = 0; code < 256; ++code)
    table[code] = static_cast<std::uint8_t>(std::popcount(links[code]));
  return table;
}();

/// Cuts a skeleton into runs. Pixels are framed coordinates inside, image coordinates outside.
class Tracer {
 public:
  explicit Tracer(const Framed& s)
      : s_(s),
        passed_(static_cast<std::size_t>(s.rows() + 2) * static_cast<std::size_t>(s.stride())) {}

  /// Every run, in scan order of where each was started.
  std::vector<Run> runs() {
    label_junctions();
    for_each_line_pixel([this](int i, int j, int degree) {
      if (degree != 2) start_runs(i, j, degree);
    });
    for_each_line_pixel([this](int i, int j, int degree) {
      if (degree == 2 && !passed_.get(index(i, j))) ring(i, j);
    });
    return std::move(runs_);
  }

  /// Per junction: its centre, the first of its pixels in scan order, as a line of one pixel.
  const std::vector<Line>& junctions() const { return junction_dots_; }

 private:
  std::size_t index(int i, int j) const {
    return static_cast<std::size_t>(i) * static_cast<std::size_t>(s_.stride()) +
           static_cast<std::size_t>(j);
  }
  std::uint8_t links_of(int i, int j) const { return links[s_.code(i, j)]; }
  int degree(int i, int j) const { return joined[s_.code(i, j)]; }
  static Pixel image_pixel(int i, int j) { return {i - 1, j - 1}; }

  template <class Visit>
  void for_each_line_pixel(Visit visit) const {
    for (int i = 1; i <= s_.rows(); ++i) {
      const std::uint8_t* row = s_.row(i);
      for (int j = 1; j <= s_.cols(); ++j) {
        if (row[j] != no_line) visit(i, j, degree(i, j));
      }
    }
  }

  /// Numbers the junctions: the groups of touching junction pixels, in scan order.
  void label_junctions() {
    for_each_line_pixel([this](int i, int j, int degree) {
      if (degree >= 3 && !junction_.contains(index(i, j))) label_junction(i, j);
    });
  }

  /// Gives the junction pixel (i, j), its centre, and every junction pixel joined to it a new
  /// junction, each with its step on a shortest way to the centre (breadth first).
  void label_junction(int i, int j) {
    const int id = static_cast<int>(junction_dots_.size());
    junction_dots_.push_back(Line{s_.row(i)[j], {image_pixel(i, j)}});
    junction_[index(i, j)] = {id, index(i, j)};
    std::vector<Pixel> queue = {{i, j}};
    for (std::size_t next = 0; next < queue.size(); ++next) {
      const Pixel p = queue[next];
      for (std::uint8_t l = links_of(p.row, p.col); l != 0; l &= l - 1) {
        const Step s = steps[std::countr_zero(l)];
        const Pixel q{p.row + s.drow, p.col + s.dcol};
        if (degree(q.row, q.col) < 3 || junction_.contains(index(q.row, q.col))) continue;
        junction_[index(q.row, q.col)] = {id, index(p.row, p.col)};
        queue.push_back(q);
      }
    }
  }

  int junction_at(int i, int j) const {
    const auto found = junction_.find(index(i, j));
    return found == junction_.end() ? no_junction : found->second.id;
  }

  /// Appends the way from junction pixel p (image coordinates) to its junction's centre, p left
  /// out.
  void to_centre(Pixel p, std::vector<Pixel>& out) const {
    std::size_t at = index(p.row + 1, p.col + 1);
    for (std::size_t next = junction_.at(at).toward; next != at; next = junction_.at(at).toward) {
      at = next;
      out.push_back(image_pixel(static_cast<int>(at / static_cast<std::size_t>(s_.stride())),
                                static_cast<int>(at % static_cast<std::size_t>(s_.stride()))));
    }
  }

  /// Counts the run's free pixels and takes its ends that meet a junction on to its centre.
  Run finish(Run run) const {
    std::vector<Pixel>& p = run.line.pixels;
    const bool head = run.junction[0] != no_junction, tail = run.junction[1] != no_junction;
    run.free = static_cast<int>(p.size()) - head - tail;
    if (tail) to_centre(p.back(), p);
    if (head) {
      std::vector<Pixel> way;
      to_centre(p.front(), way);
      p.insert(p.begin(), way.rbegin(), way.rend());
    }
    return run;
  }

  /// The runs that leave the node (i, j), each traced once: from its first node in scan order,
  /// or from its end pixel when it goes straight to a junction.
  void start_runs(int i, int j, int degree) {
    const std::uint8_t k = s_.row(i)[j];
    if (degree == 0) {
      runs_.push_back(Run{Line{k, {image_pixel(i, j)}}, {no_junction, no_junction}});
      return;
    }
    for (std::uint8_t l = links_of(i, j); l != 0; l &= l - 1) {
      const int dir = std::countr_zero(l);
      const int ni = i + steps[dir].drow;
      const int nj = j + steps[dir].dcol;
      const int next_degree = this->degree(ni, nj);
      if (next_degree == 2) {
        if (!passed_.get(index(ni, nj))) runs_.push_back(walk(i, j, dir));
        continue;
      }
      const bool from_junction = degree >= 3;
      const bool to_junction = next_degree >= 3;
      if (from_junction || (!to_junction && index(ni, nj) < index(i, j))) continue;
      runs_.push_back(finish(Run{Line{k, {image_pixel(i, j), image_pixel(ni, nj)}},
                                 {no_junction, junction_at(ni, nj)}}));
    }
  }

  /// The run from node (i, j) through its neighbour in direction `dir` to the next node.
  Run walk(int i, int j, int dir) {
    Run run{Line{s_.row(i)[j], {image_pixel(i, j)}}, {junction_at(i, j), no_junction}};
    i += steps[dir].drow;
    j += steps[dir].dcol;
    for (std::uint8_t code = s_.code(i, j); joined[code] == 2; code = s_.code(i, j)) {
      passed_.set(index(i, j));
      run.line.pixels.push_back(image_pixel(i, j));
      dir = std::countr_zero(static_cast<std::uint8_t>(links[code] & ~(1u << opposite(dir))));
      i += steps[dir].drow;
      j += steps[dir].dcol;
    }
    run.line.pixels.push_back(image_pixel(i, j));
    run.junction[1] = junction_at(i, j);
    return finish(std::move(run));
  }

  /// The closed run through (i, j), a ring of pixels joined to two others each.
  void ring(int i, int j) {
    Run run{Line{s_.row(i)[j], {image_pixel(i, j)}}, {no_junction, no_junction}};
    passed_.set(index(i, j));
    int dir = std::countr_zero(links_of(i, j));
    int ri = i + steps[dir].drow;
    int rj = j + steps[dir].dcol;
    while (ri != i || rj != j) {
      passed_.set(index(ri, rj));
      run.line.pixels.push_back(image_pixel(ri, rj));
      dir = std::countr_zero(static_cast<std::uint8_t>(links_of(ri, rj) & ~(1u << opposite(dir))));
      ri += steps[dir].drow;
      rj += steps[dir].dcol;
    }
    run.line.pixels.push_back(image_pixel(i, j));
    runs_.push_back(std::move(run));
  }

  const Framed& s_;
  Bits passed_;  ///< the pixels joined to two others that a run has gone through
  struct JunctionPixel {
    int id;              ///< its junction
    std::size_t toward;  ///< the next pixel on its way to the centre; the centre: itself
  };
  std::unordered_map<std::size_t, JunctionPixel> junction_;  ///< by index in the framed raster
  std::vector<Line> junction_dots_;
  std::vector<Run> runs_;
};

}  // namespace

Runs cut_into_runs(const Framed& skeleton) {
  Tracer tracer(skeleton);
  std::vector<Run> runs = tracer.runs();
  return {std::move(runs), tracer.junctions()};
}

void append(std::vector<Pixel>& line, std::vector<Pixel>& run, bool reversed) {
  if (reversed) std::reverse(run.begin(), run.end());
  if (line.empty()) {
    line = std::move(run);
    return;
  }
  const auto from = line.back() == run.front() ? run.begin() + 1 : run.begin();
  line.insert(line.end(), from, run.end());
}

}  // namespace torvanelle::vect
