#include "vector/trace.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstddef>
#include <map>
#include <numbers>
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

constexpr int no_junction = -1;

/// The sharpest turn a line is given at a junction of four runs or more, in radians.
constexpr double max_turn = 150 * std::numbers::pi / 180;

/// A run of the skeleton between two nodes (end pixels or junctions), or a ring; at each end the
/// junction it meets, or `no_junction`. A run that meets a junction goes on to the junction's
/// centre, so that every run meeting a junction ends on the same pixel.
struct Run {
  Line line;
  std::array<int, 2> junction{no_junction, no_junction};
  int free = 0;  ///< its pixels outside junctions

  /// A branch: a run from an end pixel to a junction.
  bool branch() const { return (junction[0] == no_junction) != (junction[1] == no_junction); }
};

/// One bit per pixel of the framed raster.
class Bits {
 public:
  explicit Bits(std::size_t n) : words_((n + 63) / 64) {}
  bool get(std::size_t p) const { return (words_[p / 64] >> (p % 64)) & 1; }
  void set(std::size_t p) { words_[p / 64] |= std::uint64_t{1} << (p % 64); }
  void clear(std::size_t p) { words_[p / 64] &= ~(std::uint64_t{1} << (p % 64)); }

 private:
  std::vector<std::uint64_t> words_;
};

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

/// Prunes the short branches and joins the runs met by junctions of two into lines.
class Joiner {
 public:
  Joiner(std::vector<Run> runs, const std::vector<Line>& junctions)
      : runs_(std::move(runs)),
        ends_at_(junctions.size()),
        pruned_(runs_.size()),
        used_(runs_.size()),
        partner_(2 * runs_.size(), -1) {
    for (std::size_t r = 0; r < runs_.size(); ++r) {
      for (int side = 0; side < 2; ++side) {
        const int c = runs_[r].junction[static_cast<std::size_t>(side)];
        if (c != no_junction) ends_at_[static_cast<std::size_t>(c)].push_back(end(r, side));
      }
    }
  }

  std::vector<Line> lines(const std::vector<Line>& junctions, int min_branch) {
    for (std::size_t c = 0; c < ends_at_.size(); ++c)
      prune(ends_at_[c], min_branch);
    close_eyes(2 * min_branch);
    contract_links(min_branch);
    const std::map<std::size_t, std::array<double, 2>> centre = centres(junctions);
    for (const auto& [root, ends] : ends_of_groups())
      join(ends, centre.at(root));
    for (std::size_t c = 0; c < ends_at_.size(); ++c) {
      if (ends_at_[c].empty()) lines_.push_back(junctions[c]);
    }
    for (std::size_t r = 0; r < runs_.size(); ++r) {
      for (int side = 0; side < 2; ++side) {
        if (live(r) && partner_[end(r, side)] < 0) chain(end(r, side), false);
      }
    }
    for (std::size_t r = 0; r < runs_.size(); ++r) {
      if (live(r)) chain(end(r, 0), true);
    }
    return std::move(lines_);
  }

 private:
  static std::size_t end(std::size_t run, int side) {
    return 2 * run + static_cast<std::size_t>(side);
  }
  bool live(std::size_t r) const { return !pruned_[r] && !used_[r]; }

