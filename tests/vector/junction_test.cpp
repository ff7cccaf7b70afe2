// The joiner's steps, each on a small junction graph built by hand; then small exact cases of what
// the vectoriser makes of junctions, holes, gaps and specks: how many lines, how many closed, how
// many joins by bridges, how many lines left out; and for every case, every line simple and no two
// lines sharing more than one pixel.
#include "vector/junctions.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>
#include <string>
#include <utility>

#include "dem/dem.h"
#include "devtools/contour_field.h"
#include "devtools/line_metrics.h"
#include "vector/vectorise.h"
#include "vector_support.h"

namespace {

using torvanelle::vect::close_eyes;
using torvanelle::vect::contract_links;
using torvanelle::vect::group_of;
using torvanelle::vect::junction_graph;
using torvanelle::vect::JunctionGraph;
using torvanelle::vect::Line;
using torvanelle::vect::no_junction;
using torvanelle::vect::pair_ends;
using torvanelle::vect::Pixel;
using torvanelle::vect::prune_branches;
using torvanelle::vect::Run;
using torvanelle::vect::run_end;
using vtest::describe;

constexpr int end_pixel = no_junction;

/// A run of a hand-built graph: the junctions at its two ends (`end_pixel` for none), its free
/// pixels and, for the pairing, the way it leaves junction `a`: from its centre to `to`.
struct RunSpec {
  int a;
  int b;
  int free = 10;
  Pixel to{};
};

/// A graph of `junctions` junctions, each centred on (10, 10 + 2 x its number), and `runs`.
JunctionGraph graph(std::size_t junctions, const std::vector<RunSpec>& runs) {
  std::vector<Line> centres;
  for (std::size_t c = 0; c < junctions; ++c)
    centres.push_back(Line{1, {{10, 10 + 2 * static_cast<int>(c)}}});
  std::vector<Run> out;
  for (const RunSpec& r : runs) {
    const Pixel from = centres[static_cast<std::size_t>(r.a)].pixels[0];
    out.push_back(Run{Line{1, {from, r.to}}, {r.a, r.b}, r.free});
  }
  return junction_graph(std::move(out), std::move(centres));
}

std::vector<Line> lines_of(const vtest::Picture& p, int min_branch = 3) {
  return torvanelle::vect::vectorise(vtest::image(p), {min_branch, 0});
}

std::vector<Pixel> pixels(std::initializer_list<std::pair<int, int>> rc) {
  std::vector<Pixel> out;
  for (const auto& [r, c] : rc)
    out.push_back({r, c});
  return out;
}

struct PruneCase {
  std::string name;
  std::vector<RunSpec> runs;
  std::vector<bool> pruned;
};

// At min_branch 3, the branches of junction 0 (and the link to junction 1) that go or stay.
TEST(PruneBranches, ShortestBranchesGoWhileThreeRunsMeet) {
  const std::vector<PruneCase> cases = {
      {"spur off a line going on",
       {{0, end_pixel}, {0, end_pixel}, {0, end_pixel, 2}},
       {false, false, true}},
      {"two spurs at a crossing",
       {{0, end_pixel}, {0, end_pixel, 2}, {0, end_pixel}, {0, end_pixel, 1}},
       {false, true, false, true}},
      {"frayed end: every branch but the line goes",
       {{0, 1}, {0, end_pixel, 1}, {0, end_pixel, 2}},
       {false, true, true}},
      {"star of short branches: the shortest goes, two stay",
       {{0, end_pixel, 2}, {0, end_pixel, 1}, {0, end_pixel, 2}},
       {false, true, false}},
      {"a branch of min_branch pixels stays",
       {{0, end_pixel}, {0, end_pixel}, {0, end_pixel, 3}},
       {false, false, false}},
      {"a short run between two junctions is no branch",
       {{0, end_pixel}, {0, end_pixel}, {0, 1, 1}},
       {false, false, false}},
  };
  for (const PruneCase& c : cases) {
    SCOPED_TRACE(c.name);
    JunctionGraph g = graph(2, c.runs);
    prune_branches(g, 3);
    EXPECT_EQ(g.pruned, c.pruned);
  }
}

TEST(PruneBranches, ShortBranchIsPrunedAndTheLineGoesOnThroughTheJunction) {
  const vtest::Picture t = {".........", ".1111111.", "....1....",
                            "....1....", "....1....", "........."};
  const auto pruned = lines_of(t);
  ASSERT_EQ(pruned.size(), 1u);
  EXPECT_EQ(pruned[0].pixels, pixels({{1, 1}, {1, 2}, {1, 3}, {2, 4}, {1, 5}, {1, 6}, {1, 7}}));
  EXPECT_EQ(lines_of(t, 2).size(), 3u) << "a branch of two pixels stays at --min-branch 2";
}

TEST(CloseEyes, PinholeInABandIsTracedThroughOneSide) {
  const auto lines =
      lines_of({"............", ".1111111111.", ".11111.1111.", ".1111111111.", "............"});
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(
      lines[0].pixels,
      pixels({{2, 1}, {2, 2}, {2, 3}, {2, 4}, {2, 5}, {1, 6}, {2, 7}, {2, 8}, {2, 9}, {2, 10}}));
  EXPECT_EQ(
      lines_of({"............", ".1111111111.", ".11111.1111.", ".1111111111.", "............"}, 0)
          .size(),
      4u)
      << "without pruning, the eye's two sides are lines of their own";
}

// Two short spurs make the ring two short runs between two junctions, like an eye; but no line
// goes on from the junctions once the spurs are pruned, so it stays a ring.
TEST(CloseEyes, SmallRingWithTwoSpursStaysClosed) {
  const auto lines =
      lines_of({"..........", "....1.....", "....1.....", "..1111....", ".1....1...", ".1....1...",
                "..1111....", "....1.....", "....1.....", ".........."});
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_TRUE(lines[0].closed()) << describe(lines[0]);
}

// With eyes of fewer than 6 free pixels (min_branch 3), between junctions 0 and 1 or off junction
// 0.
TEST(CloseEyes, OnlyTheShortestSideOfAnEyeStays) {
  const std::vector<PruneCase> cases = {
      {"pinhole eye between lines going on",
       {{0, 1, 2}, {0, 1, 1}, {0, end_pixel}, {1, end_pixel}},
       {true, false, false, false}},
      {"ring with nothing going on stays", {{0, 1, 2}, {0, 1, 1}}, {false, false}},
      {"sides of six pixels or more are no eye",
       {{0, 1, 6}, {0, 1, 7}, {0, end_pixel}, {1, end_pixel}},
       {false, false, false, false}},
      {"small loop off a junction keeping two more",
       {{0, 0, 3}, {0, end_pixel}, {0, end_pixel}},
       {true, false, false}},
      {"lasso: the loop at a line's end stays", {{0, 0, 3}, {0, end_pixel}}, {false, false}},
  };
  for (const PruneCase& c : cases) {
    SCOPED_TRACE(c.name);
    JunctionGraph g = graph(2, c.runs);
    close_eyes(g, 6);
    EXPECT_EQ(g.pruned, c.pruned);
  }
}

struct LinkCase {
  std::string name;
  std::vector<RunSpec> runs;
  std::vector<bool> pruned;
  bool one_group;     ///< junctions 0 and 1 one group after
  std::size_t links;  ///< links taken out at junction 0
};

// Links of at most 3 free pixels between junctions 0 and 1.
TEST(ContractLinks, ShortLinkBetweenTwoBusyJunctionsMakesOneGroup) {
  const std::vector<RunSpec> around = {
      {0, end_pixel}, {0, end_pixel}, {1, end_pixel}, {1, end_pixel}};
  const auto with = [&](std::vector<RunSpec> links) {
    links.insert(links.end(), around.begin(), around.end());
    return links;
  };
  const std::vector<LinkCase> cases = {
      {"short link", with({{0, 1, 3}}), {true, false, false, false, false}, true, 1},
      {"link too long", with({{0, 1, 4}}), {false, false, false, false, false}, false, 0},
      {"second way between the same two: pruned, not a link",
       with({{0, 1, 2}, {0, 1, 3}}),
       {true, true, false, false, false, false},
       true,
       1},
      {"junction keeping one more run",
       {{0, 1, 2}, {0, end_pixel}, {1, end_pixel}, {1, end_pixel}},
       {false, false, false, false},
       false,
       0},
  };
  for (const LinkCase& c : cases) {
    SCOPED_TRACE(c.name);
    JunctionGraph g = graph(2, c.runs);
    contract_links(g, 3);
    EXPECT_EQ(g.pruned, c.pruned);
    EXPECT_EQ(group_of(g, 0) == group_of(g, 1), c.one_group);
    EXPECT_EQ(g.links_at[0].size(), c.links);
  }
}

struct PairCase {
  std::string name;
  std::vector<Pixel> leaving;  ///< per run, from junction 0's centre (10, 10)
  std::vector<std::pair<std::size_t, std::size_t>> lines;  ///< the runs paired
};

// The runs leave junction 0 from its centre; which are paired into one line.
TEST(PairEnds, StraightestPairsFirstWithoutCrossing) {
  const std::vector<PairCase> cases = {
      {"two runs make one line, however sharp", {{0, 5}, {5, 0}}, {{0, 1}}},
      {"a true T stays apart", {{0, 5}, {0, -5}, {5, 0}}, {}},
      {"hairpins touching turn back", {{-2, 10}, {-2, -10}, {2, -10}, {2, 10}}, {{0, 1}, {2, 3}}},
      {"saddle X", {{0, 10}, {10, 1}, {0, -10}, {-10, -1}}, {{1, 2}, {0, 3}}},
      {"lines side by side go straight on",
       {{0, 10}, {1, 10}, {0, -10}, {1, -10}},
       {{0, 2}, {1, 3}}},
      {"no crossing and no turn sharper than 150 degrees: one end left",
       {{0, 10}, {1, 10}, {-1, 10}, {0, -10}, {10, 0}},
       {{0, 3}, {1, 4}}},
  };
  for (const PairCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<RunSpec> runs;
    for (const Pixel v : c.leaving)
      runs.push_back({0, end_pixel, 10, {10 + v.row, 10 + v.col}});
    JunctionGraph g = graph(1, runs);
    pair_ends(g);
    std::vector<std::ptrdiff_t> partner(2 * runs.size(), -1);
    for (const auto& [a, b] : c.lines) {
      partner[run_end(a, 0)] = static_cast<std::ptrdiff_t>(run_end(b, 0));
      partner[run_end(b, 0)] = static_cast<std::ptrdiff_t>(run_end(a, 0));
    }
    EXPECT_EQ(g.partner, partner);
    EXPECT_TRUE(g.via.empty());
  }
}

// Two junctions a link apart, each with two runs leaving sideways: the lines pass through the
// group, each through the link.
TEST(PairEnds, LinePairedAcrossAGroupGoesThroughItsLinks) {
  JunctionGraph g = graph(2, {{0, 1, 1, {10, 12}},
                              {0, end_pixel, 10, {7, 0}},
                              {0, end_pixel, 10, {13, 0}},
                              {1, end_pixel, 10, {7, 22}},
                              {1, end_pixel, 10, {13, 22}}});
  g.runs[0].line.pixels = pixels({{10, 10}, {10, 11}, {10, 12}});
  contract_links(g, 3);
  ASSERT_TRUE(g.pruned[0]);
  pair_ends(g);
  EXPECT_EQ(g.partner[run_end(1, 0)], static_cast<std::ptrdiff_t>(run_end(3, 0)));
  EXPECT_EQ(g.partner[run_end(2, 0)], static_cast<std::ptrdiff_t>(run_end(4, 0)));
  EXPECT_EQ(g.via.at(run_end(1, 0)), pixels({{10, 10}, {10, 11}, {10, 12}}));
  EXPECT_EQ(g.via.at(run_end(3, 0)), pixels({{10, 12}, {10, 11}, {10, 10}}));
}

}  // namespace

