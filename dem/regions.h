// The stretches of ground between the lines, and the bounds the contours put on each.
#pragma once

#include <cstddef>
#include <vector>

#include "base/contour_image.h"
#include "dem/dem.h"

namespace torvanelle::dem {

/// How far, in intervals, the ground may leave the level of a stretch that one level bounds
/// alone (a valley, ridge, saddle, summit or pit): below one, or a line would be missing.
inline constexpr double single_level_reach = 0.9;

/// Keeps `z` (rows × cols of `skeleton`) where the contours say it must be. Each stretch is a
/// 4-connected set of pixels off the skeleton's lines; the levels of the lines touching it bound
/// it. Between two levels or more, z stays within [lowest, highest] without lying flat against
/// either: where it leaves a guide that slopes across the stretch from the lowest level's line to
/// the highest's by more than seven tenths of the room between the guide and a bound, it gives way
/// to the guide smoothly, and wholly where it would reach the bound. Where one level L alone
/// touches it, the rise above L and the fall below it are each scaled down, if they reach
/// `single_level_reach` intervals, to reach that exactly: a shape kept, not a flat top.
/// NaN pixels are left as they are and ignored.
///
/// Returns the pits the contours call for: the lowest pixel of each stretch that one level
/// bounds alone, that lines close all round (it reaches no edge of the image) and where z goes
/// below that level.
std::vector<std::size_t> bound_by_regions(const torvanelle::Image& skeleton, const Levels& levels,
                                          std::vector<float>& z);

}  // namespace torvanelle::dem
