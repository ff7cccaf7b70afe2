#include "devtools/terrain.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <random>

namespace terrain {
namespace {

// Uniform float in [-1, 1) from the generator's raw output: the standard distributions may
// differ between libraries, the engine's sequence does not.
float signed_unit(std::mt19937& gen) { return static_cast<float>(gen() >> 8) / 8388608.0f - 1.0f; }

// Uniform integer in [0, n), n < 2^32.
std::size_t below(std::mt19937& gen, std::size_t n) {
  return static_cast<std::size_t>((std::uint64_t{gen()} * n) >> 32);
}

// A pixel position in lattice units; pixel -1 lands at least one cell inside the lattice.
float lattice_pos(int pixel, float cell) { return (static_cast<float>(pixel) + 1.5f) / cell + 1; }

// One octave of smooth noise over pixels -1..rows by -1..cols: random lattice values every
// `cell` pixels, interpolated in both directions.
class Octave {
 public:
  Octave(int rows, int cols, float cell, float amplitude, std::mt19937& gen)
      : cell_(cell), amp_(amplitude) {
    lat_cols_ = static_cast<int>(lattice_pos(cols, cell)) + 3;
    const int lat_rows = static_cast<int>(lattice_pos(rows, cell)) + 3;
    lattice_.resize(static_cast<std::size_t>(lat_rows) * lat_cols_);
    for (float& v : lattice_)
      v = signed_unit(gen);
    for (int x = -1; x <= cols; ++x) {
      const float u = lattice_pos(x, cell);
      const int base = static_cast<int>(u);
      col_first_.push_back(base - 1);
      col_w_.push_back(catmull_rom(u - static_cast<float>(base)));
    }
    mix_.resize(static_cast<std::size_t>(lat_cols_));
  }

  // Adds the octave's row y to out[x + 1], x = -1..cols.
  void add_row(int y, std::vector<float>& out) {
    const float v = lattice_pos(y, cell_);
    const int base = static_cast<int>(v);
    const std::array<float, 4> wy = catmull_rom(v - static_cast<float>(base));
    const float* r = &lattice_[static_cast<std::size_t>(base - 1) * lat_cols_];
    for (int i = 0; i < lat_cols_; ++i) {
      mix_[i] = amp_ * (wy[0] * r[i] + wy[1] * r[i + lat_cols_] + wy[2] * r[i + 2 * lat_cols_] +
                        wy[3] * r[i + 3 * lat_cols_]);
    }
    for (std::size_t j = 0; j < out.size(); ++j) {
      const float* m = &mix_[col_first_[j]];
      const std::array<float, 4>& w = col_w_[j];
      out[j] += w[0] * m[0] + w[1] * m[1] + w[2] * m[2] + w[3] * m[3];
    }
  }

 private:
  float cell_, amp_;
  int lat_cols_;
  std::vector<float> lattice_;
  std::vector<int> col_first_;  // per column -1..cols: the first of its four lattice columns
  std::vector<std::array<float, 4>> col_w_;
  std::vector<float> mix_;  // the lattice columns interpolated at the current row
};

// A sum of octaves, each half the cell and half the amplitude of the one before.
class Noise {
 public:
  Noise(int rows, int cols, float first_cell, float last_cell, std::mt19937& gen) : cols_(cols) {
    float amp = 1;
    for (float cell = first_cell; cell >= last_cell; cell /= 2, amp /= 2) {
      octaves_.emplace_back(rows, cols, cell, amp, gen);
    }
  }

  // out[x + 1] = the value at (y, x), x = -1..cols.
  void row(int y, std::vector<float>& out) {
    out.assign(static_cast<std::size_t>(cols_) + 2, 0.0f);
    for (Octave& o : octaves_)
      o.add_row(y, out);
  }

 private:
  int cols_;
  std::vector<Octave> octaves_;
};

// Elevation: broad hills and valleys, then finer relief. The cube stretches the high ground and
// the deep valleys, so steep slopes with crowded lines alternate with gentle ones.
class Elevation {
 public:
  Elevation(int rows, int cols, std::mt19937& gen)
      : noise_(rows, cols, static_cast<float>(std::max(rows, cols)) / 2.5f, 24.0f, gen) {}

  void row(int y, std::vector<float>& out) {
    noise_.row(y, out);
    for (float& v : out)
      v += 0.6f * v * v * v;
  }

