#include "io/console.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

using torvanelle::Read;

TEST(Say, FormatsLikePrintf) {
  std::ostringstream out;
  torvanelle::say(out, "\n\t%d LINES %s", -3, "x");
  EXPECT_EQ(out.str(), "\n\t-3 LINES x");
  std::ostringstream long_out;
  torvanelle::say(long_out, "%s!", std::string(5000, 'a').c_str());
  EXPECT_EQ(long_out.str().size(), 5001u) << "long texts are not cut";
}

TEST(ReadName, ReadsOneWordOfAnyLength) {
  std::istringstream in("  site\r\n" + std::string(300, 'n') + " ");
  std::string name;
  EXPECT_EQ(torvanelle::read_name(in, name), Read::ok);
  EXPECT_EQ(name, "site");
  EXPECT_EQ(torvanelle::read_name(in, name), Read::ok);
  EXPECT_EQ(name.size(), 300u);
  EXPECT_EQ(torvanelle::read_name(in, name), Read::end);
}

TEST(ReadNumber, AcceptsSignedDecimalIntegersInThirtyTwoBits) {
  std::istringstream in("0 -1 +7 2147483647 -2147483648 0012");
  std::ostringstream out;
  std::int32_t v = 99;
  for (std::int32_t expected : {0, -1, 7, 2147483647, -2147483647 - 1, 12}) {
    ASSERT_EQ(torvanelle::read_number(in, out, v), Read::ok);
    EXPECT_EQ(v, expected);
  }
  EXPECT_EQ(torvanelle::read_number(in, out, v), Read::end);
  EXPECT_EQ(v, 12) << "the end of input leaves the value as it was";
  EXPECT_EQ(out.str(), "");
}

// Each bad word is consumed, reported, and leaves the value unchanged; the next word is read.
TEST(ReadNumber, RejectsAndConsumesAnythingElse) {
  std::istringstream in("yes 12abc 1.5 - + 99999999999999999999 -2147483649 5");
  std::ostringstream out;
  std::int32_t v = 4;
  for (int bad = 0; bad < 7; ++bad) {
    ASSERT_EQ(torvanelle::read_number(in, out, v), Read::rejected) << "word " << bad;
    EXPECT_EQ(v, 4);
  }
  EXPECT_EQ(torvanelle::read_number(in, out, v), Read::ok);
  EXPECT_EQ(v, 5);
  const std::string said = out.str();
  EXPECT_NE(said.find("\n\t\"yes\" is not a whole number"), std::string::npos) << said;
  EXPECT_NE(said.find("\n\t99999999999999999999 is too large"), std::string::npos) << said;
  EXPECT_NE(said.find("\n\t-2147483649 is too small"), std::string::npos) << said;
}

// A refused word is echoed whole when short, else cut within 60 bytes, never inside a UTF-8
// character, and followed by "..."; control bytes show as '?'.
TEST(Shown, CutsLongWordsAtACharacterBoundary) {
  EXPECT_EQ(torvanelle::shown("dem1"), "dem1");
  EXPECT_EQ(torvanelle::shown(std::string(60, 'x')), std::string(60, 'x'));
  EXPECT_EQ(torvanelle::shown(std::string(61, 'x')), std::string(60, 'x') + "...");
  // 59 bytes, then a 2-byte character that would end at byte 61.
  const std::string accented = std::string(59, 'x') + "\xC3\xA9" + "yz";
  EXPECT_EQ(torvanelle::shown(accented), std::string(59, 'x') + "...");
  EXPECT_EQ(torvanelle::shown("a\x1b[2Jb\x7f"), "a?[2Jb?");
}

}  // namespace
