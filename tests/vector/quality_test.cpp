// How well the vectoriser finds contour lines that are known exactly: a smooth synthetic terrain,
// its contour bands drawn 1 to 5 pixels wide so that neighbouring numbers touch on steep slopes,
// and its true lines by marching squares (devtools/contour_field.h).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <unordered_map>

#include "devtools/contour_field.h"
#include "devtools/line_metrics.h"
#include "vector/vectorise.h"

namespace {

using field::Polyline;

/// What the quality test measures.
struct Figures {
  int true_lines = 0;
  int true_closed = 0;
  int lines = 0;
  double accuracy = 0;  ///< share of the lines' length within 2 px of their number's true line
  double coverage = 0;  ///< share of the true lines' length within 2 px of a line of its number
  int closed_back = 0;  ///< closed true lines found as one closed line covering 99% of them
  double extra_pieces() const { return static_cast<double>(lines - true_lines) / true_lines; }
};

Figures measure(const std::vector<Polyline>& truth, const std::vector<Polyline>& out) {
  Figures f;
  const field::SegmentIndex true_index(truth, 4), out_index(out, 4);
  field::Closeness accuracy, coverage;
  for (const Polyline& line : out) {
    const field::Closeness c = field::closeness(line, true_index, 2);
    accuracy.total += c.total;
    accuracy.within += c.within;
  }
  for (const Polyline& t : truth) {
    const field::Closeness c = field::closeness(t, out_index, 2);
    coverage.total += c.total;
    coverage.within += c.within;
    f.true_closed += t.closed();
    f.closed_back += t.closed() && field::comes_back_closed(t, out, out_index);
  }
  f.true_lines = static_cast<int>(truth.size());
  f.lines = static_cast<int>(out.size());
  f.accuracy = accuracy.fraction();
  f.coverage = coverage.fraction();
  return f;
}

void print(const char* what, const Figures& f) {
  std::printf(
      "%s: %d true lines (%d closed), %d lines (%+.1f%%); within 2 px: %.2f%% of the lines' "
      "length, %.2f%% of the true length covered; closed contours closed: %d of %d\n",
      what, f.true_lines, f.true_closed, f.lines, 100 * f.extra_pieces(), 100 * f.accuracy,
      100 * f.coverage, f.closed_back, f.true_closed);
}

class Quality : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    terrain_ = new field::Terrain(field::test_terrain());
    bands_ = new torvanelle::Image(field::draw_bands(*terrain_));
    truth_ = new std::vector<Polyline>(field::true_lines(*terrain_));
  }
  static void TearDownTestSuite() {
    delete terrain_;
    delete bands_;
    delete truth_;
  }

  static void expect_good(const Figures& f) {
    EXPECT_GE(f.accuracy, 0.99);
    EXPECT_GE(f.coverage, 0.99);
    EXPECT_GE(f.lines, f.true_lines);
    EXPECT_LE(f.extra_pieces(), 0.02);
    EXPECT_EQ(f.closed_back, f.true_closed);
  }

  static field::Terrain* terrain_;
  static torvanelle::Image* bands_;
  static std::vector<Polyline>* truth_;
};

field::Terrain* Quality::terrain_ = nullptr;
torvanelle::Image* Quality::bands_ = nullptr;
std::vector<Polyline>* Quality::truth_ = nullptr;

// The measures are only as good as the terrain: bands of every width from 1 to 5 pixels, many
// pixels touching another number, open lines and many closed ones.
TEST_F(Quality, TerrainHasTouchingBandsOpenAndClosedLines) {
  long line = 0, touching = 0;
  for (int i = 1; i + 1 < bands_->rows; ++i) {
    for (int j = 1; j + 1 < bands_->cols; ++j) {
      const std::uint8_t k = bands_->at(i, j);
      if (k == torvanelle::no_line) continue;
      ++line;
      bool other = false;
      for (int di = -1; di <= 1; ++di) {
        for (int dj = -1; dj <= 1; ++dj) {
          const std::uint8_t v = bands_->at(i + di, j + dj);
          other = other || (v != k && v != torvanelle::no_line);
        }
      }
      touching += other;
    }
  }
  std::printf("terrain: %ld line pixels, %.1f%% of them touching another number\n", line,
              100.0 * touching / line);
  EXPECT_GE(touching, line / 10);
  int closed = 0;
  for (const Polyline& t : *truth_)
    closed += t.closed();
  EXPECT_GE(closed, 50);
  EXPECT_GE(static_cast<int>(truth_->size()) - closed, 10);
}

