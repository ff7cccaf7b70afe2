// The ground along the gradient: a straight slope between the two nearest lines of different
// levels.
#pragma once

#include <vector>

#include "base/contour_image.h"
#include "dem/dem.h"

namespace torvanelle::dem {

/// An elevation for every pixel of `skeleton` (lines one pixel wide): on a line, its level;
/// elsewhere, with d_a the distance to the nearest line of even number and d_b to the nearest of
/// odd number, z = (z_a d_b + z_b d_a) / (d_a + d_b). Between lines n and n + 1 one is even
/// and the other odd, so this interpolates along the line of steepest descent as the distances
/// find it. Where only one parity exists, its nearest level. Rows × cols of the skeleton.
std::vector<float> gradient_surface(const torvanelle::Image& skeleton, const Levels& levels);

}  // namespace torvanelle::dem
