#include "dem/gradient.h"

#include <cmath>
#include <cstdint>

#include "base/together.h"
#include "dem/distance.h"

namespace torvanelle::dem {
namespace {

/// The skeleton's pixels whose number has the given parity; the others `no_label`.
std::vector<std::uint8_t> of_parity(const torvanelle::Image& skeleton, int parity) {
  std::vector<std::uint8_t> out(skeleton.px.size(), no_label);
  for (std::size_t n = 0; n < out.size(); ++n) {
    const std::uint8_t v = skeleton.px[n];
    if (v != torvanelle::no_line && v % 2 == parity) out[n] = v;
  }
  return out;
}

}  // namespace

std::vector<float> gradient_surface(const torvanelle::Image& skeleton, const Levels& levels) {
  std::vector<float> even;
  std::vector<std::uint8_t> even_label;
  std::vector<float> odd;
  std::vector<std::uint8_t> odd_label;
  // The two transforms share nothing: one on each core.
  run_together(
      [&] {
        distance_transform(of_parity(skeleton, 0), skeleton.rows, skeleton.cols, even, even_label);
      },
      [&] {
        distance_transform(of_parity(skeleton, 1), skeleton.rows, skeleton.cols, odd, odd_label);
      },
      skeleton.px.size());
  // The result takes the even distances' place.
  std::vector<float>& z = even;
  const std::size_t cols = static_cast<std::size_t>(skeleton.cols);
  by_halves(skeleton.rows, z.size(), [&](int first, int last) {
    for (std::size_t n = first * cols; n < last * cols; ++n) {
      if (even_label[n] == no_label && odd_label[n] == no_label) {
        z[n] = nodata;
      } else if (odd_label[n] == no_label) {
        z[n] = static_cast<float>(levels.of(even_label[n]));
      } else if (even_label[n] == no_label) {
        z[n] = static_cast<float>(levels.of(odd_label[n]));
      } else {
        const double da = std::sqrt(static_cast<double>(even[n]));
        const double db = std::sqrt(static_cast<double>(odd[n]));
        const double za = levels.of(even_label[n]);
        const double zb = levels.of(odd_label[n]);
        z[n] = static_cast<float>(da + db > 0 ? (za * db + zb * da) / (da + db) : za);
      }
    }
  });
  return even;
}

}  // namespace torvanelle::dem
