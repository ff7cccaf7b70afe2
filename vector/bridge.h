// Bridges across the gaps that labels leave in contour lines.
#pragma once

#include <functional>
#include <vector>

#include "vector/framed.h"
#include "vector/lines.h"

namespace torvanelle::vect {

/// The widest angle, in degrees, between an end's direction and the bridge leaving it.
inline constexpr double bridge_tolerance_degrees = 60;

/// The ground under a window of the raster: an elevation for each of its pixels, row after row,
/// in contour numbers (the line of number k lies at k), NaN where the ground is unknown.
using Ground = std::function<std::vector<float>(const Image& window)>;

/// Joins free ends of `lines` (the ends of open lines of 4 pixels or more off the image's border
/// that no other line of their number touches, as lines that end at a junction are touched) two
/// ends of one number at a time, and returns how many bridges were made.
///
/// Along the ground, when `ground` is given: two ends at most `distance` pixels apart whose
/// directions (over their last 6 pixels) lead towards each other are joined along the ground's
/// contour at their number, traced on the ground of a window around them, when a path of pixels
/// within a pixel of that contour joins them at most `distance` pixels long. The shortest such
/// bridges go first. Where the window holds no other number, the ground says nothing: ends that
/// face each other are joined as straight bridges are; for the others the window is widened
/// twice before they are given up.
///
/// Straight, without `ground`: two ends at most `distance` pixels apart that face each other,
/// each end's direction within `bridge_tolerance_degrees` of the bridge, by a straight segment;
/// the best-facing pairs go first (the smallest sum of the two angles).
///
/// Either way a bridge crosses no pixel of another number in `bands` (the raster before
/// thinning) and no line or bridge already made, and each end is joined at most once; the lines
/// joined become one, an open line whose ends are joined a closed one, and each line's `bridged`
/// counts the bridges in it. Lines keep their order, lines joined coming in the place of the
/// first of them, and the rings made of bridged lines last. `paths`, when given, receives each
/// bridge's pixels, its two ends included.
int bridge(std::vector<Line>& lines, const Framed& bands, double distance,
           const Ground& ground = {}, std::vector<std::vector<Pixel>>* paths = nullptr);

}  // namespace torvanelle::vect