  /// Closes the eyes left by pinholes: a hole of a pixel or two in a band makes the skeleton go
  /// round it in two short runs between two junctions, with the line going on from both. A
  /// contour line has no such eye, so of the runs shorter than `eye` pixels that join the same two
  /// junctions, each of which keeps another run, only the shortest stays.
  void close_eyes(int eye) {
    std::map<std::pair<int, int>, std::vector<std::size_t>> joining;  // junction pair -> runs
    std::vector<int> meeting(ends_at_.size());
    for (std::size_t r = 0; r < runs_.size(); ++r) {
      if (pruned_[r]) continue;
      const auto [a, b] = runs_[r].junction;
      for (const int c : {a, b}) {
        if (c != no_junction) ++meeting[static_cast<std::size_t>(c)];
      }
      if (a != no_junction && b != no_junction && a != b && runs_[r].free < eye)
        joining[std::minmax(a, b)].push_back(r);
    }
    // A loop of a few pixels hanging off a junction that keeps two more runs: the eye round a
    // pinhole beside the junction.
    for (std::size_t r = 0; r < runs_.size(); ++r) {
      const auto [a, b] = runs_[r].junction;
      if (pruned_[r] || a == no_junction || a != b || runs_[r].free >= eye) continue;
      if (meeting[static_cast<std::size_t>(a)] >= 4) {
        pruned_[r] = true;
        meeting[static_cast<std::size_t>(a)] -= 2;
      }
    }
    for (auto& [pair, runs] : joining) {
      const auto sides = static_cast<int>(runs.size());
      const bool goes_on = meeting[static_cast<std::size_t>(pair.first)] > sides &&
                           meeting[static_cast<std::size_t>(pair.second)] > sides;
      if (sides < 2 || !goes_on) continue;
      std::stable_sort(runs.begin(), runs.end(), [this](std::size_t x, std::size_t y) {
        return runs_[x].free < runs_[y].free;
      });
      for (std::size_t k = 1; k < runs.size(); ++k)
        pruned_[runs[k]] = true;
    }
  }

  /// Prunes the short branches of one junction, shortest first, while three runs or more meet it
  /// (or all of them, at a frayed end).
  void prune(const std::vector<std::size_t>& ends, int min_branch) {
    std::vector<std::size_t> branches;
    for (const std::size_t e : ends) {
      const Run& run = runs_[e / 2];
      if (!pruned_[e / 2] && run.branch() && run.free < min_branch) branches.push_back(e / 2);
    }
    std::stable_sort(branches.begin(), branches.end(), [this](std::size_t a, std::size_t b) {
      return runs_[a].free < runs_[b].free;
    });
    std::size_t meeting = static_cast<std::size_t>(
        std::count_if(ends.begin(), ends.end(), [this](std::size_t e) { return !pruned_[e / 2]; }));
    // Where every run but one is a short branch, the junction is a line's frayed end: the line
    // ends at the junction rather than turn into one of the frays, which would skew its end's
    // direction.
    const std::size_t keep = meeting >= 3 && branches.size() + 1 == meeting ? 1 : 2;
    for (const std::size_t r : branches) {
      if (meeting <= keep) break;
      pruned_[r] = true;
      --meeting;
    }
  }

  /// The junction group of junction c: junctions joined by links are one.
  std::size_t group(std::size_t c) {
    while (group_[c] != c)
      c = group_[c] = group_[group_[c]];
    return c;
  }

  std::size_t junction_of(std::size_t e) const {
    return static_cast<std::size_t>(runs_[e / 2].junction[e % 2]);
  }

  /// Takes the links out of the lines: a run of at most `longest` pixels between two junctions
  /// that each keep two more runs, as where a band touches itself over a few pixels or a saddle's
  /// X is drawn as two junctions. The two junctions become one group, whose runs are paired as
  /// at one junction; a line paired across the group goes through the links between its ends.
  void contract_links(int longest) {
    std::vector<int> meeting(ends_at_.size());
    for (std::size_t r = 0; r < runs_.size(); ++r) {
      for (const int c : runs_[r].junction) {
        if (!pruned_[r] && c != no_junction) ++meeting[static_cast<std::size_t>(c)];
      }
    }
    group_.resize(ends_at_.size());
    for (std::size_t c = 0; c < group_.size(); ++c)
      group_[c] = c;
    links_at_.assign(ends_at_.size(), {});
    for (std::size_t r = 0; r < runs_.size(); ++r) {
      const auto [a, b] = runs_[r].junction;
      if (pruned_[r] || a == no_junction || b == no_junction || a == b || runs_[r].free > longest)
        continue;
      const auto ua = static_cast<std::size_t>(a), ub = static_cast<std::size_t>(b);
      if (meeting[ua] < 3 || meeting[ub] < 3) continue;
      pruned_[r] = true;
      if (group(ua) == group(ub)) continue;  // a second way between them: an eye
      group_[group(ua)] = group(ub);
      links_at_[ua].push_back(r);
      links_at_[ub].push_back(r);
    }
  }

