#include "cleaning/thinning.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "devtools/support.h"

namespace {

using support::Picture;

using support::said::header;
using support::said::mods;
using support::said::total;

struct Example {
  const char* name;
  Picture in;
  Picture out;
  std::string transcript;
};

// Small rasters whose thinning is worked out by hand: which pixels survive and what is printed.
const std::vector<Example> examples = {
    {"OnePixelRingIsLeftUntouched",
     {".......", "..111..", ".1...1.", ".1...1.", "..111..", "......."},
     {".......", "..111..", ".1...1.", ".1...1.", "..111..", "......."},
     total(1) + header(1)},
    {"TwoByTwoBlockLosesItsTopRow",
     {"......", ".11...", ".11...", "......"},
     {"......", "......", ".11...", "......"},
     total(1) + header(1) + mods(2)},
    {"ThickBandShrinksOverFourScans",
     {"........", ".111111.", ".111111.", ".111111.", "........"},
     {"........", "........", "...11...", "........", "........"},
     total(1) + header(1) + mods(4) + mods(4) + mods(6) + mods(2)},
    {"TJunctionLosesItsJunctionPixel",
     {".........", ".1111111.", "....1....", "....1....", "....1....", "........."},
     {".........", ".111.111.", "....1....", "....1....", "....1....", "........."},
     total(1) + header(1) + mods(1)},
    {"SolidBlockLosesOnlyItsCorners",
     {"........", "........", "..1111..", "..1111..", "..1111..", "..1111..", "........",
      "........"},
     {"........", "........", "...11...", "..1111..", "..1111..", "...11...", "........",
      "........"},
     total(1) + header(1) + mods(4)},
    {"SquareRingIsRounded",
     {".......", ".55555.", ".5...5.", ".5...5.", ".55555.", "......."},
     {".......", "..555..", ".5...5.", ".5...5.", "..555..", "......."},
     total(1) + header(5) + mods(4)},
    {"SpurAboveTheLineGoes",
     {".........", "....1....", ".1111111.", ".........", "........."},
     {".........", ".........", ".1111111.", ".........", "........."},
     total(1) + header(1) + mods(1)},
    {"SpurBelowTheLineStaysAndTheLinePixelAboveItGoes",
     {".........", ".........", ".1111111.", "....1....", "........."},
     {".........", ".........", ".111.111.", "....1....", "........."},
     total(1) + header(1) + mods(1)},
    {"AbsentNumbersOfTheSpanGetAHeaderAndNothingElse",
     {".....", ".2...", ".....", "...5.", "....."},
     {".....", ".2...", ".....", "...5.", "....."},
     total(4) + header(2) + header(3) + header(4) + header(5)},
    {"NoContourPixelPrintsMinus299",
     {"....", "....", "...."},
     {"....", "....", "...."},
     total(-299)},
    {"EmptyRasterPrintsMinus299", {}, {}, total(-299)},
    {"UnderThreeRowsIsCopiedUnchanged",
     {"33333", "33.33"},
     {"33333", "33.33"},
     total(1) + header(3)},
    {"UnderThreeColumnsIsCopiedUnchanged",
     {"00", "00", "00", "00"},
     {"00", "00", "00", "00"},
     total(1) + header(0)},
    {"LineAlongTheTopRowIsCopiedUnchanged",
     {"111111", "......", "......", "......"},
     {"111111", "......", "......", "......"},
     total(1) + header(1)},
    {"BorderPixelsCountAsNeighbours",
     {"11111", "..1..", ".....", "....."},
     {"11111", ".....", ".....", "....."},
     total(1) + header(1) + mods(1)},
    {"HighestNumberBelowBackground",
     {"...", ".#.", "..."},
     {"...", ".#.", "..."},
     total(1) + header(254)},
};

void PrintTo(const Example& ex, std::ostream* os) { *os << ex.name; }

class Thinning : public ::testing::TestWithParam<Example> {};

TEST_P(Thinning, SurvivorsAndTranscript) {
  const Example& ex = GetParam();
  const model::Grid in = support::grid(ex.in);
  const support::Cleaned cleaned = support::clean(in, false);
  EXPECT_EQ(support::picture(cleaned.thinned), ex.out);
  EXPECT_EQ(cleaned.thinning_report, ex.transcript);
  EXPECT_EQ(support::picture(model::thin(in).out), ex.out) << "the model disagrees";
}

INSTANTIATE_TEST_SUITE_P(WorkedExamples, Thinning, ::testing::ValuesIn(examples),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ThinningSpan, IsTheLowestAndHighestNumber) {
  support::Loaded loaded(support::grid({"7.3", "...", "9.."}));
  const torvanelle::Span span = torvanelle::contour_span(loaded.st.tab_in.get(), 3, 3);
  EXPECT_EQ(span.minval, 3);
  EXPECT_EQ(span.maxval, 9);
  EXPECT_FALSE(span.empty());
  support::Loaded none(support::grid({"...", "..."}));
  EXPECT_TRUE(torvanelle::contour_span(none.st.tab_in.get(), 2, 3).empty());
}

TEST(ThinningSpan, TheInputIsLeftAsItWas) {
  const model::Grid in =
      support::grid({"........", ".111111.", ".111111.", ".111111.", "........"});
  support::Loaded loaded(in);
  torvanelle::thinning(loaded.st.tab_in.get(), loaded.st.tab_out.get(), in.rows, in.cols);
  model::Grid after(in.rows, in.cols, 0);
  for (int i = 0; i < in.rows; ++i) {
    for (int j = 0; j < in.cols; ++j)
      after.at(i, j) = loaded.st.tab_in[i][j];
  }
  EXPECT_EQ(after, in);
}

// Each number is thinned as if the others were absent, even where lines of two numbers touch.
TEST(ThinningSpan, TouchingNumbersAreThinnedAsIfAlone) {
  const support::Picture both = {"........", ".111111.", ".111111.",
                                 ".222222.", ".222222.", "........"};
  const model::Grid together = support::clean(support::grid(both), false).thinned;

  model::Grid expected = support::grid(both);
  for (int number : {1, 2}) {
    model::Grid alone = support::grid(both);
    for (int& v : alone.px) {
      if (v != number) v = 255;
    }
    const model::Grid thinned = support::clean(alone, false).thinned;
    for (std::size_t p = 0; p < expected.px.size(); ++p) {
      if (expected.px[p] == number) expected.px[p] = thinned.px[p];
    }
  }
  EXPECT_EQ(support::picture(together), support::picture(expected));
}

}  // namespace
