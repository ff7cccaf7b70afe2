// The second phase of tracing: at the junctions, short branches and eyes go and the runs that
// meet are paired into lines.
//
// The steps are free functions over a `JunctionGraph`, each stating what it reads and changes;
// `join_at_junctions` runs them in the one order that works.
#pragma once

#include <cstddef>
#include <unordered_map>
#include <vector>

#include "vector/lines.h"
#include "vector/runs.h"

namespace torvanelle::vect {

/// The runs of a skeleton as a graph whose nodes are its junctions. Each run has two ends, end
/// 2r + 0 its first pixel and 2r + 1 its last (see `run_end`).
struct JunctionGraph {
  std::vector<Run> runs;
  std::vector<Line> junctions;  ///< per junction: its centre, as a line of one pixel
  std::vector<std::vector<std::size_t>> ends_at;  ///< per junction: the run ends meeting it
  std::vector<bool> pruned;                       ///< per run: taken out of the lines
  std::vector<std::size_t> group;  ///< per junction: union-find parent; at first itself
  std::vector<std::vector<std::size_t>> links_at;  ///< per junction: the links contracted there
  std::vector<std::ptrdiff_t> partner;             ///< per run end: the run end it joins, or -1
  std::unordered_map<std::size_t, std::vector<Pixel>> via;  ///< per paired end: links to go
};

/// End `side` (0 its first pixel, 1 its last) of run `run`.
constexpr std::size_t run_end(std::size_t run, int side) {
  return 2 * run + static_cast<std::size_t>(side);
}

/// The graph of `runs` and `junctions` (as `cut_into_runs` gives them): nothing pruned, nothing
/// paired, every junction a group of its own.
JunctionGraph junction_graph(std::vector<Run> runs, std::vector<Line> junctions);

/// Prunes the short branches: at each junction, in junction order, the branches (runs from an
/// end pixel) with fewer than `min_branch` free pixels, shortest first, while three runs or more
/// meet it; all of them where every run but one is such a branch (a line's frayed end).
/// Reads `runs`, `ends_at`; changes `pruned`. Runs first: later steps count what is left.
void prune_branches(JunctionGraph& g, int min_branch);

/// Closes the eyes round pinholes: of the runs shorter than `eye` free pixels between the same
/// two junctions, each of which keeps another run, only the shortest stays; and a loop of that
/// size off a junction that keeps two more runs goes.
/// Reads `runs`, `pruned`; changes `pruned`. After `prune_branches`, whose spurs must not count
/// as runs going on.
void close_eyes(JunctionGraph& g, int eye);

/// Contracts the links: a run of at most `longest` free pixels between two junctions that each
/// keep two more runs is pruned and its junctions become one group (a second way between the
/// same group is an eye, and only pruned).
/// Reads `runs`, `pruned`; changes `pruned`, `group`, `links_at`. After `close_eyes`, so that an
/// eye's sides are not taken for links.
void contract_links(JunctionGraph& g, int longest);

/// The junction group of junction c: junctions joined by links are one. Compresses `group`.
std::size_t group_of(JunctionGraph& g, std::size_t c);

/// Pairs the run ends meeting each junction group: the two of a group that keeps two; at a group
/// of four or more, by continuation, the straightest pairs first, never two pairs that cross and
/// never a turn sharper than 150 degrees; three (a true T) stay apart. A pair across a group
/// goes through its links.
/// Reads `runs`, `junctions`, `ends_at`, `pruned`, `group`, `links_at`; changes `partner`, `via`.
/// Last: after every step that prunes or groups.
void pair_ends(JunctionGraph& g);

/// Runs the steps above in their order, with the sizes `min_branch` sets: branches shorter than
/// it, eyes shorter than twice it and links of at most it.
void join_at_junctions(JunctionGraph& g, int min_branch);

}  // namespace torvanelle::vect
