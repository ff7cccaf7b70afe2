#include "dem/gradient.h"

#include <cmath>
#include <cstdint>

#include "dem/distance.h"

namespace torvanelle::dem {

std::vector<float> gradient_surface(const torvanelle::Image& skeleton, const Levels& levels) {
  std::vector<float> z(skeleton.px.size());
  const std::size_t cols = static_cast<std::size_t>(skeleton.cols);
  const auto combine = [&](int i, const NearestRow& even, const NearestRow& odd) {
    float* row = z.data() + static_cast<std::size_t>(i) * cols;
    for (std::size_t j = 0; j < cols; ++j) {
      const std::uint8_t a = even.label[j];
      const std::uint8_t b = odd.label[j];
      if (a == no_label && b == no_label) {
        row[j] = nodata;
      } else if (b == no_label) {
        row[j] = static_cast<float>(levels.of(a));
      } else if (a == no_label) {
        row[j] = static_cast<float>(levels.of(b));
      } else {
        const double da = std::sqrt(static_cast<double>(even.squared[j]));
        const double db = std::sqrt(static_cast<double>(odd.squared[j]));
        const double za = levels.of(a);
        const double zb = levels.of(b);
        row[j] = static_cast<float>(da + db > 0 ? (za * db + zb * da) / (da + db) : za);
      }
    }
  };
  nearest_by_parity(skeleton.px, skeleton.rows, skeleton.cols, combine);
  return z;
}

}  // namespace torvanelle::dem