 private:
  Noise noise_;
};

// Lowest and highest elevation, looked at on every fourth row: levels are spread over this
// range, and the few pixels beyond it belong to the outermost levels.
std::pair<float, float> elevation_range(Elevation& elev, int rows) {
  std::vector<float> row;
  float lo = 0, hi = 0;
  bool first = true;
  for (int y = 0; y < rows + 3; y += 4) {
    elev.row(std::min(y, rows - 1), row);
    const auto [mn, mx] = std::minmax_element(row.begin() + 1, row.end() - 1);
    lo = first ? *mn : std::min(lo, *mn);
    hi = first ? *mx : std::max(hi, *mx);
    first = false;
  }
  return {lo, hi};
}

// A fixed pseudo-random value in [-1, 1) per pixel, for the ragged line edges.
float pixel_jitter(std::uint32_t seed, int y, int x) {
  std::uint32_t h = seed * 0x9E3779B9u ^ static_cast<std::uint32_t>(y) * 0x85EBCA6Bu ^
                    static_cast<std::uint32_t>(x) * 0xC2B2AE35u;
  h ^= h >> 16;
  h *= 0x7FEB352Du;
  h ^= h >> 15;
  h *= 0x846CA68Bu;
  h ^= h >> 16;
  return static_cast<float>(h >> 8) / 8388608.0f - 1.0f;
}

struct Levels {
  float lo, step;
  int count, index_every;
};

// Line widths: a slowly varying choice between the narrowest and widest ordinary width; index
// lines one pixel wider. Everything stays within min_width..max_width.
struct Widths {
  float base, spread, index_extra;
};

// The rows y-1, y, y+1 of the elevation, sliding down the raster.
struct Window {
  std::vector<float> above, here, below;
};

// Draws row y: a pixel takes the level nearest its elevation when its distance to that level's
// line, elevation gap over slope, is under half the line width.
void draw_row(int y, const Window& w, const std::vector<float>& width_noise, const Levels& lv,
              const Widths& wd, std::uint32_t seed, std::uint8_t* out, int cols) {
  for (int x = 0; x < cols; ++x) {
    const std::size_t j = static_cast<std::size_t>(x) + 1;
    const float f = w.here[j];
    const int k = std::clamp(static_cast<int>(std::floor((f - lv.lo) / lv.step)), 0, lv.count - 1);
    const float gap = std::abs(f - (lv.lo + (static_cast<float>(k) + 0.5f) * lv.step));
    const float gx = 0.5f * (w.here[j + 1] - w.here[j - 1]);
    const float gy = 0.5f * (w.below[j] - w.above[j]);
    const float slope = std::sqrt(gx * gx + gy * gy);
    const float s = std::clamp(0.5f + 0.8f * width_noise[j], 0.0f, 1.0f);
    const bool index = lv.index_every > 0 && k % lv.index_every == 0;
    const float width = wd.base + wd.spread * s + (index ? wd.index_extra : 0.0f);
    const float half = 0.5f * width + 0.3f * pixel_jitter(seed, y, x);
    if (gap < half * slope) out[x] = static_cast<std::uint8_t>(k);
  }
}

bool inside(const Options& o, int y, int x) { return y >= 0 && x >= 0 && y < o.rows && x < o.cols; }

// Tries to stick one pixel on the line through a random pixel, in a random direction, so that it
// sticks out: every neighbour on its far side is background, no other number touches it.
bool add_spur(const Options& o, std::vector<std::uint8_t>& r, std::mt19937& gen) {
  const std::size_t n = r.size();
  std::size_t q = below(gen, n);
  const int dir = static_cast<int>(below(gen, 8));
  static constexpr int dy[8] = {-1, -1, 0, 1, 1, 1, 0, -1}, dx[8] = {0, 1, 1, 1, 0, -1, -1, -1};
  const std::uint8_t k = r[q];
  if (k == 255) return false;
  int y = static_cast<int>(q / o.cols), x = static_cast<int>(q % o.cols);
  for (int step = 0; step < 8 && inside(o, y, x) && r[y * std::size_t(o.cols) + x] == k; ++step) {
    y += dy[dir];
    x += dx[dir];
  }
  if (y < 1 || x < 1 || y > o.rows - 2 || x > o.cols - 2) return false;
  if (r[y * std::size_t(o.cols) + x] != 255) return false;
  for (int i = 0; i < 8; ++i) {
    const std::uint8_t v = r[(y + dy[i]) * std::size_t(o.cols) + x + dx[i]];
    const bool far_side = dy[i] * dy[dir] + dx[i] * dx[dir] >= 0;
    if (v != 255 && (v != k || far_side)) return false;
  }
  r[y * std::size_t(o.cols) + x] = k;
  return true;
}

}  // namespace

std::vector<std::uint8_t> contour_raster(const Options& opt) {
  if (opt.rows <= 0 || opt.cols <= 0) return {};
  Options o = opt;
  o.levels = std::clamp(o.levels, 1, 255);
  o.min_width = std::max(o.min_width, 1);
  o.max_width = std::max(o.max_width, o.min_width);
  std::vector<std::uint8_t> r(static_cast<std::size_t>(o.rows) * o.cols, 255);

  std::mt19937 gen(o.seed);
  Elevation elev(o.rows, o.cols, gen);
  Noise width_noise(o.rows, o.cols, 150.0f, 150.0f, gen);
  const auto [lo, hi] = elevation_range(elev, o.rows);
  const Levels lv{lo, std::max(hi - lo, 1e-6f) / static_cast<float>(o.levels), o.levels,
                  o.index_every};
  const bool thicker_index = o.index_every > 0 && o.max_width > o.min_width;
  const float extra = thicker_index ? 1.0f : 0.0f;
  const Widths wd{static_cast<float>(o.min_width),
                  static_cast<float>(o.max_width - o.min_width) - extra, extra};

  Window w;
  std::vector<float> wn;
  elev.row(-1, w.here);
  elev.row(0, w.below);
  for (int y = 0; y < o.rows; ++y) {
    std::swap(w.above, w.here);
    std::swap(w.here, w.below);
    elev.row(y + 1, w.below);
    width_noise.row(y, wn);
    draw_row(y, w, wn, lv, wd, o.seed, &r[static_cast<std::size_t>(y) * o.cols], o.cols);
  }

  const auto spurs =
      static_cast<long>(o.spurs_per_megapixel * static_cast<double>(r.size()) / 1e6 + 0.5);
  for (long made = 0, tries = 0; made < spurs && tries < 100 * spurs; ++tries) {
    if (add_spur(o, r, gen)) ++made;
  }
  return r;
}

}  // namespace terrain
