// Sinks that the contours do not call for, filled so that every pixel drains.
#pragma once

#include <cstddef>
#include <vector>

#include "base/contour_image.h"

namespace torvanelle::dem {

/// Raises the pixels of `z` (rows × cols, NaN outside the model; std::length_error for more
/// than `PixelIndex::max_pixels`) so that from every pixel a path of 8-neighbours falls by at
/// least `step` a pixel to the model's edge (a pixel with a NaN or missing neighbour) or to one
/// of `outlets`. A pixel that had such a path
/// keeps its value; one in a depression is raised to its spill level plus `step` for each pixel
/// from the spill. Priority-Flood with an epsilon (R. Barnes, C. Lehman and D. Mulla,
/// "Priority-Flood: an optimal depression-filling and watershed-labeling algorithm for digital
/// elevation models", Computers & Geosciences 62, 2014), taking in the order of height only the
/// pixels that no falling path joins to the edge or an outlet: those it joins are found first,
/// by a walk up from them. The line pixels of `held`, when given, are never raised: water
/// crosses a line at its level.
void fill_sinks(std::vector<float>& z, int rows, int cols, const std::vector<std::size_t>& outlets,
                float step, const torvanelle::Image* held = nullptr);

/// Fills, as `fill_sinks` would with the skeleton's lines held, the depressions of `z` (the
/// skeleton's rows × cols) that the contours do not draw, and keeps those they do. A depression
/// (8-connected pixels that the filling would raise) is drawn when a line of `skeleton` beside
/// it lies at least `drawn_depth` below the level at which it would be filled: such a line
/// closes round lower ground, as the contour of a pit does. Shallower ones are the surface's
/// own ripples.
void fill_undrawn_sinks(std::vector<float>& z, const torvanelle::Image& skeleton,
                        const std::vector<std::size_t>& outlets, float step, float drawn_depth);

}  // namespace torvanelle::dem
