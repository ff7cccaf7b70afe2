#include "dem/distance.h"

#include <algorithm>
#include <cstddef>
#include <limits>

#include "base/together.h"

namespace torvanelle::dem {
namespace {

constexpr float infinity = std::numeric_limits<float>::infinity();

/// Whether where two parabolas of a row cross, as a fraction of whole numbers, and the products
/// that compare two such fractions stay within 64-bit integers on a rows × cols grid: heights
/// below rows², q² below cols², denominators below 2 cols.
bool fits_64_bits(int rows, int cols) {
  const double lift = static_cast<double>(rows) * rows + static_cast<double>(cols) * cols;
  return 2 * lift * 2 * cols < 0x1p62;
}
constexpr int parities = 2;

bool in_set(std::uint8_t v, int parity) { return v != no_label && v % 2 == parity; }

/// For each band of rows, parity and column, the row of the nearest set pixel above the band
/// and of the nearest one below it, -1 for none: what the column pass of a band starts from.
class BandBounds {
 public:
  BandBounds(const std::vector<std::uint8_t>& source, int rows, int cols, int band_rows)
      : cols_(static_cast<std::size_t>(cols)),
        above_(entries(rows, band_rows)),
        below_(entries(rows, band_rows)) {
    std::vector<int> last(parities * cols_, -1);
    for (int i = 0; i < rows; ++i) {
      if (i % band_rows == 0)
        std::copy(last.begin(), last.end(), above_.begin() + at(i / band_rows, 0));
      note(source, i, last);
    }
    std::fill(last.begin(), last.end(), -1);
    for (int i = rows - 1; i >= 0; --i) {
      if ((i + 1) % band_rows == 0 || i == rows - 1) {
        std::copy(last.begin(), last.end(), below_.begin() + at(i / band_rows, 0));
      }
      note(source, i, last);
    }
  }

  const int* above(int band, int parity) const { return above_.data() + at(band, parity); }
  const int* below(int band, int parity) const { return below_.data() + at(band, parity); }

 private:
  std::size_t entries(int rows, int band_rows) const {
    return static_cast<std::size_t>((rows + band_rows - 1) / band_rows) * parities * cols_;
  }

  std::size_t at(int band, int parity) const {
    return (static_cast<std::size_t>(band) * parities + static_cast<std::size_t>(parity)) * cols_;
  }

  /// Row i's set pixels as the nearest of their columns so far.
  void note(const std::vector<std::uint8_t>& source, int i, std::vector<int>& nearest) const {
    const std::uint8_t* row = source.data() + static_cast<std::size_t>(i) * cols_;
    for (std::size_t j = 0; j < cols_; ++j) {
      if (row[j] != no_label) nearest[(row[j] % 2) * cols_ + j] = i;
    }
  }