  /// Per junction group, in the order of its first junction: the run ends meeting it.
  std::map<std::size_t, std::vector<std::size_t>> ends_of_groups() {
    std::map<std::size_t, std::vector<std::size_t>> ends;
    for (std::size_t c = 0; c < ends_at_.size(); ++c) {
      for (const std::size_t e : ends_at_[c]) {
        if (!pruned_[e / 2]) ends[group(c)].push_back(e);
      }
    }
    return ends;
  }

  /// Per junction group: the mean of its junctions' centres.
  std::map<std::size_t, std::array<double, 2>> centres(const std::vector<Line>& junctions) {
    std::map<std::size_t, std::array<double, 3>> sums;  // rows, columns, junctions
    for (std::size_t c = 0; c < junctions.size(); ++c) {
      std::array<double, 3>& sum = sums[group(c)];
      sum[0] += junctions[c].pixels[0].row;
      sum[1] += junctions[c].pixels[0].col;
      sum[2] += 1;
    }
    std::map<std::size_t, std::array<double, 2>> out;
    for (const auto& [root, sum] : sums)
      out[root] = {sum[0] / sum[2], sum[1] / sum[2]};
    return out;
  }

  /// Pairs the ends meeting a junction group: the two of a group that keeps two; at a group of
  /// four or more, by continuation (`pair_by_direction`); three (a true T) stay apart.
  void join(const std::vector<std::size_t>& kept, std::array<double, 2> centre) {
    if (kept.size() == 2) pair(kept[0], kept[1]);
    if (kept.size() >= 4) pair_by_direction(kept, centre);
  }

  void pair(std::size_t a, std::size_t b) {
    partner_[a] = static_cast<std::ptrdiff_t>(b);
    partner_[b] = static_cast<std::ptrdiff_t>(a);
    if (junction_of(a) == junction_of(b)) return;
    std::vector<Pixel> way = links_between(junction_of(a), junction_of(b));
    via_[b] = std::vector<Pixel>(way.rbegin(), way.rend());
    via_[a] = std::move(way);
  }

  /// The pixels of the links from the centre of junction `from` to that of `to` (one group).
  std::vector<Pixel> links_between(std::size_t from, std::size_t to) {
    std::map<std::size_t, std::size_t> came_by;  // junction -> the link it was reached by
    std::vector<std::size_t> queue = {from};
    for (std::size_t next = 0; next < queue.size() && !came_by.contains(to); ++next) {
      for (const std::size_t r : links_at_[queue[next]]) {
        const auto [a, b] = runs_[r].junction;
        const auto other = static_cast<std::size_t>(a == static_cast<int>(queue[next]) ? b : a);
        if (other == from || came_by.contains(other)) continue;
        came_by[other] = r;
        queue.push_back(other);
      }
    }
    std::vector<std::size_t> path;
    for (std::size_t at = to; at != from;) {
      const std::size_t r = came_by.at(at);
      path.push_back(r);
      const auto [a, b] = runs_[r].junction;
      at = static_cast<std::size_t>(a == static_cast<int>(at) ? b : a);
    }
    std::vector<Pixel> way;
    std::size_t at = from;
    for (auto r = path.rbegin(); r != path.rend(); ++r) {
      std::vector<Pixel> link = runs_[*r].line.pixels;
      const bool reversed = runs_[*r].junction[0] != static_cast<int>(at);
      append(way, link, reversed);
      at = static_cast<std::size_t>(runs_[*r].junction[reversed ? 0 : 1]);
    }
    return way;
  }

