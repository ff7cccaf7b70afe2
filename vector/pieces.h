// The last phase of tracing, and the last guard of the lines' simplicity: the paired runs
// assembled into lines, and lines cut into pieces that neither cross nor touch themselves.
#pragma once

#include <vector>

#include "vector/framed.h"
#include "vector/junctions.h"
#include "vector/lines.h"

namespace torvanelle::vect {

/// The lines of a junction graph whose run ends are paired (`join_at_junctions`): first each
/// junction that no run is left to meet, as a line of its one pixel; then, in run order, each
/// line that starts at a run end not paired and goes on through the runs paired with it (and the
/// links between them); then the rings of paired runs, each closed on its first pixel. Runs are
/// taken over, and reversed in place where a line goes through them backwards.
std::vector<Line> assemble_lines(JunctionGraph& g);

/// Cuts the assembled lines of `skeleton` into pieces that pass no pixel twice, in order. A line
/// that goes through a junction twice (a band touching itself) passes the same pixels twice:
/// first the doubling back over a pixel or two on the way to the junction's centre is taken out,
/// then a pixel met again is stepped over when the line can go from the pixel before it straight
/// to the one after it (`longest_step_over` apart at most, and not met before either); else the
/// line is cut there, a loop that came back to the pixel becoming a closed line of its own. A
/// line of one pixel stays; other pieces need two distinct pixels.
std::vector<Line> pass_each_pixel_once(std::vector<Line> lines, const Framed& skeleton);

/// Cuts every line of `lines` that has a step longer than a pixel's diagonal (a step over a
/// pixel passed already, or a straight bridge) or a bridge where one of its segments crosses or
/// touches an earlier one of the same line (other than the previous one, at the point they
/// share): the line ends at the segment's first point and a new line starts there. Lines of unit
/// steps without bridges pass through distinct pixels: simple already, they are left as they
/// are. Pieces with fewer than two points are dropped. A closed line that is cut becomes open
/// pieces; each piece counts in `bridged` the bridges it holds.
void cut_where_not_simple(std::vector<Line>& lines);

}  // namespace torvanelle::vect
