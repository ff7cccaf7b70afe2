#include "vector/skeleton.h"

#include <array>
#include <vector>

#include "cleaning/revisits.h"
#include "cleaning/scan.h"
#include "vector/steps.h"

// The thinning follows Rosenfeld's scheme of four passes per round, one for each border side
// (A. Rosenfeld, "A characterization of parallel thinning algorithms", Information and Control
// 29, 1975): in the pass of side s, the pixels whose s neighbour is absent, which are simple for
// 8-connected lines on a 4-connected background and which are not line ends (one neighbour),
// are taken away. Rosenfeld takes them away all at once, every condition read as the pass
// starts. Here too the conditions are read as the pass starts, but the pixels gathered are then
// taken away one at a time in scan order, each only if it is still simple against what the ones
// before it left.
//
// Reading "not a line end" as the pass starts matters: a one-pixel bump on a band's edge loses
// the pixels beside it during the pass and would turn into a line end, and a line end kept there
// grows into a spur as the band is peeled away beneath it. Gathered while it still had its
// neighbours, it goes with them. The price is that a line end that is two pixels thick may lose
// a pixel or two, as a band's free end does anyway.
//
// Why this one rather than a fully parallel scheme (Zhang-Suen 1984, Guo-Hall 1989): a deletion
// that is checked on the current pixels is a deletion of a simple point, and a simple point's
// deletion preserves the topology by definition; so no piece breaks, no two pieces merge and no
// hole opens or closes, with no case analysis of what parallel deletions do together (Zhang-Suen
// wipes out 2x2 squares and two-pixel-thick diagonals). Deleting one pixel at a time is also how
// the cleaning's worklists work. Taking the border side from the start of the pass peels one layer
// per pass, so that the line stays in the middle of its band; and since a staircase corner is a
// simple point, the result has no staircases to clean up.
//
// A pixel on the image's edge is never peeled from the edge's side: a line that runs off the image
// keeps reaching its edge, where the next sheet's line goes on, and a line along the edge is
// thinned onto it rather than away from it.
//
// As in the cleaning, a pixel's code counts only the neighbours holding its own number, and a
// deleted pixel becomes background, which no number matches: every number is thinned at once,
// each as if alone.

namespace torvanelle::vect {
namespace {

/// Whether ring positions a and b are adjacent: sharing a side when `four`, else also a corner.
constexpr bool adjacent(int a, int b, bool four) {
  const int dr = steps[a].drow - steps[b].drow;
  const int dc = steps[a].dcol - steps[b].dcol;
  const int taxicab = (dr < 0 ? -dr : dr) + (dc < 0 ? -dc : dc);
  return taxicab == 1 || (!four && taxicab == 2 && dr != 0 && dc != 0);
}

/// The number of groups of adjacent ring positions among those of `members` that hold a
/// position of `counted`.
constexpr int groups(std::uint8_t members, bool four, std::uint8_t counted) {
  int count = 0;
  std::uint8_t seen = 0;
  for (int start = 0; start < 8; ++start) {
    if (!((members >> start) & 1) || ((seen >> start) & 1)) continue;
    std::uint8_t group = static_cast<std::uint8_t>(1 << start);
    for (bool grew = true; grew;) {
      grew = false;
      for (int a = 0; a < 8; ++a) {
        for (int b = 0; b < 8; ++b) {
          const bool joins = ((group >> a) & 1) && ((members >> b) & 1) && !((group >> b) & 1);
          if (joins && adjacent(a, b, four)) {
            group = static_cast<std::uint8_t>(group | (1 << b));
            grew = true;
          }
        }
      }
    }
    seen = static_cast<std::uint8_t>(seen | group);
    if (group & counted) ++count;
  }
  return count;
}

constexpr bool is_simple(std::uint8_t code) {
  const auto sides = static_cast<std::uint8_t>(north | east | south | west);
  return groups(code, false, 0xFF) == 1 &&
         groups(static_cast<std::uint8_t>(~code), true, sides) == 1;
}

}  // namespace

constexpr CodeSet simple = [] {
  CodeSet set{};
  for (int code = 0; code < 256; ++code)
    set[static_cast<std::size_t>(code)] = is_simple(static_cast<std::uint8_t>(code));
  return set;
}();

constexpr std::array<CodeSet, 4> thinnable = [] {
  std::array<CodeSet, 4> sets{};
  for (std::size_t s = 0; s < 4; ++s) {
    for (unsigned code = 0; code < 256; ++code)
      sets[s][code] = (code & pass_sides[s]) == 0 && simple[code] && !single_neighbour(code);
  }
  return sets;
}();

namespace {

class Thinning {
 public:
  explicit Thinning(Framed& image)
      : img_(image),
        due_{Revisits(rows(), cols()), Revisits(rows(), cols()), Revisits(rows(), cols()),
             Revisits(rows(), cols())} {}

