#include "vector/vectorise.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "vector/bridge.h"
#include "vector/ground_path.h"
#include "vector/pieces.h"
#include "vector/simplify.h"
#include "vector/skeleton.h"
#include "vector/trace.h"

namespace torvanelle::vect {
namespace {

/// Leaves out the lines shorter than `min_length` and those without two distinct pixels (a
/// traced line has no pixel twice in a row, so two pixels are two distinct ones); returns how
/// many.
int leave_out_short(std::vector<Line>& lines, double min_length) {
  const auto short_line = [min_length](const Line& line) {
    return line.pixels.size() < 2 || path_length(line.pixels) < min_length;
  };
  const auto kept = std::remove_if(lines.begin(), lines.end(), short_line);
  const auto left_out = static_cast<int>(lines.end() - kept);
  lines.erase(kept, lines.end());
  return left_out;
}

/// Simplifies each line, telling `progress` as each hundredth of the lines is done.
void simplify_all(std::vector<Line>& lines, double tolerance, const Progress& progress) {
  const std::size_t step = std::max<std::size_t>(lines.size() / 100, 1);
  for (std::size_t l = 0; l < lines.size(); ++l) {
    simplify(lines[l], tolerance);
    if ((l + 1) % step == 0)
      progress.at(static_cast<double>(l + 1) / static_cast<double>(lines.size()));
  }
  progress.at(1);
}

/// Where each step of the work ends, as a share of the whole: the thinning, the tracing, the
/// bridges and the simplification; cutting, leaving out and ordering take the rest.
constexpr double thinned = 0.5;
constexpr double traced = 0.8;
constexpr double bridged = 0.85;
constexpr double simplified = 0.95;

}  // namespace

std::vector<Line> vectorise(Framed& framed, const Options& options, Counts* counts,
                            const Progress& progress) {
  std::optional<Framed> bands;
  if (options.bridge > 0) bands.emplace(framed);
  thin(framed, progress.part(0, thinned));
  std::vector<Line> lines = trace(framed, options.min_branch, progress.part(thinned, traced));
  std::vector<std::vector<Pixel>> paths;
  const int bridges = bands ? bridge(lines, *bands, options.bridge, options.ground, &paths) : 0;
  bands.reset();
  progress.at(bridged);
  simplify_all(lines, options.simplify, progress.part(bridged, simplified));
  // After the simplification, which may make a line touch itself where it bends back.
  cut_where_not_simple(lines);
  const int left_out = leave_out_short(lines, options.min_length);
  std::stable_sort(lines.begin(), lines.end(),
                   [](const Line& a, const Line& b) { return a.number < b.number; });
  if (counts != nullptr) *counts = {left_out, bridges, std::move(paths)};
  progress.at(1);
  return lines;
}

std::vector<Line> vectorise(const Image& image, const Options& options, Counts* counts,
                            const Progress& progress) {
  Framed framed(image);
  return vectorise(framed, options, counts, progress);
}

}  // namespace torvanelle::vect