namespace {

using torvanelle::vect::Counts;
using torvanelle::vect::Line;
using torvanelle::vect::Options;
using vtest::describe;
using vtest::Picture;

/// A horizontal band of number 1, `width` rows by 24 columns, inside a background margin of 2,
/// with a hole of `hole_rows` × `hole_cols` pixels in its middle.
Picture band_with_hole(int width, int hole_rows, int hole_cols) {
  Picture p(static_cast<std::size_t>(width + 4), std::string(28, '.'));
  for (int i = 2; i < width + 2; ++i) {
    for (int j = 2; j < 26; ++j) {
      const bool hole = i - 2 >= (width - hole_rows) / 2 &&
                        i - 2 < (width - hole_rows) / 2 + hole_rows && j >= 13 &&
                        j < 13 + hole_cols;
      p[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)] = hole ? '.' : '1';
    }
  }
  return p;
}

struct Case {
  std::string name;
  Picture picture;
  double bridge;
  std::size_t lines;  ///< lines made
  int closed;         ///< of which closed
  int bridged;        ///< joins by bridges in all lines
  int left_out;       ///< lines left out as shorter than the default minimum length
};

std::vector<Case> cases() {
  std::vector<Case> table = {
      // Two lines of one number crossing like the X of a saddle: two lines meeting at the centre.
      {"saddle X",
       {"1.........1", ".1.......1.", "..1.....1..", "...1...1...", "....1.1....", ".....1.....",
        "....1.1....", "...1...1...", "..1.....1..", ".1.......1.", "1.........1"},
       0,
       2,
       0,
       0,
       0},
      // A hairpin whose arms touch: the line goes down one arm, round and up the other.
      {"band touching itself",
       {"..1......1..", "..1......1..", "...1....1...", "....1..1....", ".....11.....",
        "....1..1....", "...1....1...", "..1......1..", "..1......1..", "...1....1...",
        "....1111....", "............"},
       0,
       1,
       0,
       0,
       0},
      // A stick with a ring at its end: the ring closed, the stick ending on it.
      {"lasso",
       {"............", "....1111....", "...1....1...", "...1....1...", "....1111....",
        ".....1......", ".....1......", ".....1......", ".....1......", "............"},
       0,
       2,
       1,
       0,
       0},
      // A plus of one-pixel strokes with two-pixel arms: the spurs pruned, one line left.
      {"4-way crossing",
       {".......", "...1...", "...1...", ".11111.", "...1...", "...1...", "......."},
       0,
       1,
       0,
       0,
       0},
      // A band broken by a label gap of 10 px: joined with bridges, two pieces without.
      {"gap facing straight, no bridge",
       {"..........................", ".11111111.........1111111.", ".11111111.........1111111.",
        ".........................."},
       0,
       2,
       0,
       0,
       0},
      {"gap facing straight",
       {"..........................", ".11111111.........1111111.", ".11111111.........1111111.",
        ".........................."},
       30,
       1,
       0,
       1,
       0},
      // Two ends side by side, pointing the same way: they do not face each other.
      {"gap whose ends do not face",
       {"....................", ".1111111111.........", "....................",
        "....................", "....................", "....................",
        ".........1111111111.", "...................."},
       30,
       2,
       0,
       0,
       0},
      // Two lines of one number, each with a gap at the same place: each joined to itself.
      {"two gaps side by side",
       {"...........................", ".111111111........11111111.", "...........................",
        "...........................", "...........................", "...........................",
        ".111111111........11111111.", "..........................."},
       30,
       2,
       0,
       2,
       0},
      // A band of another number runs through the gap: no bridge across it.
      {"gap across another number",
       {"............2.............", ".11111111...2.....1111111.", ".11111111...2.....1111111.",
        "............2............."},
       30,
       3,
       0,
       0,
       0},
      // A ring broken once: bridged into a closed line.
      {"broken ring",
       {"..................", "..11111111111111..", ".1..............1.", ".1..............1.",
        ".1..............1.", ".1..............1.", ".1..............1.", "..11111....11111..",
        ".................."},
       30,
       1,
       1,
       1,
       0},
      // Two lines that run off the image side by side are not bridged along its edge.
      {"ends on the image's border",
       {"..............", "..............", "..............", ".1111....1111.", ".1111....1111."},
       30,
       2,
       0,
       0,
       0},
      // Specks: a dot and two pixels make no line.
      {"specks", {".......", ".1.....", ".....2.", ".....2.", "......."}, 0, 0, 0, 0, 2},
  };
  for (const int width : {3, 4, 5}) {
    for (const auto& [rows, cols] : {std::pair{1, 3}, std::pair{2, 2}, std::pair{3, 1}}) {
      if (rows >= width) continue;  // that would cut the band in two
      table.push_back({"hole " + std::to_string(rows) + "x" + std::to_string(cols) + " in band " +
                           std::to_string(width),
                       band_with_hole(width, rows, cols), 0, 1, 0, 0, 0});
    }
  }
  return table;
}

