// Bridges across the gaps that labels leave in contour lines.
#pragma once

#include <vector>

#include "vector/framed.h"
#include "vector/lines.h"

namespace torvanelle::vect {

/// The widest angle, in degrees, between an end's direction and the bridge leaving it.
inline constexpr double bridge_tolerance_degrees = 60;

/// Joins free ends of `lines` (the ends of open lines of 4 pixels or more off the image's border
/// that no other line of their number touches, as lines that end at a junction are touched) by
/// straight bridges: two ends of the same number at most `distance` pixels apart that face each
/// other, each end's direction (over its last 6 pixels) within `bridge_tolerance_degrees` of the
/// bridge. A bridge crosses no pixel of another number in `bands` (the raster before thinning) and
/// no line or bridge already made, beyond the pixels next to its ends. The best-facing pairs go
/// first (the smallest sum of the two angles), each end is joined at most once; the lines joined
/// become one, an open line whose ends are joined a closed one, and each line's `bridged` counts
/// the bridges in it. Returns how many bridges were made. Lines keep their order, lines joined
/// coming in the place of the first of them, and the rings made of bridged lines last.
int bridge(std::vector<Line>& lines, const Framed& bands, double distance);

}  // namespace torvanelle::vect
