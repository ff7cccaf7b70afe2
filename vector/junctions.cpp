#include "vector/junctions.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <numbers>
#include <utility>

#include "vector/steps.h"

namespace torvanelle::vect {
namespace {

/// The sharpest turn a line is given at a junction of four runs or more, in radians.
constexpr double max_turn = 150 * std::numbers::pi / 180;

/// Per junction: how many runs not pruned meet it, a loop counting twice.
std::vector<int> meeting_counts(const JunctionGraph& g) {
  std::vector<int> meeting(g.ends_at.size());
  for (std::size_t r = 0; r < g.runs.size(); ++r) {
    for (const int c : g.runs[r].junction) {
      if (!g.pruned[r] && c != no_junction) ++meeting[static_cast<std::size_t>(c)];
    }
  }
  return meeting;
}

/// Sorts `runs` by their free pixels, the order among equals kept.
void sort_by_length(const JunctionGraph& g, std::vector<std::size_t>& runs) {
  std::stable_sort(runs.begin(), runs.end(),
                   [&g](std::size_t a, std::size_t b) { return g.runs[a].free < g.runs[b].free; });
}

/// Prunes the short branches of one junction, whose run ends are `ends`.
void prune_at(JunctionGraph& g, const std::vector<std::size_t>& ends, int min_branch) {
  std::vector<std::size_t> branches;
  for (const std::size_t e : ends) {
    const Run& run = g.runs[e / 2];
    if (!g.pruned[e / 2] && run.branch() && run.free < min_branch) branches.push_back(e / 2);
  }
  sort_by_length(g, branches);
  auto meeting = static_cast<std::size_t>(
      std::count_if(ends.begin(), ends.end(), [&g](std::size_t e) { return !g.pruned[e / 2]; }));
  // Where every run but one is a short branch, the junction is a line's frayed end: the line
  // ends at the junction rather than turn into one of the frays, which would skew its end's
  // direction.
  const std::size_t keep = meeting >= 3 && branches.size() + 1 == meeting ? 1 : 2;
  for (const std::size_t r : branches) {
    if (meeting <= keep) break;
    g.pruned[r] = true;
    --meeting;
  }
}

std::size_t junction_of(const JunctionGraph& g, std::size_t e) {
  return static_cast<std::size_t>(g.runs[e / 2].junction[e % 2]);
}

/// The junction at the other end of run r from junction c.
std::size_t other_end(const JunctionGraph& g, std::size_t r, std::size_t c) {
  const auto [a, b] = g.runs[r].junction;
  return static_cast<std::size_t>(a == static_cast<int>(c) ? b : a);
}

/// The pixels of the links from the centre of junction `from` to that of `to` (one group).
std::vector<Pixel> links_between(const JunctionGraph& g, std::size_t from, std::size_t to) {
  std::map<std::size_t, std::size_t> came_by;  // junction -> the link it was reached by
  std::vector<std::size_t> queue = {from};
  for (std::size_t next = 0; next < queue.size() && !came_by.contains(to); ++next) {
    for (const std::size_t r : g.links_at[queue[next]]) {
      const std::size_t other = other_end(g, r, queue[next]);
      if (other == from || came_by.contains(other)) continue;
      came_by[other] = r;
      queue.push_back(other);
    }
  }
  std::vector<std::size_t> path;
  for (std::size_t at = to; at != from; at = other_end(g, path.back(), at))
    path.push_back(came_by.at(at));
  std::vector<Pixel> way;
  std::size_t at = from;
  for (auto r = path.rbegin(); r != path.rend(); ++r) {
    std::vector<Pixel> link = g.runs[*r].line.pixels;
    const bool reversed = g.runs[*r].junction[0] != static_cast<int>(at);
    append(way, link, reversed);
    at = static_cast<std::size_t>(g.runs[*r].junction[reversed ? 0 : 1]);
  }
  return way;
}

void pair(JunctionGraph& g, std::size_t a, std::size_t b) {
  g.partner[a] = static_cast<std::ptrdiff_t>(b);
  g.partner[b] = static_cast<std::ptrdiff_t>(a);
  if (junction_of(g, a) == junction_of(g, b)) return;
  std::vector<Pixel> way = links_between(g, junction_of(g, a), junction_of(g, b));
  g.via[b] = std::vector<Pixel>(way.rbegin(), way.rend());
  g.via[a] = std::move(way);
}

/// Per junction group, in the order of its first junction: the run ends meeting it.
std::map<std::size_t, std::vector<std::size_t>> ends_of_groups(JunctionGraph& g) {
  std::map<std::size_t, std::vector<std::size_t>> ends;
  for (std::size_t c = 0; c < g.ends_at.size(); ++c) {
    for (const std::size_t e : g.ends_at[c]) {
      if (!g.pruned[e / 2]) ends[group_of(g, c)].push_back(e);
    }
  }
  return ends;
}

/// Per junction group: the mean of its junctions' centres.
std::map<std::size_t, std::array<double, 2>> centres(JunctionGraph& g) {
  std::map<std::size_t, std::array<double, 3>> sums;  // rows, columns, junctions
  for (std::size_t c = 0; c < g.junctions.size(); ++c) {
    std::array<double, 3>& sum = sums[group_of(g, c)];
    sum[0] += g.junctions[c].pixels[0].row;
    sum[1] += g.junctions[c].pixels[0].col;
    sum[2] += 1;
  }
  std::map<std::size_t, std::array<double, 2>> out;
  for (const auto& [root, sum] : sums)
    out[root] = {sum[0] / sum[2], sum[1] / sum[2]};
  return out;
}

/// The direction in which run end `e` leaves its junction group: from the group's `centre` to
/// the run's pixel `direction_reach` steps from its junction (or its last), so that a kink at
/// the junction does not count.
std::array<double, 2> leaving(const JunctionGraph& g, std::size_t e, std::array<double, 2> centre) {
  const std::vector<Pixel>& p = g.runs[e / 2].line.pixels;
  const std::size_t k = std::min<std::size_t>(direction_reach, p.size() - 1);
  const Pixel to = e % 2 == 0 ? p[k] : p[p.size() - 1 - k];
  return {to.row - centre[0], to.col - centre[1]};
}

/// Whether direction x lies strictly within the turn counterclockwise from direction a to b.
bool separates(const std::vector<double>& angle, std::size_t a, std::size_t b, std::size_t x) {
  const auto from_a = [&](std::size_t y) {
    const double d = angle[y] - angle[a];
    return d < 0 ? d + 2 * std::numbers::pi : d;
  };
  return from_a(x) > 0 && from_a(x) < from_a(b);
}

/// Whether the pair (a, b) leaves an odd number of ends on either side of it: then the others
/// cannot all be paired without a crossing.
bool splits_odd(const std::vector<double>& angle, std::size_t a, std::size_t b) {
  std::size_t inside = 0;
  for (std::size_t x = 0; x < angle.size(); ++x)
    inside += x != a && x != b && separates(angle, a, b, x);
  return inside % 2 == 1;
}

/// A way through a junction group, from end a into end b, and how sharply it turns.
struct Turn {
  double turn;  ///< radians: 0 goes straight on
  std::size_t a, b;
};

/// The ways through a junction group whose ends leave in directions `dir` (at `angle`),
/// straightest first, without those that turn by more than `max_turn` or (with an even
/// number of ends) that leave an odd number of ends on either side.
std::vector<Turn> turns(const std::vector<std::array<double, 2>>& dir,
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

/// Pairs the ends of a junction group of four or more so that each line goes on as straight as
/// it can: the straightest pairs first (the smallest turn from one end's direction into the
/// other's), leaving out a pair that would cross one taken already or keep the others (when
/// they are even) from pairing without crossing, and one that turns by more than `max_turn`.
/// Contours of one number do not cross: where a band touches itself or a saddle makes an X,
/// the lines meet and turn back.
void pair_by_direction(JunctionGraph& g, const std::vector<std::size_t>& ends,
                       std::array<double, 2> centre) {
  std::vector<std::array<double, 2>> dir;
  std::vector<double> angle;
  for (const std::size_t e : ends) {
    dir.push_back(leaving(g, e, centre));
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
    pair(g, ends[c.a], ends[c.b]);
  }
}

}  // namespace

JunctionGraph junction_graph(std::vector<Run> runs, std::vector<Line> junctions) {
  JunctionGraph g;
  g.runs = std::move(runs);
  g.junctions = std::move(junctions);
  g.ends_at.resize(g.junctions.size());
  for (std::size_t r = 0; r < g.runs.size(); ++r) {
    for (int side = 0; side < 2; ++side) {
      const int c = g.runs[r].junction[static_cast<std::size_t>(side)];
      if (c != no_junction) g.ends_at[static_cast<std::size_t>(c)].push_back(run_end(r, side));
    }
  }
  g.pruned.resize(g.runs.size());
  g.group.resize(g.junctions.size());
  for (std::size_t c = 0; c < g.group.size(); ++c)
    g.group[c] = c;
  g.links_at.resize(g.junctions.size());
  g.partner.assign(2 * g.runs.size(), -1);
  return g;
}

void prune_branches(JunctionGraph& g, int min_branch) {
  for (const std::vector<std::size_t>& ends : g.ends_at)
    prune_at(g, ends, min_branch);
}

void close_eyes(JunctionGraph& g, int eye) {
  std::map<std::pair<int, int>, std::vector<std::size_t>> joining;  // junction pair -> runs
  for (std::size_t r = 0; r < g.runs.size(); ++r) {
    const auto [a, b] = g.runs[r].junction;
    if (!g.pruned[r] && a != no_junction && b != no_junction && a != b && g.runs[r].free < eye)
      joining[std::minmax(a, b)].push_back(r);
  }
  std::vector<int> meeting = meeting_counts(g);
  // A loop of a few pixels hanging off a junction that keeps two more runs: the eye round a
  // pinhole beside the junction.
  for (std::size_t r = 0; r < g.runs.size(); ++r) {
    const auto [a, b] = g.runs[r].junction;
    if (g.pruned[r] || a == no_junction || a != b || g.runs[r].free >= eye) continue;
    if (meeting[static_cast<std::size_t>(a)] >= 4) {
      g.pruned[r] = true;
      meeting[static_cast<std::size_t>(a)] -= 2;
    }
  }
  for (auto& [ends, runs] : joining) {
    const auto sides = static_cast<int>(runs.size());
    const bool goes_on = meeting[static_cast<std::size_t>(ends.first)] > sides &&
                         meeting[static_cast<std::size_t>(ends.second)] > sides;
    if (sides < 2 || !goes_on) continue;
    sort_by_length(g, runs);
    for (std::size_t k = 1; k < runs.size(); ++k)
      g.pruned[runs[k]] = true;
  }
}

void contract_links(JunctionGraph& g, int longest) {
  const std::vector<int> meeting = meeting_counts(g);
  for (std::size_t r = 0; r < g.runs.size(); ++r) {
    const auto [a, b] = g.runs[r].junction;
    if (g.pruned[r] || a == no_junction || b == no_junction || a == b || g.runs[r].free > longest)
      continue;
    const auto ua = static_cast<std::size_t>(a), ub = static_cast<std::size_t>(b);
    if (meeting[ua] < 3 || meeting[ub] < 3) continue;
    g.pruned[r] = true;
    if (group_of(g, ua) == group_of(g, ub)) continue;  // a second way between them: an eye
    g.group[group_of(g, ua)] = group_of(g, ub);
    g.links_at[ua].push_back(r);
    g.links_at[ub].push_back(r);
  }
}

std::size_t group_of(JunctionGraph& g, std::size_t c) {
  while (g.group[c] != c)
    c = g.group[c] = g.group[g.group[c]];
  return c;
}

void pair_ends(JunctionGraph& g) {
  const std::map<std::size_t, std::array<double, 2>> centre = centres(g);
  for (const auto& [root, kept] : ends_of_groups(g)) {
    if (kept.size() == 2) pair(g, kept[0], kept[1]);
    if (kept.size() >= 4) pair_by_direction(g, kept, centre.at(root));
  }
}

void join_at_junctions(JunctionGraph& g, int min_branch) {
  prune_branches(g, min_branch);
  close_eyes(g, 2 * min_branch);
  contract_links(g, min_branch);
  pair_ends(g);
}

}  // namespace torvanelle::vect