  /// The direction in which run end `e` leaves its junction group: from the group's `centre` to
  /// the run's pixel `reach` steps from its junction (or its last), so that a kink at the
  /// junction does not count.
  std::array<double, 2> leaving(std::size_t e, std::array<double, 2> centre) const {
    const std::vector<Pixel>& p = runs_[e / 2].line.pixels;
    const std::size_t k = std::min<std::size_t>(direction_reach, p.size() - 1);
    const Pixel to = e % 2 == 0 ? p[k] : p[p.size() - 1 - k];
    return {to.row - centre[0], to.col - centre[1]};
  }

  /// Pairs the ends of a junction of four or more so that each line goes on as straight as it
  /// can: the straightest pairs first (the smallest turn from one end's direction into the
  /// other's), leaving out a pair that would cross one taken already or keep the others (when
  /// they are even) from pairing without crossing, and one that turns by more than `max_turn`.
  /// Contours of one number do not cross: where a band touches itself or a saddle makes an X,
  /// the lines meet and turn back.
  void pair_by_direction(const std::vector<std::size_t>& ends, std::array<double, 2> centre) {
    std::vector<std::array<double, 2>> dir;
    std::vector<double> angle;
    for (const std::size_t e : ends) {
      dir.push_back(leaving(e, centre));
      angle.push_back(std::atan2(dir.back()[0], dir.back()[1]));
    }
    std::vector<std::pair<std::size_t, std::size_t>> taken;
    std::vector<bool> used(ends.size());
    for (const Turn& c : turns(dir, angle)) {
      if (used[c.a] || used[c.b]) continue;
      const bool crosses = std::any_of(taken.begin(), taken.end(), [&](const auto& t) {
        return separates(angle, t.first, t.second, c.a) != separates(angle, t.first, t.second, c.b);
      });
      if (crosses) continue;
      taken.push_back({c.a, c.b});
      used[c.a] = used[c.b] = true;
      pair(ends[c.a], ends[c.b]);
    }
  }

  /// A way through a junction group, from end a into end b, and how sharply it turns.
  struct Turn {
    double turn;  ///< radians: 0 goes straight on
    std::size_t a, b;
  };

  /// The ways through a junction group whose ends leave in directions `dir` (at `angle`),
  /// straightest first, without those that turn by more than `max_turn` or (with an even
  /// number of ends) that leave an odd number of ends on either side.
  static std::vector<Turn> turns(const std::vector<std::array<double, 2>>& dir,
                                 const std::vector<double>& angle) {
    const std::size_t n = dir.size();
    std::vector<Turn> out;
    for (std::size_t a = 0; a < n; ++a) {
      for (std::size_t b = a + 1; b < n; ++b) {
        if (n % 2 == 0 && splits_odd(angle, a, b)) continue;
        const double lengths = std::hypot(dir[a][0], dir[a][1]) * std::hypot(dir[b][0], dir[b][1]);
        const double cosine =
            -(dir[a][0] * dir[b][0] + dir[a][1] * dir[b][1]) / std::max(lengths, 1e-9);
        const double turn = std::acos(std::clamp(cosine, -1.0, 1.0));
        if (turn <= max_turn) out.push_back({turn, a, b});
      }
    }
    std::stable_sort(out.begin(), out.end(),
                     [](const Turn& x, const Turn& y) { return x.turn < y.turn; });
    return out;
  }

  /// Whether the pair (a, b) leaves an odd number of ends on either side of it: then the others
  /// cannot all be paired without a crossing.
  static bool splits_odd(const std::vector<double>& angle, std::size_t a, std::size_t b) {
    std::size_t inside = 0;
    for (std::size_t x = 0; x < angle.size(); ++x)
      inside += x != a && x != b && separates(angle, a, b, x);
    return inside % 2 == 1;
  }