  std::size_t cols_;
  std::vector<int> above_;
  std::vector<int> below_;
};

/// The working space of one band: each parity's column distances and labels for its rows, and
/// one row's lower envelope.
struct Band {
  std::vector<int> up;  // per row and column, the nearest set row above or at it, -1 for none
  NearestRow column[parities];
  NearestRow row[parities];
  std::vector<int> apex;  // columns of the parabolas on the envelope
  // where each starts to be lowest, as a fraction: whole numbers, or doubles on grids too wide
  // for them (some million columns), rounded then as any float comparison would be
  std::vector<std::int64_t> whole_num;
  std::vector<std::int64_t> whole_den;
  std::vector<double> wide_num;
  std::vector<double> wide_den;
};

/// Along each column of rows [first, last), the squared distance to the nearest set pixel of
/// that column and its label: a scan down from the nearest above, then one up from the nearest
/// below.
void column_pass(const std::vector<std::uint8_t>& source, int cols, int first, int last, int parity,
                 const int* above, const int* below, Band& band) {
  const std::size_t width = static_cast<std::size_t>(cols);
  const auto at = [width](int i, std::size_t j) { return static_cast<std::size_t>(i) * width + j; };
  std::vector<int> nearest(above, above + cols);
  for (int i = first; i < last; ++i) {
    for (std::size_t j = 0; j < width; ++j) {
      if (in_set(source[at(i, j)], parity)) nearest[j] = i;
      band.up[at(i - first, j)] = nearest[j];
    }
  }
  nearest.assign(below, below + cols);
  NearestRow& out = band.column[parity];
  for (int i = last - 1; i >= first; --i) {
    for (std::size_t j = 0; j < width; ++j) {
      if (in_set(source[at(i, j)], parity)) nearest[j] = i;
      const int up = band.up[at(i - first, j)];
      const int next = nearest[j];
      const int near = (up < 0) ? next : (next < 0 || i - up <= next - i) ? up : next;
      const std::size_t k = at(i - first, j);
      if (near < 0) {
        out.squared[k] = infinity;
        out.label[k] = no_label;
        continue;
      }
      const float d = static_cast<float>(i - near);
      out.squared[k] = d * d;
      out.label[k] = source[at(near, j)];
    }
  }
}

/// One row: d(q) = min over p of (q - p)² + f(p), the label carried from the minimising p, f
/// and its labels read from `in` at `offset` and the result written to `out`. The heights are
/// whole numbers, so where two parabolas cross is a fraction, compared by products: no division
/// waits in the chain from one column to the next.
template <typename Number>
void row_pass(const NearestRow& in, std::size_t offset, int cols, std::vector<int>& apex,
              std::vector<Number>& from_num, std::vector<Number>& from_den, NearestRow& out) {
  const float* height = in.squared.data() + offset;
  const std::uint8_t* label = in.label.data() + offset;
  std::copy(height, height + cols, out.squared.begin());
  std::copy(label, label + cols, out.label.begin());
  const auto lift = [&](int q) {  // f(q) + q², where the parabola of q stands
    return static_cast<Number>(height[q]) + static_cast<Number>(q) * q;
  };
  int k = -1;
  for (int q = 0; q < cols; ++q) {
    if (height[q] == infinity) continue;
    const Number own = lift(q);
    Number num = 0;
    Number den = 1;
    while (k >= 0) {
      const int p = apex[static_cast<std::size_t>(k)];
      num = own - lift(p);
      den = 2 * static_cast<Number>(q - p);
      // Beyond where the parabola of p starts to be lowest: p stays on the envelope.
      if (k == 0 || num * from_den[static_cast<std::size_t>(k)] >
                        from_num[static_cast<std::size_t>(k)] * den) {
        break;
      }
      --k;
    }
    ++k;
    apex[static_cast<std::size_t>(k)] = q;
    from_num[static_cast<std::size_t>(k)] = num;
    from_den[static_cast<std::size_t>(k)] = den;
  }
  if (k < 0) return;  // no set pixel in this row's reach: stays infinite
  int v = 0;
  for (int q = 0; q < cols; ++q) {
    while (v < k && from_num[static_cast<std::size_t>(v) + 1] <
                        static_cast<Number>(q) * from_den[static_cast<std::size_t>(v) + 1]) {
      ++v;
    }
    const int p = apex[static_cast<std::size_t>(v)];
    const float d = static_cast<float>(q - p);
    out.squared[static_cast<std::size_t>(q)] = d * d + height[p];
    out.label[static_cast<std::size_t>(q)] = label[p];
  }
}

}  // namespace

void nearest_by_parity(const std::vector<std::uint8_t>& source, int rows, int cols,
                       const std::function<void(int, const NearestRow&, const NearestRow&)>& visit,
                       int band_rows) {
  const BandBounds bounds(source, rows, cols, band_rows);
  const int bands = (rows + band_rows - 1) / band_rows;
  const std::size_t width = static_cast<std::size_t>(cols);
  by_halves(bands, source.size(), [&](int first_band, int last_band) {
    Band band;
    band.up.resize(static_cast<std::size_t>(band_rows) * width);
    for (int p = 0; p < parities; ++p) {
      band.column[p].squared.resize(band.up.size());
      band.column[p].label.resize(band.up.size());
      band.row[p].squared.resize(width);
      band.row[p].label.resize(width);
    }
    band.apex.resize(width);
    const bool whole = fits_64_bits(rows, cols);
    if (whole) {
      band.whole_num.resize(width);
      band.whole_den.resize(width);
    } else {
      band.wide_num.resize(width);
      band.wide_den.resize(width);
    }

    for (int b = first_band; b < last_band; ++b) {
      const int first = b * band_rows;
      const int last = std::min(first + band_rows, rows);
      for (int p = 0; p < parities; ++p)
        column_pass(source, cols, first, last, p, bounds.above(b, p), bounds.below(b, p), band);
      for (int i = first; i < last; ++i) {
        const std::size_t offset = static_cast<std::size_t>(i - first) * width;
        for (int p = 0; p < parities; ++p)
          if (whole) {
            row_pass(band.column[p], offset, cols, band.apex, band.whole_num, band.whole_den,
                     band.row[p]);
          } else {
            row_pass(band.column[p], offset, cols, band.apex, band.wide_num, band.wide_den,
                     band.row[p]);
          }
        visit(i, band.row[0], band.row[1]);
      }
    }
  });
}

}  // namespace torvanelle::dem
