// Douglas-Peucker simplification of traced lines.
#pragma once

#include "vector/lines.h"

namespace torvanelle::vect {

/// Leaves only the vertices of `line` that Douglas-Peucker keeps at `tolerance` pixels: each
/// vertex left out lies within `tolerance` of the segment between the kept vertices around it,
/// and the ends stay. A closed line is cut at its first vertex and the vertex farthest from it,
/// and each half keeps at least its vertex farthest from the cut, so that it stays a ring of
/// four vertices or more. A tolerance of 0 or less leaves the line as it is.
void simplify(Line& line, double tolerance);

}  // namespace torvanelle::vect