  /// One round of the four passes; the first round looks at every pixel, later ones only at
  /// those whose neighbourhood changed since they were last looked at in a pass of the same
  /// side (the others would be left as they are). Returns whether a pixel was taken away.
  bool round(bool first) {
    bool changed = false;
    for (std::size_t side = 0; side < 4; ++side) {
      candidates_.clear();
      if (first) {
        gather_all(side);
      } else {
        gather_due(side);
      }
      changed |= take_candidates();
    }
    return changed;
  }

 private:
  int rows() const { return img_.rows() + 2; }
  int cols() const { return img_.cols() + 2; }

  /// Whether the neighbour of (i, j) on `side` lies in the image rather than in the frame.
  bool inward(std::size_t side, int i, int j) const {
    switch (side) {
      case 0:
        return i > 1;
      case 1:
        return i < img_.rows();
      case 2:
        return j < img_.cols();
      default:
        return j > 1;
    }
  }

  void gather_all(std::size_t side) {
    for_each_pixel_coded_in(img_.raster(), rows(), cols(), thinnable[side], [&](int i, int j) {
      if (inward(side, i, j)) candidates_.push_back({i, j});
    });
  }

  void gather_due(std::size_t side) {
    for (int i = 1; i <= img_.rows(); ++i) {
      const std::uint8_t* row = img_.row(i);
      due_[side].sweep(i, [&](int j) {
        if (row[j] != no_line && thinnable[side][img_.code(i, j)] && inward(side, i, j))
          candidates_.push_back({i, j});
      });
    }
  }

  /// Takes the candidates away in scan order, each if it is still simple.
  bool take_candidates() {
    bool taken = false;
    for (const Pixel p : candidates_) {
      if (!simple[img_.code(p.row, p.col)]) continue;
      take(p.row, p.col);
      taken = true;
    }
    return taken;
  }

  /// Takes the pixel (i, j) away: its neighbours of the same number are due in every side.
  void take(int i, int j) {
    std::uint8_t* row = img_.row(i);
    const std::uint8_t k = row[j];
    row[j] = no_line;
    for (const Step s : steps) {
      if (img_.row(i + s.drow)[j + s.dcol] != k) continue;
      for (Revisits& due : due_)
        due.mark(i + s.drow, j + s.dcol);
    }
  }

  Framed& img_;
  std::array<Revisits, 4> due_;  ///< per side: the pixels to look at in its next pass
  std::vector<Pixel> candidates_;
};

}  // namespace

int thin(Framed& image, const Progress& progress) {
  Thinning thinning(image);
  int rounds = 0;
  double left = 1;
  while (thinning.round(rounds == 0)) {
    ++rounds;
    left /= 2;
    progress.at(1 - left);
  }
  progress.at(1);
  return rounds;
}

Image skeleton(const Image& image) {
  Framed framed(image);
  thin(framed);
  return framed.image();
}

}  // namespace torvanelle::vect