int shared_pixels(const Line& a, const Line& b) {
  std::set<std::pair<int, int>> in_a;
  for (const auto p : a.pixels)
    in_a.insert({p.row, p.col});
  std::set<std::pair<int, int>> both;
  for (const auto p : b.pixels) {
    if (in_a.contains({p.row, p.col})) both.insert({p.row, p.col});
  }
  return static_cast<int>(both.size());
}

TEST(Junctions, SmallCases) {
  for (const Case& c : cases()) {
    SCOPED_TRACE(c.name);
    Options options;
    options.bridge = c.bridge;
    Counts counts;
    const std::vector<Line> lines =
        torvanelle::vect::vectorise(vtest::image(c.picture), options, &counts);
    std::string all;
    for (const Line& line : lines)
      all += describe(line) + "\n";
    EXPECT_EQ(lines.size(), c.lines) << all;
    int closed = 0, bridged = 0;
    for (std::size_t a = 0; a < lines.size(); ++a) {
      closed += lines[a].closed();
      bridged += lines[a].bridged;
      EXPECT_TRUE(field::is_simple(field::polylines({lines[a]})[0])) << describe(lines[a]);
      for (std::size_t b = a + 1; b < lines.size(); ++b)
        EXPECT_LE(shared_pixels(lines[a], lines[b]), 1) << all;
    }
    EXPECT_EQ(closed, c.closed) << all;
    EXPECT_EQ(bridged, c.bridged) << all;
    EXPECT_EQ(counts.bridges, c.bridged);
    EXPECT_EQ(counts.left_out, c.left_out);
  }
}

}  // namespace

namespace {

// On random rasters full of junctions, knots and touching numbers, without bridges, with
// straight ones and with bridges along the ground: every line is simple, and the lines hold
// every bridge made once.
TEST(Junctions, RandomRastersGiveSimpleLines) {
  for (std::uint32_t seed = 0; seed < 2000; ++seed) {
    for (const double bridge : {0.0, 12.0, -12.0}) {
      Options options;
      options.bridge = std::abs(bridge);
      if (bridge < 0) options.ground = torvanelle::dem::ground_in_numbers;
      Counts counts;
      const std::vector<Line> lines =
          torvanelle::vect::vectorise(vtest::random_image(seed), options, &counts);
      int bridged = 0;
      for (const Line& line : lines) {
        bridged += line.bridged;
        ASSERT_TRUE(field::is_simple(field::polylines({line})[0]))
            << "seed " << seed << " bridge " << bridge << " " << describe(line);
      }
      ASSERT_EQ(bridged, counts.bridges) << "seed " << seed;
    }
  }
}

}  // namespace
