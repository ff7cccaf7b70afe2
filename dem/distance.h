// Exact Euclidean distances to the nearest of a set of pixels, with what that pixel holds.
#pragma once

#include <cstdint>
#include <vector>

namespace torvanelle::dem {

/// The value of a pixel outside the set in `source` and `nearest_label`.
inline constexpr std::uint8_t no_label = 255;

/// For every pixel of a rows × cols grid, the squared Euclidean distance (in pixels) to the
/// nearest pixel whose `source` value is not `no_label`, and that value in `nearest_label`
/// (ties go to either). With no such pixel, the distances are infinite and the labels
/// `no_label`. The lower envelope of parabolas of P. Felzenszwalb and D. Huttenlocher, "Distance
/// transforms of sampled functions", Theory of Computing 8, 2012: a pass down each column, then
/// one along each row.
void distance_transform(const std::vector<std::uint8_t>& source, int rows, int cols,
                        std::vector<float>& squared, std::vector<std::uint8_t>& nearest_label);

}  // namespace torvanelle::dem
