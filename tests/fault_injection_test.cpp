// Resources that fail under a run: the input raster shrinking or vanishing after the dialogue
// opened it, and an output raster that cannot be created. A run either goes through on
// a path it defines, saying what it found, or fails with a message and status 1, leaving no
// output behind; it never changes an input.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <sstream>
#include <streambuf>
#include <string>
#include <utility>

#include "app/run.h"
#include "devtools/model/literal_model.h"
#include "devtools/support.h"

namespace {

namespace fs = std::filesystem;
using torvanelle::Flow;

// 4 lines of 5 columns: a thick stroke of number 1 and a corner of number 3.
const std::string raster(
    "\xff\x01\x01\x01\xff\x01\x01\x01\x01\xff\xff\x01\xff\xff\x03"
    "\xff\xff\xff\x03\x03",
    20);
const std::string descriptor = "4\n5\n1\n0\n255\n10\n";

/// Each test runs in a scratch folder whose images root holds site/dem1.raw and dem1.txt.
class UnderTheRun : public ::testing::Test {
 protected:
  static fs::path site() { return support::SiteFolder::site(); }
  static std::string listing() { return support::SiteFolder::listing(); }

  /// What the run writes for the raster file holding `bytes` (missing bytes read as line 0),
  /// thinned without deburring.
  static std::string result_for(const std::string& bytes) {
    model::Grid in(4, 5, 0);
    for (std::size_t p = 0; p < bytes.size() && p < in.px.size(); ++p)
      in.px[p] = static_cast<unsigned char>(bytes[p]);
    const model::Grid out = model::thin(in).out;
    return std::string(out.px.begin(), out.px.end());
  }

 private:
  support::SiteFolder folder_{raster, descriptor};
};

/// Answers served one character at a time; `meanwhile` runs once, when the answer starting at
/// `at` is about to be read: the user is still typing while the files change.
class TypedAnswers : public std::streambuf {
 public:
  TypedAnswers(std::string text, std::size_t at, std::function<void()> meanwhile)
      : text_(std::move(text)), at_(at), meanwhile_(std::move(meanwhile)) {}

 protected:
  int_type underflow() override {
    if (next_ >= text_.size()) return traits_type::eof();
    if (next_ == at_ && meanwhile_) std::exchange(meanwhile_, nullptr)();
    one_ = text_[next_++];
    setg(&one_, &one_, &one_ + 1);
    return traits_type::to_int_type(one_);
  }

 private:
  std::string text_;
  std::size_t at_;
  std::function<void()> meanwhile_;
  std::size_t next_ = 0;
  char one_ = 0;
};

// The raster shrinks while the naming question waits, after the dialogue opened it: what is left
// is no longer the image the dialogue measured, so the run stops rather than thin a torn raster.
TEST_F(UnderTheRun, ARasterThatShrinksAfterOpeningStopsTheRun) {
  const std::string answers = "site dem1 0 1";
  TypedAnswers typed(answers, answers.find(" 0") + 1,
                     [] { fs::resize_file(site() / "dem1.raw", 7); });
  std::istream in(&typed);
  torvanelle::State st;
  std::ostringstream out;
  EXPECT_EQ(torvanelle::run(st, in, out, out), 1);
  EXPECT_TRUE(out.str().ends_with(
      "\n\tLecture \n\tC:\\images\\site\\dem1.raw has changed since it was opened: 20 bytes "
      "then, 7 read now; the run stops \n"))
      << out.str();
  EXPECT_EQ(listing(), "dem1.raw dem1.txt ") << "both outputs are removed";
  EXPECT_EQ(support::read_file(site() / "dem1.raw"), raster.substr(0, 7));
  EXPECT_EQ(support::read_file(site() / "dem1.txt"), descriptor);
}

// On POSIX hosts an open file outlives its name: the raster is read whole, as it was opened.
TEST_F(UnderTheRun, ARasterRemovedAfterOpeningIsStillReadWhole) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows refuses to remove a file that is open";
#endif
  const std::string answers = "site dem1 0 1";
  TypedAnswers typed(answers, answers.find(" 0") + 1, [] { fs::remove(site() / "dem1.raw"); });
  std::istream in(&typed);
  torvanelle::State st;
  std::ostringstream out;
  EXPECT_EQ(torvanelle::run(st, in, out, out), 0);
  EXPECT_NE(out.str().find("\n\tLecture \n\n\tTotal number of contour lines : "), std::string::npos)
      << out.str();
  EXPECT_EQ(support::read_file(site() / "dem1_venc8.raw"), result_for(raster));
  EXPECT_EQ(listing(), "dem1.txt dem1_venc8.raw dem1_venc8.txt ");
}

// The raster output is created first; when it cannot be, the descriptor is never created.
TEST_F(UnderTheRun, AnOutputRasterThatCannotBeCreatedStopsTheRunBeforeAnyOutput) {
  fs::create_directory(site() / "dem1_venc8.raw");
  torvanelle::State st;
  std::istringstream in("site dem1 0 1");
  std::ostringstream out;
  EXPECT_EQ(torvanelle::run(st, in, out, out), 1);
  const std::string ending =
      "\n\tThe file C:\\images\\site\\dem1_venc8.raw cannot be created: the run stops \n";
  EXPECT_TRUE(out.str().ends_with(ending)) << out.str();
  EXPECT_EQ(listing(), "dem1.raw dem1.txt dem1_venc8.raw ");
  EXPECT_TRUE(fs::is_empty(site() / "dem1_venc8.raw")) << "the folder in the way is left alone";
  EXPECT_EQ(support::read_file(site() / "dem1.raw"), raster);
  EXPECT_EQ(support::read_file(site() / "dem1.txt"), descriptor);
}

}  // namespace
