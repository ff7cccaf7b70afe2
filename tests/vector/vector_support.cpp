#include "vector_support.h"

#include <algorithm>
#include <random>
#include <sstream>

namespace vtest {

using torvanelle::no_line;

Image image(const Picture& picture) {
  const int rows = static_cast<int>(picture.size());
  const int cols = rows == 0 ? 0 : static_cast<int>(picture[0].size());
  Image out(rows, cols);
  for (int i = 0; i < rows; ++i) {
    for (int j = 0; j < cols; ++j) {
      const char c = picture[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)];
      if (c >= '0' && c <= '9') out.at(i, j) = static_cast<std::uint8_t>(c - '0');
      if (c == '#') out.at(i, j) = 254;
    }
  }
  return out;
}

Picture picture(const Image& image) {
  Picture out;
  for (int i = 0; i < image.rows; ++i) {
    std::string row;
    for (int j = 0; j < image.cols; ++j) {
      const int v = image.at(i, j);
      row += v == no_line ? '.' : v == 254 ? '#' : v < 10 ? static_cast<char>('0' + v) : '?';
    }
    out.push_back(row);
  }
  return out;
}

namespace {

int uniform(std::mt19937& gen, int lo, int hi) {
  return lo + static_cast<int>(gen() % static_cast<unsigned>(hi - lo + 1));
}

/// Draws a shape of kind `kind` (1 strokes, 2 rings, 3 discs) of number k.
void draw_shape(Image& im, int kind, std::uint8_t k, std::mt19937& gen) {
  const double ci = uniform(gen, -2, im.rows + 1), cj = uniform(gen, -2, im.cols + 1);
  const double r = uniform(gen, 1, 8), width = uniform(gen, 1, 4);
  const double di = uniform(gen, -10, 10), dj = uniform(gen, -10, 10);
  for (int i = 0; i < im.rows; ++i) {
    for (int j = 0; j < im.cols; ++j) {
      double d = 0;
      if (kind == 1) {  // distance to the segment from the centre along (di, dj)
        const double len2 = di * di + dj * dj;
        double t = len2 == 0 ? 0 : ((i - ci) * di + (j - cj) * dj) / len2;
        t = t < 0 ? 0 : t > 1 ? 1 : t;
        d = std::hypot(i - ci - t * di, j - cj - t * dj) - width / 2;
      } else {
        d = std::hypot(i - ci, j - cj) - r;
        if (kind == 2) d = std::abs(d) - width / 2;
      }
      if (d <= 0) im.at(i, j) = k;
    }
  }
}

}  // namespace

Image random_image(std::uint32_t seed) {
  std::mt19937 gen(seed);
  Image im(uniform(gen, 1, 20), uniform(gen, 1, 20));
  const int kind = static_cast<int>(seed % 4);
  const int numbers = uniform(gen, 1, 3);
  std::vector<std::uint8_t> k;
  for (int n = 0; n < numbers; ++n)
    k.push_back(gen() % 5 == 0 ? 254 : static_cast<std::uint8_t>(uniform(gen, 0, 9)));
  if (kind == 0) {
    const int density = uniform(gen, 20, 80);
    for (std::uint8_t& v : im.px) {
      if (uniform(gen, 1, 100) <= density) v = k[gen() % k.size()];
    }
    return im;
  }
  const int shapes = uniform(gen, 1, 5);
  for (int s = 0; s < shapes; ++s)
    draw_shape(im, kind, k[gen() % k.size()], gen);
  return im;
}

