// Exact Euclidean distances to the nearest of a set of pixels, with what that pixel holds.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

namespace torvanelle::dem {

/// The value of a pixel outside every set in `source` and in `NearestRow::label`.
inline constexpr std::uint8_t no_label = 255;

/// What the pixels of one row know of the nearest pixel of a set: the squared Euclidean
/// distance to it in pixels (infinite where the set is empty) and its value (`no_label` then).
struct NearestRow {
  std::vector<float> squared;
  std::vector<std::uint8_t> label;
};

/// For each row i of a rows × cols grid, calls visit(i, even, odd) once with the row's nearest
/// pixel of the set whose `source` values are even (other than `no_label`) and of the set whose
/// values are odd (ties go to either). The lower envelope of parabolas of P. Felzenszwalb and
/// D. Huttenlocher, "Distance transforms of sampled functions", Theory of Computing 8, 2012: a
/// pass down each column, then one along each row. The columns are passed by bands of
/// `band_rows` rows, each started from the set pixels nearest above and below it found by one
/// scan each way beforehand, so that no more than a band of them is held at a time. Bands run
/// on both cores, the rows of one band in order: `visit` may write what belongs to row i alone.
void nearest_by_parity(const std::vector<std::uint8_t>& source, int rows, int cols,
                       const std::function<void(int, const NearestRow&, const NearestRow&)>& visit,
                       int band_rows = 32);

}  // namespace torvanelle::dem
