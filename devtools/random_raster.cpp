#include "devtools/random_raster.h"

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

namespace support {
namespace {

using Rng = std::mt19937;

int pick(Rng& rng, int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); }

/// A side of at most `most` pixels; 1, 2 and 3 come up one time in ten.
int side(Rng& rng, int most) {
  const int kind = pick(rng, 0, 9);
  if (kind == 0) return pick(rng, 1, 3);
  if (kind <= 3) return pick(rng, 4, 16);
  return pick(rng, 4, most);
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

/// Strokes, blobs, rings and border lines of a few numbers, with scattered noise.
model::Grid shapes(Rng& rng, int rows, int cols, const std::vector<int>& pool, int max_radius) {
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
        blob(g, r, c, pick(rng, 1, max_radius), value);
        break;
      case 3:
        ring(g, r, c, pick(rng, 1, max_radius), pick(rng, 0, 3), value);
        break;
      default:  // a line from a border
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

/// Bands of a terrain-like surface: each pixel takes the number of its height band, so
/// neighbouring numbers touch everywhere; with `gaps`, only the pixels near a band's edge keep
/// their number, giving ragged contour lines one to four pixels thick.
model::Grid bands(Rng& rng, int rows, int cols, bool gaps) {
  // Band b carries the number (first + b * step) mod 255: neighbouring bands may be far apart in
  // number, and the span may reach from 0 to 254.
  const int levels = pick(rng, 2, 255);
  const int first = pick(rng, 0, 254);
  const int step = pick(rng, 0, 1) == 0 ? 1 : pick(rng, 2, 97);
  const double fr = pick(rng, 1, 40) / 200.0;
  const double fc = pick(rng, 1, 40) / 200.0;
  const double phase = pick(rng, 0, 628) / 100.0;
  const double noise = pick(rng, 0, 3) / 10.0;
  const double band = pick(rng, 1, 8) / 3.0;  // pixels per level, roughly
  std::uniform_real_distribution<double> jitter(-noise, noise);
  model::Grid g(rows, cols, 255);
  for (int r = 0; r < rows; ++r) {
    for (int c = 0; c < cols; ++c) {
      const double h = (r * fr + c * fc + std::sin(r * fc + phase) * 2 + std::cos(c * fr) * 2) /
                           (band * (fr + fc)) +
                       jitter(rng);
      const double level = std::fmod(std::fabs(h), static_cast<double>(levels));
      const double into = level - std::floor(level);
      if (gaps && into > pick(rng, 2, 5) / 10.0) continue;
      g.at(r, c) = (first + static_cast<int>(level) * step) % 255;
    }
  }
  return g;
}

/// Lines one to three pixels thick along all four borders, each of its own number or shared.
model::Grid borders(Rng& rng, int rows, int cols, const std::vector<int>& pool) {
  model::Grid g = shapes(rng, rows, cols, pool, 4);
  for (int side = 0; side < 4; ++side) {
    const int value =
        pool[static_cast<std::size_t>(pick(rng, 0, static_cast<int>(pool.size()) - 1))];
    const int width = pick(rng, 1, 3);
    for (int w = 0; w < width; ++w) {
      if (side == 0) stroke(g, w, 0, w, cols - 1, 1, value);
      if (side == 1) stroke(g, rows - 1 - w, 0, rows - 1 - w, cols - 1, 1, value);
      if (side == 2) stroke(g, 0, w, rows - 1, w, 1, value);
      if (side == 3) stroke(g, 0, cols - 1 - w, rows - 1, cols - 1 - w, 1, value);
    }
  }
  return g;
}

}  // namespace

model::Grid random_raster(std::uint32_t seed) {
  Rng rng(seed);
  switch (seed % 8) {
    case 0:  // many numbers, touching everywhere
      return bands(rng, side(rng, 40), side(rng, 40), false);
    case 1:  // contour lines of many numbers
      return bands(rng, side(rng, 48), side(rng, 48), true);
    case 2:  // thick blobs that take dozens of scans, on a larger raster
      return shapes(rng, pick(rng, 40, 96), pick(rng, 40, 96), numbers(rng), 30);
    case 3:
      return borders(rng, side(rng, 32), side(rng, 32), numbers(rng));
    default: {
      const int rows = side(rng, 64);
      const int cols = side(rng, 64);
      return shapes(rng, rows, cols, numbers(rng), 8);
    }
  }
}

}  // namespace support
