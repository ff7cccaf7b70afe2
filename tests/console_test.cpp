#include "io/console.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <utility>

#include "io/questions.h"

namespace {

TEST(Say, FormatsLikePrintf) {
  std::ostringstream out;
  torvanelle::say(out, "\n\t%d LINES %s", -3, "x");
  EXPECT_EQ(out.str(), "\n\t-3 LINES x");
  std::ostringstream long_out;
  torvanelle::say(long_out, "%s!", std::string(5000, 'a').c_str());
  EXPECT_EQ(long_out.str().size(), 5001u) << "long texts are not cut";
}

TEST(ReadWord, ReadsOneWordOfAnyLength) {
  std::istringstream in("  site\r\n" + std::string(300, 'n') + " ");
  std::string word;
  EXPECT_TRUE(torvanelle::read_word(in, word));
  EXPECT_EQ(word, "site");
  EXPECT_TRUE(torvanelle::read_word(in, word));
  EXPECT_EQ(word.size(), 300u);
  EXPECT_FALSE(torvanelle::read_word(in, word));
}

TEST(ParseNumber, AcceptsSignedDecimalIntegersInThirtyTwoBits) {
  std::ostringstream out;
  std::int32_t v = 99;
  const std::pair<const char*, std::int32_t> cases[] = {{"0", 0},
                                                        {"-1", -1},
                                                        {"+7", 7},
                                                        {"2147483647", 2147483647},
                                                        {"-2147483648", -2147483647 - 1},
                                                        {"0012", 12}};
  for (const auto& [word, expected] : cases) {
    EXPECT_TRUE(torvanelle::parse_number(word, out, v)) << word;
    EXPECT_EQ(v, expected);
  }
  EXPECT_EQ(out.str(), "");
}

// Each bad word is consumed, reported, and the question asked again until a number comes.
TEST(Questions, ANumberIsAskedUntilAWholeNumberComes) {
  std::istringstream in("yes 12abc 1.5 - + 99999999999999999999 -2147483649 5 6");
  std::ostringstream out;
  std::int32_t v = 4;
  EXPECT_TRUE(torvanelle::ask_number(in, out, "?", v, [](std::int32_t) { return true; }));
  EXPECT_EQ(v, 5);
  const std::string said = out.str();
  EXPECT_EQ(std::count(said.begin(), said.end(), '?'), 8) << said;
  EXPECT_NE(said.find("\n\t\"yes\" is not a whole number"), std::string::npos) << said;
  EXPECT_NE(said.find("\n\t99999999999999999999 is too large"), std::string::npos) << said;
  EXPECT_NE(said.find("\n\t-2147483649 is too small"), std::string::npos) << said;
  std::string rest;
  in >> rest;
  EXPECT_EQ(rest, "6") << "nothing beyond the answer is read";
}

// A number outside the range the question allows is refused without a word: the question
// printed again says what is expected. The value changes only when an answer is taken.
TEST(Questions, OutsideItsRangeTheQuestionIsPrintedAgain) {
  std::istringstream in("2 -1 1");
  std::ostringstream out;
  std::int32_t v = 7;
  EXPECT_TRUE(torvanelle::ask_number_between(in, out, "[0 or 1] ", v, 0, 1));
  EXPECT_EQ(v, 1);
  EXPECT_EQ(out.str(), "[0 or 1] [0 or 1] [0 or 1] ");
  std::istringstream ends("2");
  v = 7;
  EXPECT_FALSE(torvanelle::ask_number_between(ends, out, "?", v, 0, 1));
  EXPECT_EQ(v, 7) << "a refused answer is not kept";
}

TEST(Questions, ANameIsAskedUntilAUsableOneComes) {
  std::istringstream in(std::string("a\0b longer fine", 15));
  std::ostringstream out;
  std::string name;
  const auto short_enough = [&out](const std::string& word) {
    if (word.size() <= 4) return true;
    out << "[too long]";
    return false;
  };
  EXPECT_TRUE(torvanelle::ask_name(in, out, "?", name, short_enough));
  EXPECT_EQ(name, "fine");
  EXPECT_EQ(out.str(), "?\n\tA name cannot hold a NUL byte: another name is expected ?[too long]?");
  EXPECT_FALSE(torvanelle::ask_name(in, out, "?", name, short_enough)) << "input has ended";
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