  /// Whether direction x lies strictly within the turn counterclockwise from direction a to b.
  static bool separates(const std::vector<double>& angle, std::size_t a, std::size_t b,
                        std::size_t x) {
    const auto from_a = [&](std::size_t y) {
      const double d = angle[y] - angle[a];
      return d < 0 ? d + 2 * std::numbers::pi : d;
    };
    return from_a(x) > 0 && from_a(x) < from_a(b);
  }

  /// The line that starts at run end `e` and goes through joined runs until an end that is not
  /// joined or, for a ring of runs, back to the first run; a ring ends where it starts.
  void chain(std::size_t e, bool ring) {
    Line line{runs_[e / 2].line.number, {}};
    for (;;) {
      const std::size_t r = e / 2;
      used_[r] = true;
      append(line.pixels, runs_[r].line.pixels, e % 2 == 1);
      const std::ptrdiff_t next = partner_[e ^ 1];
      if (const auto via = via_.find(e ^ 1); next >= 0 && via != via_.end()) {
        std::vector<Pixel> way = via->second;
        append(line.pixels, way, false);
      }
      if (next < 0 || used_[static_cast<std::size_t>(next) / 2]) break;
      e = static_cast<std::size_t>(next);
    }
    if (ring && line.pixels.front() != line.pixels.back())
      line.pixels.push_back(line.pixels.front());
    lines_.push_back(std::move(line));
  }

  /// Appends `run` to `line`, reversed when `reversed`, without repeating the pixel they share.
  static void append(std::vector<Pixel>& line, std::vector<Pixel>& run, bool reversed) {
    if (reversed) std::reverse(run.begin(), run.end());
    if (line.empty()) {
      line = std::move(run);
      return;
    }
    const auto from = line.back() == run.front() ? run.begin() + 1 : run.begin();
    line.insert(line.end(), from, run.end());
  }

  std::vector<Run> runs_;
  std::vector<std::vector<std::size_t>> ends_at_;  ///< per junction: the run ends meeting it
  std::vector<bool> pruned_;
  std::vector<bool> used_;
  std::vector<std::ptrdiff_t> partner_;             ///< per run end: the run end it joins, or -1
  std::vector<std::size_t> group_;                  ///< per junction: union-find parent
  std::vector<std::vector<std::size_t>> links_at_;  ///< per junction: the links taken out there
  std::unordered_map<std::size_t, std::vector<Pixel>> via_;  ///< per paired run end: links to go
  std::vector<Line> lines_;
};

/// Cuts lines into simple pieces. A line that goes through a junction twice (a band touching
/// itself) passes the same pixels twice: first the doubling back over a pixel or two on the way
/// to the junction's centre is taken out, then a pixel met again is stepped over when the line
/// can go from the pixel before it straight to the one after it (two pixels apart at most, and
/// not met before either); else the line is cut there, a loop that came back to the pixel
/// becoming a closed line of its own.
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

std::vector<Line> trace(const Framed& skeleton, int min_branch) {
  Tracer tracer(skeleton);
  std::vector<Run> runs = tracer.runs();
  std::vector<Line> joined =
      Joiner(std::move(runs), tracer.junctions()).lines(tracer.junctions(), min_branch);
  std::vector<Line> lines;
  lines.reserve(joined.size());
  Simplifier simplifier(skeleton);
  for (Line& line : joined) {
    if (line.pixels.size() < 2) {
      lines.push_back(std::move(line));
    } else {
      simplifier.pieces(std::move(line), lines);
    }
  }
  std::stable_sort(lines.begin(), lines.end(),
                   [](const Line& a, const Line& b) { return a.number < b.number; });
  return lines;
}

std::vector<Line> trace(const Image& skeleton, int min_branch) {
  return trace(Framed(skeleton), min_branch);
}

}  // namespace torvanelle::vect
