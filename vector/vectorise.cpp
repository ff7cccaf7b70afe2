#include "vector/vectorise.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "vector/bridge.h"
#include "vector/pieces.h"
#include "vector/simplify.h"
#include "vector/skeleton.h"
#include "vector/trace.h"

namespace torvanelle::vect {
namespace {

/// The length of a line along its pixels' centres.
double length(const Line& line) {
  double sum = 0;
  for (std::size_t v = 0; v + 1 < line.pixels.size(); ++v) {
    sum += std::hypot(line.pixels[v + 1].row - line.pixels[v].row,
                      line.pixels[v + 1].col - line.pixels[v].col);
  }
  return sum;
}

/// Leaves out the lines shorter than `min_length` and those without two distinct pixels (a
/// traced line has no pixel twice in a row, so two pixels are two distinct ones); returns how
/// many.
int leave_out_short(std::vector<Line>& lines, double min_length) {
  const auto short_line = [min_length](const Line& line) {
    return line.pixels.size() < 2 || length(line) < min_length;
  };
  const auto kept = std::remove_if(lines.begin(), lines.end(), short_line);
  const auto left_out = static_cast<int>(lines.end() - kept);
  lines.erase(kept, lines.end());
  return left_out;
}

}  // namespace

std::vector<Line> vectorise(Framed& framed, const Options& options, Counts* counts) {
  std::optional<Framed> bands;
  if (options.bridge > 0) bands.emplace(framed);
  thin(framed);
  std::vector<Line> lines = trace(framed, options.min_branch);
  const int bridges = bands ? bridge(lines, *bands, options.bridge) : 0;
  bands.reset();
  for (Line& line : lines)
    simplify(line, options.simplify);
  // After the simplification, which may make a line touch itself where it bends back.
  cut_where_not_simple(lines);
  const int left_out = leave_out_short(lines, options.min_length);
  std::stable_sort(lines.begin(), lines.end(),
                   [](const Line& a, const Line& b) { return a.number < b.number; });
  if (counts != nullptr) *counts = {left_out, bridges};
  return lines;
}

std::vector<Line> vectorise(const Image& image, const Options& options, Counts* counts) {
  Framed framed(image);
  return vectorise(framed, options, counts);
}

}  // namespace torvanelle::vect
