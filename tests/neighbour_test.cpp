#include "cleaning/neighbour.h"

#include <gtest/gtest.h>

#include <bit>
#include <vector>

#include "devtools/model/literal_model.h"
#include "devtools/support.h"

namespace {

using torvanelle::ico;
using torvanelle::removal;
using torvanelle::single_neighbour;

TEST(RemovalSet, IsTheCodesWhoseTwoOrThreeNeighboursHangTogether) {
  for (int code = 0; code < 256; ++code) {
    EXPECT_EQ(removal[code], model::hangs_together(code)) << "code " << code;
  }
}

TEST(RemovalSet, IsTheThirtyTwoListedCodes) {
  const std::vector<int> listed = {3,   6,   7,   10,  11,  12,  14,  24,  26,  28,  40,
                                   42,  44,  48,  56,  96,  104, 112, 129, 130, 131, 134,
                                   138, 160, 161, 162, 168, 176, 192, 193, 194, 224};
  std::vector<int> members;
  for (int code = 0; code < 256; ++code) {
    if (removal[code]) members.push_back(code);
  }
  EXPECT_EQ(members, listed);
  // A pixel inside a line, north and south or east and west, stays.
  EXPECT_FALSE(removal[34]);
  EXPECT_FALSE(removal[136]);
}

TEST(SingleNeighbour, IsExactlyTheEightOneBitCodes) {
  for (int code = 0; code < 256; ++code) {
    EXPECT_EQ(single_neighbour(static_cast<std::uint8_t>(code)), std::popcount(unsigned(code)) == 1)
        << "code " << code;
  }
}

// One present neighbour at each position in turn: the bits run clockwise from the north-west.
TEST(Ico, ReadsTheNeighboursClockwiseFromTheNorthWest) {
  const std::vector<std::vector<std::string>> pictures = {
      {"1..", ".1.", "..."}, {".1.", ".1.", "..."}, {"..1", ".1.", "..."}, {"...", ".11", "..."},
      {"...", ".1.", "..1"}, {"...", ".1.", ".1."}, {"...", ".1.", "1.."}, {"...", "11.", "..."},
  };
  for (std::size_t n = 0; n < pictures.size(); ++n) {
    support::Loaded loaded(support::grid(pictures[n]));
    EXPECT_EQ(ico(loaded.st.tab_in.get(), 1, 1), 1 << n) << "neighbour " << n;
  }
  // Only the centre's own value counts: other numbers and the background add nothing.
  support::Loaded mixed(support::grid({"131", "121", "1.3"}));
  EXPECT_EQ(ico(mixed.st.tab_in.get(), 1, 1), 0);
  support::Loaded full(support::grid({"222", "222", "222"}));
  EXPECT_EQ(ico(full.st.tab_in.get(), 1, 1), 255);
}

}  // namespace
