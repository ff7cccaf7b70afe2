#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "app/treatment.h"
#include "base/owned_raster.h"
#include "cleaning/deburring.h"
#include "cleaning/thinning.h"
#include "dem/dem.h"
#include "devtools/support.h"
#include "tools/engine/forms.h"
#include "tools/engine/run.h"
#include "vector/vectorise.h"

namespace {

namespace fs = std::filesystem;
namespace engine = torvanelle::engine;
using torvanelle::Image;

/// A small sheet: a thick band of number 3, a one-pixel line of number 2 and a bent line of
/// number 5 with a spur, all of which the cleaning and the vectoriser change or trace.
Image sheet() {
  Image image(16, 24);
  for (int i = 2; i < 14; ++i) {
    for (int j = 2; j < 6; ++j)
      image.at(i, j) = 3;
    image.at(i, 10) = 2;
    image.at(i, 16 + (i > 8 ? 2 : 0)) = 5;
  }
  for (int j = 16; j < 19; ++j)
    image.at(8, j) = 5;
  image.at(5, 17) = 5;
  return image;
}

/// The cleaning run on `image` directly: the thinning, then the deburring.
/// The cleaning of `image` by the engine itself, its report said on `report`.
Image cleaned_directly(const Image& image, std::ostream& report) {
  torvanelle::OwnedRaster in(image.cols, image.rows), out(image.cols, image.rows);
  for (int i = 0; i < image.rows; ++i)
    std::memcpy(in[i], &image.px[static_cast<std::size_t>(i) * image.cols], image.cols);
  const torvanelle::Thinned thinned =
      torvanelle::thinning(in.get(), out.get(), image.rows, image.cols);
  torvanelle::deburring(out.get(), image.rows, image.cols);
  torvanelle::say_thinning(thinned, report);
  torvanelle::say_deburring(thinned.span, report);
  Image result(image.rows, image.cols);
  for (int i = 0; i < image.rows; ++i)
    std::memcpy(&result.px[static_cast<std::size_t>(i) * image.cols], out[i], image.cols);
  return result;
}

/// std::system's result as the program's exit code: a wait status on POSIX systems (the code in
/// its second byte), the code itself on Windows. The program's codes are all below 256.
int exit_code(int status) { return (status & 0xff) == 0 ? status >> 8 : status; }

/// The built program run on `words` in `dir` (paths without spaces), its standard output and
/// error in dir/out.txt and dir/err.txt; its exit code.
int run_built(const std::string& words, const fs::path& dir) {
  const std::string program = fs::path(TORVANELLE_ENGINE).make_preferred().string();
  const std::string line = program + " " + words + " >" + (dir / "out.txt").string() + " 2>" +
                           (dir / "err.txt").string();
  return exit_code(std::system(line.c_str()));
}

class BuiltEngine : public ::testing::Test {
 protected:
  void SetUp() override { engine::write_raster(in, sheet(), "in"); }
  std::string at(const char* name) const { return (dir.path() / name).string(); }
  support::ScratchDir dir;
  fs::path in = dir.path() / "in.tvr";
};

TEST_F(BuiltEngine, CleanGivesTheCleaningsPixelsAndReportAndShowsProgress) {
  ASSERT_EQ(run_built("clean " + at("in.tvr") + " " + at("out.tvr") + " --report " + at("r.txt"),
                      dir.path()),
            0)
      << support::read_file(dir.path() / "err.txt");
  const Image out = engine::read_raster(dir.path() / "out.tvr", "out");
  std::ostringstream report;
  EXPECT_EQ(out, cleaned_directly(sheet(), report));
  EXPECT_EQ(support::read_file(dir.path() / "r.txt"), report.str());
  EXPECT_NE(report.str(), "");
  EXPECT_NE(out, sheet());
  EXPECT_EQ(
      support::read_file(dir.path() / "out.txt"),
      support::text_file_bytes("0...10...20...30...40...50...60...70...80...90...100 - done.\n"));
}

TEST_F(BuiltEngine, VectWritesTheVectorisersLines) {
  ASSERT_EQ(run_built("vect -q --min-length 3 " + at("in.tvr") + " " + at("l.txt"), dir.path()), 0)
      << support::read_file(dir.path() / "err.txt");
  const std::vector<engine::Feature> lines = engine::read_lines(dir.path() / "l.txt", "l");
  const auto expected = engine::features_of(torvanelle::vect::vectorise(sheet(), {3, 0, 0, 3}));
  EXPECT_EQ(lines, expected);
  EXPECT_GE(lines.size(), 3u);
  EXPECT_EQ(support::read_file(dir.path() / "out.txt"), "");
}

TEST_F(BuiltEngine, DemGivesTheModelWithEachLineAtItsLevel) {
  ASSERT_EQ(run_built("dem -q " + at("in.tvr") + " " + at("m.tvr") + " --base 100 --interval 10",
                      dir.path()),
            0)
      << support::read_file(dir.path() / "err.txt");
  const torvanelle::dem::Model m = engine::read_model(dir.path() / "m.tvr", "m");
  const torvanelle::dem::Model direct = torvanelle::dem::elevation_model(sheet(), {100, 10});
  ASSERT_EQ(m.rows, 16);
  ASSERT_EQ(m.cols, 24);
  EXPECT_EQ(m.z.size(), direct.z.size());
  for (std::size_t k = 0; k < m.z.size() && k < direct.z.size(); ++k)
    EXPECT_EQ(std::bit_cast<std::uint32_t>(m.z[k]), std::bit_cast<std::uint32_t>(direct.z[k])) << k;
  EXPECT_TRUE(std::isnan(m.at(0, 0)));
  // Each line holds its level at its skeleton: somewhere along it, exactly.
  const Image image = sheet();
  for (const int number : {2, 3, 5}) {
    bool held = false;
    for (int i = 0; i < m.rows; ++i)
      for (int j = 0; j < m.cols; ++j)
        held = held || (image.at(i, j) == number && m.at(i, j) == 100.0f + 10.0f * number);
    EXPECT_TRUE(held) << "number " << number;
  }
}

TEST_F(BuiltEngine, ARefusalEndsWithOneAndNamesTheFile) {
  support::write_file(dir.path() / "taken.tvr", "mine");
  EXPECT_EQ(run_built("clean -q " + at("in.tvr") + " " + at("taken.tvr"), dir.path()), 1);
  EXPECT_NE(support::read_file(dir.path() / "err.txt").find("taken.tvr exists"), std::string::npos);
  EXPECT_EQ(support::read_file(dir.path() / "taken.tvr"), "mine");
}

struct Line {
  const char* what;
  std::vector<std::string> words;
  int status;
  std::string said;
};

// The command lines, run in this process.
TEST_F(BuiltEngine, CommandLinesRefusedSayWhyWithTheirStatus) {
  support::write_file(dir.path() / "lines.txt", "TVLINES 1 0\n");
  const std::string source = at("in.tvr"), out = at("o.tvr");
  const std::vector<Line> cases = {
      {"no command", {}, 2, "a command is needed: clean, vect or dem"},
      {"an unknown option", {"--no-such", "a"}, 2, "--no-such"},
      {"two commands", {"clean", "a", "b", "vect"}, 2, "vect"},
      {"dem without levels", {"dem", source, out}, 2, "--base is required"},
      {"dem with a base alone", {"dem", source, out, "--base", "1"}, 2, "--interval"},
      {"an interval of 0", {"dem", source, out, "--base", "1", "--interval", "0"}, 2, "from 1e-06"},
      {"a negative branch", {"vect", source, out, "--min-branch", "-1"}, 2, "from 0 to 1000000"},
      {"a flag of another command", {"vect", source, out, "--no-deburring"}, 2, "--no-deburring"},
      {"no source", {"clean", at("none.tvr"), out}, 1, "none.tvr does not exist"},
      {"lines for a raster", {"vect", at("lines.txt"), out}, 1, "lines.txt is not a raster"},
      {"the output over the source", {"clean", source, source, "--overwrite"}, 1, "in.tvr"},
  };
  for (const Line& c : cases) {
    std::ostringstream o, e;
    EXPECT_EQ(engine::run(c.words, o, e), c.status) << c.what << ": " << e.str();
    EXPECT_NE(e.str().find(c.said), std::string::npos) << c.what << ": " << e.str();
    EXPECT_FALSE(fs::exists(out)) << c.what;
  }
}

}  // namespace
