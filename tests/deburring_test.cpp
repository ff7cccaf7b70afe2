// The treatment stage: the thinning's report, the deburring question and the deburring.
#include "app/treatment.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "devtools/random_raster.h"
#include "devtools/support.h"
#include "io/console.h"

namespace {

using support::Picture;

using support::said::deburring_line;
using support::said::header;
using support::said::mods;
using support::said::progress;
using support::said::total;
const std::string& prompt = support::said::deburring_prompt;

/// What the console says when it turns `word` down as an answer.
std::string rejection(const std::string& word) {
  std::ostringstream out;
  std::int32_t ignored = 0;
  EXPECT_FALSE(torvanelle::parse_number(word, out, ignored));
  return out.str();
}

std::string end_of_input() {
  std::ostringstream out;
  torvanelle::say_end_of_input(out);
  return out.str();
}

struct Treated {
  torvanelle::Flow flow;
  std::int32_t ebarb;
  model::Grid out;
  std::string transcript;
};

Treated treat(const model::Grid& in, const std::string& answers) {
  support::Loaded loaded(in);
  std::istringstream answer_stream(answers);
  std::ostringstream out;
  const torvanelle::Flow flow = torvanelle::treatment(loaded.st, answer_stream, out);
  return {flow, loaded.st.ebarb, loaded.tab_out(), out.str()};
}

struct Example {
  const char* name;
  Picture in;
  std::string answers;
  Picture out;
  std::string transcript;
  std::int32_t ebarb;
};

const Picture hanging = {".........", ".1111111.", "....1....",
                         "....1....", "....1....", "........."};
const Picture hanging_thinned = {".........", ".111.111.", "....1....",
                                 "....1....", "....1....", "........."};
const Picture ring = {".......", "..111..", ".1...1.", ".1...1.", "..111..", "......."};

// Each raster goes through the thinning, then the question, then the deburring if asked for.
const std::vector<Example> examples = {
    {"HorizontalLineKeepsOnlyItsLastPixel",
     {".......", ".11111.", "......."},
     "0",
     {".......", ".....1.", "......."},
     total(1) + header(1) + prompt + deburring_line + progress(1),
     0},
    {"HangingBranchLosesItsBottomPixelAndTheLineGoesFromTheLeft",
     hanging,
     "0",
     {".........", ".....11..", "....1....", "....1....", ".........", "........."},
     total(1) + header(1) + mods(1) + prompt + deburring_line + progress(1),
     0},
    {"RisingBranchGoesUntilAPixelWithTwoNeighbours",
     {".........", "....1....", "....1....", "....1....", ".111.111.", "........."},
     "0",
     {".........", ".........", ".........", "....1....", ".....11..", "........."},
     total(1) + header(1) + prompt + deburring_line + progress(1),
     0},
    {"ClosedRingIsUnchanged", ring, "0", ring,
     total(1) + header(1) + prompt + deburring_line + progress(1), 0},
    {"AnswersAboveOneAskAgainAndOneMeansNo", hanging, "5 3 1", hanging_thinned,
     total(1) + header(1) + mods(1) + prompt + prompt + prompt, 1},
    {"NegativeAnswerMeansNo", hanging, "-2", hanging_thinned,
     total(1) + header(1) + mods(1) + prompt, -2},
    {"EveryNumberOfTheSpanGetsAProgressLine",
     {".....", ".2...", ".....", "...5.", "....."},
     "0",
     {".....", ".2...", ".....", "...5.", "....."},
     total(4) + header(2) + header(3) + header(4) + header(5) + prompt + deburring_line +
         progress(2) + progress(3) + progress(4) + progress(5),
     0},
    {"EndPixelsOnTheBorderAreNeverVisited",
     {"1....", ".1...", "..1..", "...1.", "....1"},
     "0",
     {"1....", ".1...", "..1..", "...1.", "....1"},
     total(1) + header(1) + prompt + deburring_line + progress(1),
     0},
    {"NoContourPixelPrintsNoProgressLine",
     {"...", "...", "..."},
     "0",
     {"...", "...", "..."},
     total(-299) + prompt + deburring_line,
     0},
    {"ANonNumericAnswerIsRejectedAndAskedAgain",
     {".......", ".11111.", "......."},
     "yes 0",
     {".......", ".....1.", "......."},
     total(1) + header(1) + prompt + rejection("yes") + prompt + deburring_line + progress(1),
     0},
    {"ARejectedAnswerAfterATooLargeOneIsAskedAgain",
     {".......", ".11111.", "......."},
     "7 no 1",
     {".......", ".11111.", "......."},
     total(1) + header(1) + prompt + prompt + rejection("no") + prompt,
     1},
};

void PrintTo(const Example& ex, std::ostream* os) { *os << ex.name; }

class Deburring : public ::testing::TestWithParam<Example> {};

TEST_P(Deburring, SurvivorsTranscriptAndAnswer) {
  const Example& ex = GetParam();
  const Treated got = treat(support::grid(ex.in), ex.answers);
  EXPECT_EQ(got.flow, torvanelle::Flow::proceed);
  EXPECT_EQ(support::picture(got.out), ex.out);
  EXPECT_EQ(got.transcript, ex.transcript);
  EXPECT_EQ(got.ebarb, ex.ebarb);
  const model::Deburred expected =
      model::treat(model::thin(support::grid(ex.in)), ex.ebarb == 0 ? 0 : 1);
  EXPECT_EQ(support::picture(expected.out), ex.out) << "the model disagrees";
}

INSTANTIATE_TEST_SUITE_P(WorkedExamples, Deburring, ::testing::ValuesIn(examples),
                         [](const auto& info) { return std::string(info.param.name); });

// Input that runs out at the question stops the run instead of counting as an answer.
TEST(DeburringQuestion, EndOfInputFailsTheStage) {
  const model::Grid in = support::grid({".......", ".11111.", "......."});
  for (const std::string answers : {"", "  \n", "4", "x"}) {
    const Treated got = treat(in, answers);
    EXPECT_EQ(got.flow, torvanelle::Flow::failed) << '"' << answers << '"';
    EXPECT_TRUE(got.transcript.ends_with(prompt + end_of_input()) ||
                got.transcript.ends_with(prompt + rejection("x") + prompt + end_of_input()))
        << got.transcript;
  }
  EXPECT_EQ(treat(in, "4").transcript, total(1) + header(1) + prompt + prompt + end_of_input());
}

/// The neighbours of (i, j) holding `value` when the scan reaches it: those before it in scan
/// order as the deburring left them, those after it as the thinning left them.
int neighbours_at_turn(const model::Grid& thinned, const model::Grid& deburred, int i, int j,
                       int value) {
  int count = 0;
  for (int di = -1; di <= 1; ++di) {
    for (int dj = -1; dj <= 1; ++dj) {
      if (di == 0 && dj == 0) continue;
      const bool before = di < 0 || (di == 0 && dj < 0);
      if ((before ? deburred : thinned).at(i + di, j + dj) == value) ++count;
    }
  }
  return count;
}

// At a pixel's turn its earlier neighbours have had theirs (they stand as in the result) and its
// later ones have not (they stand as thinned): the pixel goes exactly when one neighbour of its
// own number is left. Nothing else changes.
TEST(DeburringInvariant, RemovesExactlyThePixelsWithOneNeighbourAtTheirTurn) {
  int removed = 0;
  for (std::uint32_t seed = 1; seed <= 300; ++seed) {
    const model::Grid in = support::random_raster(seed);
    const model::Grid thinned = treat(in, "1").out;
    const model::Grid deburred = treat(in, "0").out;
    for (int i = 0; i < in.rows; ++i) {
      for (int j = 0; j < in.cols; ++j) {
        const int before = thinned.at(i, j);
        const int after = deburred.at(i, j);
        ASSERT_TRUE(after == before || after == 255) << "seed " << seed;
        if (before == 255 || i == 0 || j == 0 || i == in.rows - 1 || j == in.cols - 1) {
          ASSERT_EQ(after, before) << "seed " << seed;
          continue;
        }
        const bool one_left = neighbours_at_turn(thinned, deburred, i, j, before) == 1;
        ASSERT_EQ(after == 255, one_left) << "seed " << seed << " at " << i << ',' << j;
        if (after == 255) ++removed;
      }
    }
  }
  EXPECT_GT(removed, 100);
}

}  // namespace
