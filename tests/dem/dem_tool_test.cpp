// torvanelle-dem through GDAL, in-process: sources made with GDAL's API, outputs read back.
#include <gtest/gtest.h>

#include <gdal_priv.h>
#include <ogr_spatialref.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <limits>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "devtools/support.h"
#include "gdal_environment.h"
#include "tools/dem/output.h"
#include "tools/dem/run.h"

namespace gis = torvanelle::gis;

namespace {

namespace fs = std::filesystem;

struct Closer {
  void operator()(GDALDataset* d) const { GDALClose(d); }
};
using Dataset = std::unique_ptr<GDALDataset, Closer>;

/// A 20 × 20 source: vertical lines of numbers 1, 2 and 3 in columns 4, 9 and 14 (none when not
/// `lines`), UTM zone 32N, 5 m pixels from (500000, 5000000), nodata 255; `items` as metadata
/// ("BASE", "100", ...).
void write_source(const fs::path& path, const std::vector<std::string>& items,
                  GDALDataType type = GDT_Byte, bool lines = true) {
  Dataset d(GetGDALDriverManager()->GetDriverByName("GTiff")->Create(path.string().c_str(), 20, 20,
                                                                     1, type, nullptr));
  ASSERT_TRUE(d);
  double t[6] = {500000, 5, 0, 5000000, 0, -5};
  d->SetGeoTransform(t);
  OGRSpatialReference utm;
  utm.importFromEPSG(32632);
  d->SetSpatialRef(&utm);
  for (std::size_t k = 0; k + 1 < items.size(); k += 2) {
    d->SetMetadataItem(items[k].c_str(), items[k + 1].c_str());
  }
  std::vector<std::uint8_t> px(400, 255);
  for (int i = 0; i < 20 && lines; ++i) {
    for (int n = 1; n <= 3; ++n)
      px[static_cast<std::size_t>(i * 20 + 5 * n - 1)] = static_cast<std::uint8_t>(n);
  }
  GDALRasterBand* band = d->GetRasterBand(1);
  band->SetNoDataValue(255);
  ASSERT_EQ(band->RasterIO(GF_Write, 0, 0, 20, 20, px.data(), 20, 20, GDT_Byte, 0, 0, nullptr),
            CE_None);
}

struct Result {
  int status;
  std::string out, err;
};

Result run(const std::vector<std::string>& words) {
  std::ostringstream out, err;
  const int status = torvanelle::dem::tool::run(words, out, err);
  return {status, out.str(), err.str()};
}

class DemTool : public testing::Test {
 protected:
  std::string at(const std::string& name) const { return (dir_.path() / name).string(); }
  support::ScratchDir dir_;
};

TEST_F(DemTool, WritesTheModelOnTheSourcesGrid) {
  write_source(at("lines.tif"), {"BASE", "100", "INTERVAL", "2.5"});
  const Result r = run({at("lines.tif"), at("dem.tif"), "--quiet"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "");
  Dataset d(GDALDataset::Open(at("dem.tif").c_str(), GDAL_OF_RASTER));
  ASSERT_TRUE(d);
  GDALRasterBand* band = d->GetRasterBand(1);
  EXPECT_EQ(band->GetRasterDataType(), GDT_Float32);
  double t[6];
  ASSERT_EQ(d->GetGeoTransform(t), CE_None);
  EXPECT_EQ(std::vector<double>(t, t + 6), (std::vector<double>{500000, 5, 0, 5000000, 0, -5}));
  OGRSpatialReference utm;
  utm.importFromEPSG(32632);
  EXPECT_TRUE(d->GetSpatialRef() && d->GetSpatialRef()->IsSame(&utm));
  EXPECT_STREQ(d->GetMetadataItem("COMPRESSION", "IMAGE_STRUCTURE"), "DEFLATE");
  int block_cols = 0, block_rows = 0;
  band->GetBlockSize(&block_cols, &block_rows);
  EXPECT_LT(block_cols * 1.0 * block_rows, 400 * 400.0 + 1);  // tiled, not one strip a row
  EXPECT_NE(block_rows, 1);
  EXPECT_STREQ(d->GetMetadataItem("ELEVATION_MIN"), "102.5");
  EXPECT_STREQ(d->GetMetadataItem("ELEVATION_MAX"), "107.5");
  std::vector<float> z(400);
  ASSERT_EQ(band->RasterIO(GF_Read, 0, 0, 20, 20, z.data(), 20, 20, GDT_Float32, 0, 0, nullptr),
            CE_None);
  EXPECT_TRUE(std::isnan(z[0]));  // left of the first line: outside the hull
  EXPECT_NEAR(z[10 * 20 + 9], 105, 1e-4);
  EXPECT_NEAR(z[10 * 20 + 11], 106, 0.15);  // 2/5 of the way from 105 to 107.5
}

TEST_F(DemTool, OptionsOverTheMetadata) {
  write_source(at("lines.tif"), {"BASE", "100", "INTERVAL", "2.5"});
  ASSERT_EQ(run({at("lines.tif"), at("dem.tif"), "-q", "--base", "0", "--interval", "1"}).status,
            0);
  Dataset d(GDALDataset::Open(at("dem.tif").c_str(), GDAL_OF_RASTER));
  ASSERT_TRUE(d);
  EXPECT_STREQ(d->GetMetadataItem("ELEVATION_MIN"), "1");
  EXPECT_STREQ(d->GetMetadataItem("ELEVATION_MAX"), "3");
}

/// A source and command line that the tool refuses, and what it must say.
struct Refusal {
  std::string name;
  std::vector<std::string> items;  // the source's metadata
  GDALDataType type;
  std::vector<std::string> options;
  bool output_exists;
  int status;
  std::string said;   // a part of the message
  bool lines = true;  // the source draws its three lines
};

void PrintTo(const Refusal& c, std::ostream* os) { *os << c.name; }

class Refused : public DemTool, public testing::WithParamInterface<Refusal> {};

TEST_P(Refused, SaysWhyAndLeavesTheOutputAlone) {
  const Refusal& c = GetParam();
  write_source(at("lines.tif"), c.items, c.type, c.lines);
  if (c.output_exists) std::ofstream(at("dem.tif")) << "before";
  std::vector<std::string> words = {at("lines.tif"), at("dem.tif"), "-q"};
  words.insert(words.end(), c.options.begin(), c.options.end());
  const Result r = run(words);
  EXPECT_EQ(r.status, c.status);
  EXPECT_NE(r.err.find(c.said), std::string::npos) << r.err;
  if (c.output_exists) {
    std::ifstream in(at("dem.tif"));
    std::string text;
    in >> text;
    EXPECT_EQ(text, "before");
  } else {
    EXPECT_FALSE(fs::exists(at("dem.tif")));
  }
}

const std::vector<std::string> levels = {"BASE", "100", "INTERVAL", "2.5"};

INSTANTIATE_TEST_SUITE_P(
    Cases, Refused,
    testing::Values(
        Refusal{"NoLevels", {}, GDT_Byte, {}, false, 1, "no base and interval"},
        Refusal{"OnlyBase", {"BASE", "1"}, GDT_Byte, {}, false, 1, "no base and interval"},
        Refusal{"LevelsNotNumbers",
                {"BASE", "x", "INTERVAL", "1"},
                GDT_Byte,
                {},
                false,
                1,
                "lines.tif: the metadata item BASE must be a number from -1000000000 to "
                "1000000000, not 'x'"},
        // Levels no Float32 holds: the model would be +inf everywhere.
        Refusal{"LevelsTooLarge",
                {"BASE", "1e300", "INTERVAL", "1e300"},
                GDT_Byte,
                {},
                false,
                1,
                "lines.tif: the metadata item BASE must be a number from -1000000000 to "
                "1000000000, not '1e300'"},
        Refusal{"BaseInfinite",
                {"BASE", "-inf", "INTERVAL", "1"},
                GDT_Byte,
                {},
                false,
                1,
                "BASE must be a number from -1000000000 to 1000000000, not '-inf'"},
        Refusal{"IntervalNotANumber",
                {"BASE", "1", "INTERVAL", "nan"},
                GDT_Byte,
                {},
                false,
                1,
                "INTERVAL must be a number from 1e-06 to 1000000, not 'nan'"},
        Refusal{"IntervalZero",
                {"BASE", "1", "INTERVAL", "0"},
                GDT_Byte,
                {},
                false,
                1,
                "INTERVAL must be a number from 1e-06 to 1000000, not '0'"},
        Refusal{"IntervalNegative",
                {"BASE", "1", "INTERVAL", "-2"},
                GDT_Byte,
                {},
                false,
                1,
                "INTERVAL must be a number from 1e-06 to 1000000, not '-2'"},
        Refusal{"NoLineAtAll",
                levels,
                GDT_Byte,
                {},
                false,
                1,
                "lines.tif holds no contour line: every pixel is 255 or the band's nodata value",
                false},
        Refusal{"OptionIntervalZero",
                {},
                GDT_Byte,
                {"--base", "0", "--interval", "0"},
                false,
                2,
                "--interval: must be a number from 1e-06 to 1000000, not '0'"},
        Refusal{"OptionBaseTooLarge",
                levels,
                GDT_Byte,
                {"--base", "1e300", "--interval", "1"},
                false,
                2,
                "--base: must be a number from -1000000000 to 1000000000, not '1e300'"},
        Refusal{"BaseWithoutInterval", {}, GDT_Byte, {"--base", "0"}, false, 2, "--interval"},
        Refusal{"FloatPixels", levels, GDT_Float32, {}, false, 1, "lines.tif"},
        Refusal{"ExistingOutput", levels, GDT_Byte, {}, true, 1, "--overwrite"}),
    [](const testing::TestParamInfo<Refusal>& info) { return info.param.name; });

// Levels in range never give an infinite elevation; were one to appear all the same, the writer
// refuses it before writing a pixel. NaN is nodata and goes through.
TEST_F(DemTool, NoInfiniteElevationIsWritten) {
  const float inf = std::numeric_limits<float>::infinity();
  const std::vector<std::pair<float, bool>> cases = {
      {inf, true}, {-inf, true}, {torvanelle::dem::nodata, false}};
  for (const auto& [value, refused] : cases) {
    torvanelle::dem::Model model{2, 2, {1, 2, value, 3}, 1, 3};
    const fs::path path = at(std::to_string(value) + ".tif");
    gis::ErrorTrap trap(std::cerr);
    const gis::ProgressBar progress(false);
    try {
      gis::RasterOutput out(gis::driver("GTiff"), path, 2, 2, GDT_Float32, CPLStringList(), trap,
                            "dem.tif");
      torvanelle::dem::tool::write_model(out, model, {}, progress.stage(0, 1), trap, "dem.tif");
      EXPECT_FALSE(refused) << value;
    } catch (const gis::Error& e) {
      EXPECT_TRUE(refused) << e.what();
      EXPECT_STREQ(e.what(),
                   "cannot write dem.tif: the elevation model holds an infinite elevation, at "
                   "row 1, column 0");
    }
  }
}

}  // namespace
