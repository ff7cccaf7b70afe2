#include "io/descriptor.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <optional>
#include <string>

namespace {

using Values = std::array<std::int32_t, 6>;

Values values(const torvanelle::Descriptor& st) {
  return {st.nb_lig, st.nb_col, st.type, st.min_al, st.max_al, st.taille_pix};
}

/// A state whose six fields hold -7, so that a field left alone shows.
torvanelle::Descriptor marked() {
  torvanelle::Descriptor st;
  st.nb_lig = st.nb_col = st.type = st.min_al = st.max_al = st.taille_pix = -7;
  return st;
}

/// Reads `text` as a descriptor into `st`; returns the count, what is left unread in `rest` and
/// what stopped the reading in `stopped_at`.
int read_text(const std::string& text, torvanelle::Descriptor& st, std::string* rest = nullptr,
              std::string* stopped_at = nullptr) {
  std::FILE* f = std::tmpfile();
  std::fwrite(text.data(), 1, text.size(), f);
  std::rewind(f);
  const int count = torvanelle::read_descriptor(f, st, stopped_at);
  if (rest != nullptr) {
    rest->clear();
    for (int c = std::fgetc(f); c != EOF; c = std::fgetc(f))
      rest->push_back(static_cast<char>(c));
  }
  std::fclose(f);
  return count;
}

TEST(ReadDescriptor, AnyWhiteSpaceSeparatesTheSixValues) {
  for (const char* text :
       {"400\n600\n1\n0\n255\n10\n", "400 600 1 0 255 10", "400\r\n600\r\n1\r\n0\r\n255\r\n10\r\n",
        " \t400\n\n\t600 \v1\f0 255\r10"}) {
    torvanelle::Descriptor st = marked();
    EXPECT_EQ(read_text(text, st), 6) << text;
    EXPECT_EQ(values(st), (Values{400, 600, 1, 0, 255, 10})) << text;
  }
}

// An old output descriptor reads as an input descriptor: reading ends at the sixth integer.
TEST(ReadDescriptor, StopsAfterTheSixthValue) {
  torvanelle::Descriptor st = marked();
  std::string rest;
  const std::string trailer = "\n\n input image : C:\\images\\site\\dem1.raw \n\n\t\t\t\tx\n";
  EXPECT_EQ(read_text("4\n5\n1\n0\n255\n10\n7 8 9" + trailer, st, &rest), 6);
  EXPECT_EQ(values(st), (Values{4, 5, 1, 0, 255, 10}));
  EXPECT_EQ(rest, "\n7 8 9" + trailer);
}

TEST(ReadDescriptor, SignsAndThirtyTwoBitBounds) {
  torvanelle::Descriptor st = marked();
  EXPECT_EQ(read_text("-2147483648 +2147483647 -0 007 -12 +3", st), 6);
  EXPECT_EQ(values(st), (Values{-2147483647 - 1, 2147483647, 0, 7, -12, 3}));
}

// Whatever is not an integer within 32 bits ends the reading; the fields after keep their
// values, and no text, however long its digits run, is undefined behaviour.
TEST(ReadDescriptor, StopsAtTheFirstFieldThatIsNotAThirtyTwoBitInteger) {
  struct Case {
    const char* text;
    int count;
    Values after;
  };
  const Case cases[] = {
      {"", 0, {-7, -7, -7, -7, -7, -7}},
      {"4 5 x 1", 2, {4, 5, -7, -7, -7, -7}},
      {"4 99999999999999999999 1 0 255 10", 1, {4, -7, -7, -7, -7, -7}},
      {"4 5 2147483648", 2, {4, 5, -7, -7, -7, -7}},
      {"4 -2147483649", 1, {4, -7, -7, -7, -7, -7}},
      {"4 5 1.5 0", 3, {4, 5, 1, -7, -7, -7}},
      {"12abc", 1, {12, -7, -7, -7, -7, -7}},
      {"- 4", 0, {-7, -7, -7, -7, -7, -7}},
      {"4 5\n", 2, {4, 5, -7, -7, -7, -7}},
  };
  for (const Case& c : cases) {
    torvanelle::Descriptor st = marked();
    EXPECT_EQ(read_text(c.text, st), c.count) << c.text;
    EXPECT_EQ(values(st), c.after) << c.text;
  }
}

// A message about a descriptor shows what stopped the reading: the word, at most 60 bytes of it.
TEST(ReadDescriptor, TellsWhatStoppedIt) {
  struct Case {
    std::string text;
    int count;
    std::string stopped_at;
  };
  const Case cases[] = {
      {"", 0, ""},
      {" \r\n\t", 0, ""},
      {"lines 400", 0, "lines"},
      {"0x190\n0x258", 1, "x190"},
      {"400\n", 1, ""},
      {"4 99999999999999999999 1", 1, "99999999999999999999"},
      {"4 5 " + std::string(100, 'w'), 2, std::string(60, 'w')},
      {"\xEF\xBB"
       "x 400 600",
       0, "\xEF\xBBx"},  // the start of a byte order mark only
      {"4 5 1 0 255 10 more", 6, ""},
  };
  for (const Case& c : cases) {
    torvanelle::Descriptor st = marked();
    std::string stopped_at = "unchanged";
    EXPECT_EQ(read_text(c.text, st, nullptr, &stopped_at), c.count) << c.text;
    EXPECT_EQ(stopped_at, c.stopped_at) << c.text;
  }
}

// Some Windows editors begin a text file with a UTF-8 byte order mark; it is not part of the
// first number.
TEST(ReadDescriptor, SkipsAByteOrderMark) {
  torvanelle::Descriptor st = marked();
  EXPECT_EQ(read_text("\xEF\xBB\xBF"
                      "400\r\n600\r\n1\r\n0\r\n255\r\n10\r\n",
                      st),
            6);
  EXPECT_EQ(values(st), (Values{400, 600, 1, 0, 255, 10}));
  torvanelle::Descriptor later = marked();
  EXPECT_EQ(read_text("400 \xEF\xBB\xBF"
                      "600",
                      later),
            1)
      << "only at the start";
}

TEST(WriteDescriptor, SixLinesThatReadBackTheSame) {
  torvanelle::Descriptor st;
  st.nb_lig = 400;
  st.nb_col = 600;
  st.type = -1;
  st.min_al = 0;
  st.max_al = 255;
  st.taille_pix = -2147483647 - 1;
  std::FILE* f = std::tmpfile();
  ASSERT_TRUE(torvanelle::write_descriptor(f, st));
  std::rewind(f);
  char text[64] = {};
  const std::size_t size = std::fread(text, 1, sizeof text - 1, f);
  EXPECT_EQ(std::string(text, size), "400\n600\n-1\n0\n255\n-2147483648\n");
  std::fclose(f);
  torvanelle::Descriptor back = marked();
  EXPECT_EQ(read_text(text, back), 6);
  EXPECT_EQ(values(back), values(st));
}

TEST(Trailer, NamesTheInputAsTheProgramWroteIt) {
  std::FILE* f = std::tmpfile();
  ASSERT_TRUE(torvanelle::write_trailer_input(f, "C:\\images\\site\\dem1.raw"));
  std::rewind(f);
  char text[64] = {};
  const std::size_t size = std::fread(text, 1, sizeof text - 1, f);
  std::fclose(f);
  EXPECT_EQ(std::string(text, size), "\n input image : C:\\images\\site\\dem1.raw ");
  const std::string written = "400\n600\n1\n0\n255\n10\n" + std::string(text, size) +
                              "\n\n Ebarbulation treatment\n\n\t\t\t\tContour lines thinned by "
                              "Torvanelle\n";
  EXPECT_EQ(torvanelle::trailer_input_image(written), "C:\\images\\site\\dem1.raw");
  EXPECT_EQ(
      torvanelle::trailer_input_image("1\r\n2\r\n\r\n input image : C:\\images\\a\\b.raw \r\n"),
      "C:\\images\\a\\b.raw");
  EXPECT_EQ(torvanelle::trailer_input_image("400\n600\n1\n0\n255\n10\n"), std::nullopt);
  EXPECT_EQ(torvanelle::trailer_input_image("\n input image :  \n"), std::nullopt);
}

TEST(SizeFault, UsableAndUnusableSizes) {
  struct Case {
    std::int32_t nb_lig, nb_col;
    bool usable;
  };
  const Case cases[] = {
      {0, 0, true},          // the empty image
      {0, 600, true},        //
      {1, 1, true},          //
      {400, 600, true},      //
      {65536, 65536, true},  // 12 GiB in all: large, but a process may address it
      {0, -1, false},        // negative columns, even without lines
      {-1, 0, false},        //
      {-1, 5, false},        //
      {1, 0, false},         // lines without columns
      {2147483647, 2147483647, false},
      {2147483647, 20000, true},  // 3 * (2^31 - 1) * (20000 + 8) bytes < 2^47
      {2147483647, 30000, false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(torvanelle::size_fault(c.nb_lig, c.nb_col) == nullptr, c.usable)
        << c.nb_lig << " x " << c.nb_col;
}

// What a run takes is more than its pixels: every row is an allocation of its own, with a
// pointer in its table. A run on 20,000,000 lines of 1 column was measured at 2.3 GB, where
// its pixels are 60 MB.
TEST(RunBytes, CountsRowsAsWellAsPixels) {
  EXPECT_EQ(torvanelle::run_bytes(0, 600), 0u);
  const std::uint64_t tall = torvanelle::run_bytes(20'000'000, 1);
  EXPECT_GE(tall, 2'300'000'000u);
  EXPECT_LE(tall, 3'000'000'000u);
  // A large square image: three rasters and a bit per pixel, within 1%.
  const double square = static_cast<double>(torvanelle::run_bytes(10'000, 10'000));
  EXPECT_NEAR(square / 3.125e8, 1.0, 0.01);
  const std::uint64_t memory = std::uint64_t{24} << 30;
  EXPECT_TRUE(torvanelle::beyond_memory(2147483647, 1, memory));
  EXPECT_FALSE(torvanelle::beyond_memory(2147483647, 1, 0)) << "memory unknown: nothing refused";
  EXPECT_FALSE(torvanelle::beyond_memory(4000, 4000, memory));
}

}  // namespace
