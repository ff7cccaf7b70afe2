#include "vector/trace.h"

#include <algorithm>
#include <utility>

#include "vector/junctions.h"
#include "vector/pieces.h"
#include "vector/runs.h"

namespace torvanelle::vect {

std::vector<Line> trace(const Framed& skeleton, int min_branch, const Progress& progress) {
  Runs runs = cut_into_runs(skeleton);
  progress.at(0.4);
  JunctionGraph graph = junction_graph(std::move(runs.runs), std::move(runs.junctions));
  join_at_junctions(graph, min_branch);
  progress.at(0.6);
  std::vector<Line> lines = pass_each_pixel_once(assemble_lines(graph), skeleton);
  progress.at(0.9);
  std::stable_sort(lines.begin(), lines.end(),
                   [](const Line& a, const Line& b) { return a.number < b.number; });
  progress.at(1);
  return lines;
}

std::vector<Line> trace(const Image& skeleton, int min_branch) {
  return trace(Framed(skeleton), min_branch);
}

}  // namespace torvanelle::vect
