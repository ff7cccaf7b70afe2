#include "dem_support.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace demtest {
namespace {

/// The number a pixel carries if it is the nearer of a pair across levels, else -1.
void mark_crossing(const Surface& f, const Levels& levels, int ai, int aj, int bi, int bj,
                   std::vector<int>& number, int cols) {
  const double za = f(ai, aj);
  const double zb = f(bi, bj);
  const int na = static_cast<int>(std::floor((za - levels.base) / levels.interval));
  const int nb = static_cast<int>(std::floor((zb - levels.base) / levels.interval));
  if (na == nb) return;
  const int n = std::max(na, nb);
  if (n < 0 || n > 254) return;
  const double level = levels.base + n * levels.interval;
  const bool a_nearer = std::abs(za - level) <= std::abs(zb - level);
  const std::size_t at = static_cast<std::size_t>(a_nearer ? ai : bi) * cols +
                         static_cast<std::size_t>(a_nearer ? aj : bj);
  number[at] = std::max(number[at], n);
}

bool neighbours_valid(const Model& m, int i, int j) {
  if (i < 1 || j < 1 || i >= m.rows - 1 || j >= m.cols - 1) return false;
  for (int di = -1; di <= 1; ++di) {
    for (int dj = -1; dj <= 1; ++dj) {
      if (std::isnan(m.at(i + di, j + dj))) return false;
    }
  }
  return true;
}

}  // namespace

Image contour_image(int rows, int cols, const Surface& f, const Levels& levels, int width) {
  std::vector<int> number(static_cast<std::size_t>(rows) * cols, -1);
  for (int i = 0; i < rows; ++i) {
    for (int j = 0; j < cols; ++j) {
      if (j + 1 < cols) mark_crossing(f, levels, i, j, i, j + 1, number, cols);
      if (i + 1 < rows) mark_crossing(f, levels, i, j, i + 1, j, number, cols);
    }
  }
  Image image(rows, cols);
  const int low = -(width - 1) / 2;
  const int high = width / 2;
  for (int n = 0; n <= 254; ++n) {
    for (int i = 0; i < rows; ++i) {
      for (int j = 0; j < cols; ++j) {
        if (number[static_cast<std::size_t>(i) * cols + j] != n) continue;
        for (int di = low; di <= high; ++di) {
          for (int dj = low; dj <= high; ++dj) {
            const int ni = i + di;
            const int nj = j + dj;
            if (ni < 0 || nj < 0 || ni >= rows || nj >= cols) continue;
            image.at(ni, nj) = static_cast<std::uint8_t>(n);
          }
        }
      }
    }
  }
  return image;
}

double max_error(const Model& model, const Surface& f, int margin) {
  double worst = 0;
  for (int i = margin; i < model.rows - margin; ++i) {
    for (int j = margin; j < model.cols - margin; ++j) {
      bool inside = true;
      for (int di = -margin; di <= margin && inside; ++di) {
        for (int dj = -margin; dj <= margin && inside; ++dj) {
          inside = !std::isnan(model.at(i + di, j + dj));
        }
      }
      if (inside) worst = std::max(worst, std::abs(model.at(i, j) - f(i, j)));
    }
  }
  return worst;
}

int strict_minima(const Model& model) {
  int count = 0;
  for (int i = 1; i < model.rows - 1; ++i) {
    for (int j = 1; j < model.cols - 1; ++j) {
      if (!neighbours_valid(model, i, j)) continue;
      bool lowest = true;
      for (int k = 0; k < 9 && lowest; ++k) {
        if (k != 4) lowest = model.at(i, j) < model.at(i + k / 3 - 1, j + k % 3 - 1);
      }
      count += lowest ? 1 : 0;
    }
  }
  return count;
}

int flat_pixels(const Model& model, const Image& contours, double flat) {
  int count = 0;
  for (int i = 1; i < model.rows - 1; ++i) {
    for (int j = 1; j < model.cols - 1; ++j) {
      if (contours.at(i, j) != torvanelle::no_line || !neighbours_valid(model, i, j)) {
        continue;
      }
      float low = model.at(i, j);
      float high = low;
      for (int k = 0; k < 9; ++k) {
        low = std::min(low, model.at(i + k / 3 - 1, j + k % 3 - 1));
        high = std::max(high, model.at(i + k / 3 - 1, j + k % 3 - 1));
      }
      count += (high - low < flat) ? 1 : 0;
    }
  }
  return count;
}

int on_level_pixels(const Model& model, const Image& contours, const Levels& levels,
                    double tolerance) {
  int count = 0;
  for (int i = 0; i < model.rows; ++i) {
    for (int j = 0; j < model.cols; ++j) {
      const float z = model.at(i, j);
      if (std::isnan(z) || contours.at(i, j) != torvanelle::no_line) continue;
      const double steps = (z - levels.base) / levels.interval;
      count += (std::abs(steps - std::round(steps)) * levels.interval < tolerance) ? 1 : 0;
    }
  }
  return count;
}

int valid_pixels(const Model& model) {
  return static_cast<int>(
      std::count_if(model.z.begin(), model.z.end(), [](float v) { return !std::isnan(v); }));
}

}  // namespace demtest
