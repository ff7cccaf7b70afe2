#include "random_raster.h"

#include <algorithm>
#include <random>
#include <vector>

namespace support {
namespace {

using Rng = std::mt19937;

int pick(Rng& rng, int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); }

int side(Rng& rng) {
  const int kind = pick(rng, 0, 9);
  if (kind == 0) return pick(rng, 1, 3);
  if (kind <= 3) return pick(rng, 4, 16);
  return pick(rng, 4, 64);
}

void dot(model::Grid& g, int r, int c, int value) {
  if (r >= 0 && r < g.rows && c >= 0 && c < g.cols) g.at(r, c) = value;
}

/// A straight stroke from (r0, c0) to (r1, c1), `width` pixels thick.
void stroke(model::Grid& g, int r0, int c0, int r1, int c1, int width, int value) {
  const int steps = std::max({std::abs(r1 - r0), std::abs(c1 - c0), 1});
  for (int s = 0; s <= steps; ++s) {
    const int r = r0 + (r1 - r0) * s / steps;
    const int c = c0 + (c1 - c0) * s / steps;
    for (int dr = 0; dr < width; ++dr) {
      for (int dc = 0; dc < width; ++dc)
        dot(g, r + dr, c + dc, value);
    }
  }
}

void blob(model::Grid& g, int r, int c, int radius, int value) {
  for (int dr = -radius; dr <= radius; ++dr) {
    for (int dc = -radius; dc <= radius; ++dc) {
      if (dr * dr + dc * dc <= radius * radius + radius) dot(g, r + dr, c + dc, value);
    }
  }
}

void ring(model::Grid& g, int r, int c, int radius, int width, int value) {
  for (int dr = -radius - width; dr <= radius + width; ++dr) {
    for (int dc = -radius - width; dc <= radius + width; ++dc) {
      const int d2 = dr * dr + dc * dc;
      if (d2 >= radius * radius && d2 <= (radius + width) * (radius + width)) {
        dot(g, r + dr, c + dc, value);
      }
    }
  }
}

/// The numbers a case draws with: a few neighbours, or a few spread over the whole range.
std::vector<int> numbers(Rng& rng) {
  const int count = pick(rng, 1, 6);
  const bool spread = pick(rng, 0, 3) == 0;
  const int base = spread ? 0 : pick(rng, 0, 250);
  std::vector<int> chosen;
  for (int n = 0; n < count; ++n)
    chosen.push_back(spread ? pick(rng, 0, 254) : base + pick(rng, 0, 4));
  return chosen;
}

}  // namespace

model::Grid random_raster(std::uint32_t seed) {
  Rng rng(seed);
  const int rows = side(rng);
  const int cols = side(rng);
  const std::vector<int> pool = numbers(rng);
  model::Grid g(rows, cols, 255);
  const int shapes = pick(rng, 0, 8);
  for (int s = 0; s < shapes; ++s) {
    const int value =
        pool[static_cast<std::size_t>(pick(rng, 0, static_cast<int>(pool.size()) - 1))];
    const int r = pick(rng, -2, rows + 1);
    const int c = pick(rng, -2, cols + 1);
    switch (pick(rng, 0, 4)) {
      case 0:
      case 1:
        stroke(g, r, c, pick(rng, -2, rows + 1), pick(rng, -2, cols + 1), pick(rng, 1, 4), value);
        break;
      case 2:
        blob(g, r, c, pick(rng, 1, 8), value);
        break;
      case 3:
        ring(g, r, c, pick(rng, 1, 8), pick(rng, 0, 3), value);
        break;
      default:  // a line along a border
        if (pick(rng, 0, 1) == 0) {
          stroke(g, pick(rng, 0, 1) == 0 ? 0 : rows - 1, 0, r, cols - 1, 1, value);
        } else {
          stroke(g, 0, pick(rng, 0, 1) == 0 ? 0 : cols - 1, rows - 1, c, 1, value);
        }
    }
  }
  const int noise = pick(rng, 0, 2) == 0 ? pick(rng, 0, rows * cols / 8) : 0;
  for (int n = 0; n < noise; ++n) {
    dot(g, pick(rng, 0, rows - 1), pick(rng, 0, cols - 1),
        pool[static_cast<std::size_t>(pick(rng, 0, static_cast<int>(pool.size()) - 1))]);
  }
  return g;
}

}  // namespace support
