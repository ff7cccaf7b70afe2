#include "tools/engine/forms.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "cli/outputs.h"
#include "devtools/support.h"

namespace {

namespace fs = std::filesystem;
namespace engine = torvanelle::engine;
using torvanelle::Image;

/// `f` must throw cli::Error whose text holds each of `parts`.
void expect_refused(const std::function<void()>& f, const std::vector<std::string>& parts,
                    const std::string& what) {
  try {
    f();
    ADD_FAILURE() << what << ": not refused";
  } catch (const torvanelle::cli::Error& e) {
    for (const std::string& part : parts)
      EXPECT_NE(std::string(e.what()).find(part), std::string::npos) << what << ": " << e.what();
  }
}

TEST(EngineForms, ARasterReadsBackAsWritten) {
  support::ScratchDir dir;
  Image image(3, 5);
  for (std::size_t k = 0; k < image.px.size(); ++k)
    image.px[k] = static_cast<std::uint8_t>(k * 17);  // 0, 17, ... 238, and 255 at k = 15
  image.px[0] = 255;
  engine::write_raster(dir.path() / "r", image, "r");
  EXPECT_EQ(support::read_file(dir.path() / "r").substr(0, 20),
            "TVRASTER 1 5 3 u8\n" + std::string("\xff\x11"));
  EXPECT_EQ(engine::read_raster(dir.path() / "r", "r"), image);
}

TEST(EngineForms, AModelReadsBackBitForBitWithItsRange) {
  support::ScratchDir dir;
  torvanelle::dem::Model m;
  m.rows = 2;
  m.cols = 3;
  m.z = {
      torvanelle::dem::nodata, -1e9f, 0.1f, std::numeric_limits<float>::denorm_min(), 1e9f, -0.0f};
  engine::write_model(dir.path() / "m", m, "m");
  const std::string bytes = support::read_file(dir.path() / "m");
  EXPECT_EQ(bytes.substr(0, 19), "TVRASTER 1 3 2 f32\n");
  EXPECT_EQ(bytes.substr(19 + 8, 4), std::string("\xcd\xcc\xcc\x3d"));  // 0.1f, little-endian
  const torvanelle::dem::Model back = engine::read_model(dir.path() / "m", "m");
  ASSERT_EQ(back.z.size(), m.z.size());
  EXPECT_TRUE(std::isnan(back.z[0]));
  for (std::size_t k = 1; k < m.z.size(); ++k)
    EXPECT_EQ(std::bit_cast<std::uint32_t>(back.z[k]), std::bit_cast<std::uint32_t>(m.z[k])) << k;
  EXPECT_EQ(back.min, -1e9f);
  EXPECT_EQ(back.max, 1e9f);
}

TEST(EngineForms, LinesReadBackExactly) {
  support::ScratchDir dir;
  const std::vector<engine::Feature> features = {
      {0, 0, {0.5, 0.5, 1.5, 2.5}},
      {254, 3, {0.1, 1.0 / 3, 1e-300, 123456789.123456789, -0.0, 5e15 + 0.5}},
  };
  engine::write_lines(dir.path() / "l", features, "l");
  EXPECT_EQ(support::read_file(dir.path() / "l").substr(0, 32),
            "TVLINES 1 2\n0 0 0.5 0.5 1.5 2.5\n");
  EXPECT_EQ(engine::read_lines(dir.path() / "l", "l"), features);
}

TEST(EngineForms, LinesTakeThePixelsCentres) {
  torvanelle::vect::Line line;
  line.number = 7;
  line.bridged = 1;
  line.pixels = {{2, 3}, {2, 4}, {3, 5}};  // row, column
  const std::vector<engine::Feature> f = engine::features_of({line});
  ASSERT_EQ(f.size(), 1u);
  EXPECT_EQ(f[0], (engine::Feature{7, 1, {3.5, 2.5, 4.5, 2.5, 5.5, 3.5}}));
}

struct Refusal {
  const char* what;
  std::string bytes;
  std::vector<std::string> said;  ///< besides the file's name
};

TEST(EngineForms, BrokenRastersAreRefusedNamingTheFile) {
  const std::string px6(6, '\x01');
  const std::vector<Refusal> cases = {
      {"empty", "", {"does not begin with"}},
      {"another magic", "TVRASTOR 1 3 2 u8\n" + px6, {"does not begin with"}},
      {"no line end", "TVRASTER 1 3 2 u8", {"does not begin with"}},
      {"a field missing", "TVRASTER 1 3 u8\n" + px6, {"does not begin with"}},
      {"two spaces", "TVRASTER 1  3 2 u8\n" + px6, {"does not begin with"}},
      {"another version", "TVRASTER 2 3 2 u8\n" + px6, {"version '2'"}},
      {"a model for a raster", "TVRASTER 1 3 2 f32\n" + px6, {"holds f32 pixels, not u8"}},
      {"no columns", "TVRASTER 1 0 2 u8\n", {"whole numbers from 1, not '0 2'"}},
      {"negative rows", "TVRASTER 1 3 -2 u8\n" + px6, {"not '3 -2'"}},
      {"a size not a number", "TVRASTER 1 3x 2 u8\n" + px6, {"not '3x 2'"}},
      {"a size past int", "TVRASTER 1 3 99999999999 u8\n" + px6, {"not '3 99999999999'"}},
      {"truncated", "TVRASTER 1 3 2 u8\n" + px6.substr(1), {"is truncated", "6 bytes", "holds 5"}},
      {"a byte too many", "TVRASTER 1 3 2 u8\n" + px6 + "x", {"longer than its header says"}},
      {"huge header size", "TVRASTER 1 2147483647 2147483647 u8\n" + px6, {"is truncated"}},
  };
  support::ScratchDir dir;
  for (const Refusal& c : cases) {
    support::write_file(dir.path() / "in", c.bytes);
    std::vector<std::string> said = c.said;
    said.push_back("user/sheet.tvr");
    expect_refused([&] { engine::read_raster(dir.path() / "in", "user/sheet.tvr"); }, said, c.what);
  }
}

TEST(EngineForms, BrokenModelsAreRefused) {
  const std::vector<Refusal> cases = {
      {"a raster for a model", "TVRASTER 1 1 1 u8\n\x01", {"holds u8 pixels, not f32"}},
      {"a float cut short", "TVRASTER 1 2 1 f32\n" + std::string(7, '\0'), {"is truncated"}},
  };
  support::ScratchDir dir;
  for (const Refusal& c : cases) {
    support::write_file(dir.path() / "in", c.bytes);
    expect_refused([&] { engine::read_model(dir.path() / "in", "model.tvr"); }, c.said, c.what);
  }
}

TEST(EngineForms, BrokenLinesAreRefusedNamingTheFileAndLine) {
  const std::vector<Refusal> cases = {
      {"empty", "", {"does not begin with"}},
      {"another magic", "TVLINE 1 0\n", {"does not begin with"}},
      {"a count not a number", "TVLINES 1 two\n", {"does not begin with"}},
      {"another version", "TVLINES 3 0\n", {"version '3'"}},
      {"header cut", "TVLINES 1 0", {"truncated"}},
      {"fewer than said", "TVLINES 1 2\n1 0 0 0 1 1\n", {"is truncated", "2 lines", "holds 1"}},
      {"more than said", "TVLINES 1 1\n1 0 0 0 1 1\n1 0 0 0 1 1\n", {"line 3", "more lines"}},
      {"last line cut", "TVLINES 1 1\n1 0 0 0 1 1", {"line 2", "truncated"}},
      {"one vertex", "TVLINES 1 1\n1 0 0.5 0.5\n", {"line 2", "two vertices or more"}},
      {"half a vertex", "TVLINES 1 1\n1 0 0 0 1 1 2\n", {"two vertices or more"}},
      {"number 255", "TVLINES 1 1\n255 0 0 0 1 1\n", {"from 0 to 254, not '255'"}},
      {"negative bridges", "TVLINES 1 1\n1 -1 0 0 1 1\n", {"not '-1'"}},
      {"a coordinate not a number", "TVLINES 1 1\n1 0 0 0 1 y\n", {"'y' is not a coordinate"}},
  };
  support::ScratchDir dir;
  for (const Refusal& c : cases) {
    support::write_file(dir.path() / "in", c.bytes);
    std::vector<std::string> said = c.said;
    said.push_back("lines.txt");
    expect_refused([&] { engine::read_lines(dir.path() / "in", "lines.txt"); }, said, c.what);
  }
}

TEST(EngineForms, AMissingFileIsRefusedNamingIt) {
  support::ScratchDir dir;
  const fs::path none = dir.path() / "none";
  expect_refused([&] { engine::read_raster(none, "none.tvr"); }, {"cannot read none.tvr"},
                 "raster");
  expect_refused([&] { engine::read_lines(none, "none.txt"); }, {"cannot read none.txt"}, "lines");
}

}  // namespace
