#include "dem/distance.h"

#include <bit>
#include <cstddef>
#include <limits>

namespace torvanelle::dem {
namespace {

constexpr float infinity = std::numeric_limits<float>::infinity();

/// Along each column of [first, last), the squared distance to the nearest set pixel of that
/// column and its label: a scan down the rows and one back up, row after row so that memory is
/// read in order. Between the two, `squared` holds the row of the nearest set pixel above, its
/// bits as an int's.
void column_pass(const std::vector<std::uint8_t>& source, int rows, int cols, int first, int last,
                 std::vector<float>& squared, std::vector<std::uint8_t>& label) {
  const auto at = [cols](int i, int j) {
    return static_cast<std::size_t>(i) * static_cast<std::size_t>(cols) +
           static_cast<std::size_t>(j);
  };
  const std::size_t width = static_cast<std::size_t>(last - first);
  std::vector<int> above(width, -1);
  std::vector<int> below(width, -1);
  for (int i = 0; i < rows; ++i) {
    for (int j = first; j < last; ++j) {
      const std::size_t c = static_cast<std::size_t>(j - first);
      if (source[at(i, j)] != no_label) above[c] = i;
      squared[at(i, j)] = std::bit_cast<float>(above[c]);
    }
  }
  for (int i = rows - 1; i >= 0; --i) {
    for (int j = first; j < last; ++j) {
      const std::size_t c = static_cast<std::size_t>(j - first);
      if (source[at(i, j)] != no_label) below[c] = i;
      const int up = std::bit_cast<int>(squared[at(i, j)]);
      const int next = below[c];
      const int near = (up < 0) ? next : (next < 0 || i - up <= next - i) ? up : next;
      if (near < 0) {
        squared[at(i, j)] = infinity;
        label[at(i, j)] = no_label;
        continue;
      }
      const float d = static_cast<float>(i - near);
      squared[at(i, j)] = d * d;
      label[at(i, j)] = source[at(near, j)];
    }
  }
}

/// The working space of one row's lower envelope.
struct Envelope {
  std::vector<int> apex;      // columns of the parabolas on the envelope
  std::vector<float> from;    // where each starts to be lowest
  std::vector<float> height;  // the row's input, kept while the row is overwritten
  std::vector<std::uint8_t> label;
};

/// One row: d(q) = min over p of (q - p)² + f(p), the label carried from the minimising p.
void row_pass(float* f, std::uint8_t* label, int cols, Envelope& e) {
  e.height.assign(f, f + cols);
  e.label.assign(label, label + cols);
  int k = -1;
  for (int q = 0; q < cols; ++q) {
    if (e.height[static_cast<std::size_t>(q)] == infinity) continue;
    float s = -infinity;
    while (k >= 0) {
      const int p = e.apex[static_cast<std::size_t>(k)];
      const float fp = e.height[static_cast<std::size_t>(p)];
      const float fq = e.height[static_cast<std::size_t>(q)];
      // In double: q² + f(q) runs past a float's exact integers on wide rasters.
      s = static_cast<float>(
          ((fq + static_cast<double>(q) * q) - (fp + static_cast<double>(p) * p)) /
          (2.0 * (q - p)));
      if (s > e.from[static_cast<std::size_t>(k)]) break;
      --k;
    }
    ++k;
    e.apex[static_cast<std::size_t>(k)] = q;
    e.from[static_cast<std::size_t>(k)] = k == 0 ? -infinity : s;
  }
  if (k < 0) return;  // no set pixel in this row's reach: stays infinite
  int v = 0;
  for (int q = 0; q < cols; ++q) {
    while (v < k && e.from[static_cast<std::size_t>(v) + 1] < static_cast<float>(q))
      ++v;
    const int p = e.apex[static_cast<std::size_t>(v)];
    const float d = static_cast<float>(q - p);
    f[q] = d * d + e.height[static_cast<std::size_t>(p)];
    label[q] = e.label[static_cast<std::size_t>(p)];
  }
}

}  // namespace

void distance_transform(const std::vector<std::uint8_t>& source, int rows, int cols,
                        std::vector<float>& squared, std::vector<std::uint8_t>& nearest_label) {
  const std::size_t n = static_cast<std::size_t>(rows) * static_cast<std::size_t>(cols);
  squared.resize(n);
  nearest_label.resize(n);
  column_pass(source, rows, cols, 0, cols, squared, nearest_label);
  Envelope e;
  e.apex.resize(static_cast<std::size_t>(cols));
  e.from.resize(static_cast<std::size_t>(cols));
  for (int i = 0; i < rows; ++i) {
    const std::size_t start = static_cast<std::size_t>(i) * static_cast<std::size_t>(cols);
    row_pass(squared.data() + start, nearest_label.data() + start, cols, e);
  }
}

}  // namespace torvanelle::dem