TEST_F(Quality, LinesFollowTheTrueContoursOnePiecePerLine) {
  const Figures f = measure(*truth_, field::polylines(torvanelle::vect::vectorise(*bands_, {})));
  print("smooth bands", f);
  expect_good(f);
}

// One-pixel bumps on a fifth of the bands' edge pixels: the thinning must not grow spurs from
// them that split lines into pieces.
TEST_F(Quality, RaggedEdgesChangeNothing) {
  torvanelle::Image ragged = *bands_;
  field::roughen(ragged, 7, 0.2);
  const Figures f = measure(*truth_, field::polylines(torvanelle::vect::vectorise(ragged, {})));
  print("ragged bands", f);
  expect_good(f);
}

// Label gaps of 8 to 30 pixels, about one every 400 pixels of line. The thinned ends stand back
// about half a band's width from the gap, so bridges of up to 36 pixels span them: the lines
// come back whole but for a few gaps, and a closed contour whose gap the straight bridge cuts
// across by more than 2 px no longer counts as found closed. Without bridges the gaps stay open.
TEST_F(Quality, LabelGapsAreBridged) {
  torvanelle::Image gapped = *bands_;
  const std::vector<field::Gap> gaps = field::cut_gaps(gapped, *truth_, 5, 400);
  torvanelle::vect::Options bridged;
  bridged.bridge = 36;
  torvanelle::vect::Counts counts;
  const Figures f =
      measure(*truth_, field::polylines(torvanelle::vect::vectorise(gapped, bridged, &counts)));
  print("gapped bands, bridges of 36 px", f);
  std::printf("%zu gaps, %d bridges\n", gaps.size(), counts.bridges);
  EXPECT_GE(gaps.size(), 100u);
  EXPECT_GE(counts.bridges, static_cast<int>(gaps.size() * 85 / 100));
  EXPECT_GE(f.accuracy, 0.99);
  EXPECT_GE(f.coverage, 0.99);
  EXPECT_LE(std::abs(f.extra_pieces()), 0.02);
  EXPECT_GE(f.closed_back, f.true_closed * 8 / 10);
  const Figures open = measure(*truth_, field::polylines(torvanelle::vect::vectorise(gapped, {})));
  print("gapped bands, no bridges", open);
  EXPECT_GT(open.extra_pieces(), 0.2);
}

// The same measures fail a skeleton of the bands with their numbers merged, each line then given
// the number most of its pixels held: the measures can tell a good vectoriser from a bad one.
TEST_F(Quality, MergedNumbersFailTheMeasures) {
  torvanelle::Image merged = *bands_;
  for (std::uint8_t& v : merged.px) {
    if (v != torvanelle::no_line) v = 0;
  }
  std::vector<torvanelle::vect::Line> lines = torvanelle::vect::vectorise(merged, {});
  for (torvanelle::vect::Line& line : lines) {
    std::map<int, int> votes;
    for (const torvanelle::vect::Pixel p : line.pixels)
      ++votes[bands_->at(p.row, p.col)];
    int best = 0;
    for (const auto& [k, n] : votes) {
      if (n > votes[best]) best = k;
    }
    line.number = static_cast<std::uint8_t>(best);
  }
  const Figures f = measure(*truth_, field::polylines(lines));
  print("merged numbers", f);
  EXPECT_TRUE(f.extra_pieces() > 0.02 || f.closed_back < f.true_closed || f.accuracy < 0.99);
}

}  // namespace