namespace {

/// Counts the pieces of the pixels for which in(i, j) holds, on the raster and a one-pixel frame
/// around it (where `frame` says whether in() holds), with side or also corner neighbours.
template <class In>
int count_pieces(const Image& im, In in, bool frame, bool corners) {
  const int rows = im.rows + 2, cols = im.cols + 2;
  // 1: a pixel of the set not reached yet; plain arrays, so that unoptimised builds stay quick.
  std::vector<char> open(static_cast<std::size_t>(rows * cols));
  for (int i = 0; i < rows; ++i) {
    for (int j = 0; j < cols; ++j) {
      const bool border = i == 0 || j == 0 || i == rows - 1 || j == cols - 1;
      open[static_cast<std::size_t>(i * cols + j)] = border ? frame : in(i - 1, j - 1);
    }
  }
  std::vector<int> todo(open.size());
  int count = 0;
  for (int start = 0; start < rows * cols; ++start) {
    if (!open[static_cast<std::size_t>(start)]) continue;
    ++count;
    open[static_cast<std::size_t>(start)] = 0;
    std::size_t top = 0;
    todo[top++] = start;
    while (top > 0) {
      const int p = todo[--top];
      for (int di = -1; di <= 1; ++di) {
        for (int dj = -1; dj <= 1; ++dj) {
          const int i = p / cols + di, j = p % cols + dj;
          if ((di != 0 && dj != 0 && !corners) || i < 0 || j < 0 || i >= rows || j >= cols)
            continue;
          char& o = open[static_cast<std::size_t>(i * cols + j)];
          if (!o) continue;
          o = 0;
          todo[top++] = i * cols + j;
        }
      }
    }
  }
  return count;
}

/// Whether taking (i, j) away leaves number k with `before` pieces and gaps.
bool simple_here(Image& im, std::uint8_t k, int i, int j, std::pair<int, int> before) {
  im.at(i, j) = no_line;
  const bool same = pieces(im, k) == before.first && gaps(im, k) == before.second;
  im.at(i, j) = k;
  return same;
}

int neighbours_of(const Image& im, int i, int j) {
  int n = 0;
  for (int di = -1; di <= 1; ++di) {
    for (int dj = -1; dj <= 1; ++dj) {
      const int a = i + di, b = j + dj;
      const bool in = a >= 0 && b >= 0 && a < im.rows && b < im.cols;
      n += (di != 0 || dj != 0) && in && im.at(a, b) == im.at(i, j);
    }
  }
  return n;
}

/// One pass of side (di, dj) over number k; returns whether it took a pixel away.
bool literal_pass(Image& im, std::uint8_t k, int di, int dj) {
  std::vector<Pixel> candidates;
  std::pair<int, int> before{pieces(im, k), gaps(im, k)};
  for (int i = 0; i < im.rows; ++i) {
    for (int j = 0; j < im.cols; ++j) {
      if (im.at(i, j) != k) continue;
      const int a = i + di, b = j + dj;
      // The side neighbour must be absent and in the image: edges are not peeled from outside.
      const bool side_absent = a >= 0 && b >= 0 && a < im.rows && b < im.cols && im.at(a, b) != k;
      if (side_absent && neighbours_of(im, i, j) >= 2 && simple_here(im, k, i, j, before))
        candidates.push_back({i, j});
    }
  }
  bool taken = false;
  for (const Pixel p : candidates) {
    if (!simple_here(im, k, p.row, p.col, before)) continue;
    im.at(p.row, p.col) = no_line;
    taken = true;
  }
  return taken;
}

}  // namespace

int pieces(const Image& image, std::uint8_t k) {
  return count_pieces(
      image, [&](int i, int j) { return image.at(i, j) == k; }, false, true);
}

int gaps(const Image& image, std::uint8_t k) {
  return count_pieces(
      image, [&](int i, int j) { return image.at(i, j) != k; }, true, false);
}

Image literal_thinning(const Image& in) {
  Image out = in;
  for (int k = 0; k < 255; ++k) {
    const auto number = static_cast<std::uint8_t>(k);
    if (std::find(in.px.begin(), in.px.end(), number) == in.px.end()) continue;
    for (bool changed = true; changed;) {
      changed = false;
      // North, south, east, west: the side whose neighbour must be absent.
      changed |= literal_pass(out, number, -1, 0);
      changed |= literal_pass(out, number, 1, 0);
      changed |= literal_pass(out, number, 0, 1);
      changed |= literal_pass(out, number, 0, -1);
    }
  }
  return out;
}

std::string describe(const Line& line) {
  std::ostringstream text;
  text << "number " << int{line.number} << ":";
  for (const Pixel p : line.pixels)
    text << " (" << p.row << "," << p.col << ")";
  return text.str();
}

}  // namespace vtest
