// The last guard of the lines' simplicity: no line crosses or touches itself.
#pragma once

#include <vector>

#include "vector/lines.h"

namespace torvanelle::vect {

/// Cuts every line of `lines` that has a step longer than a pixel's diagonal (a step over a
/// pixel passed already, or a bridge) where one of its segments crosses or touches an earlier
/// one of the same line (other than the previous one, at the point they share): the line ends
/// at the segment's first point and a new line starts there. Lines of unit steps through
/// distinct pixels are simple already and are left as they are; pieces with fewer than two
/// points are dropped. A closed line that is cut becomes open pieces; each piece counts in
/// `bridged` the bridges it holds.
void cut_where_not_simple(std::vector<Line>& lines);

}  // namespace torvanelle::vect
