// torvanelle-vect through GDAL: sources made with GDAL's API, outputs read back with OGR.
#include <gtest/gtest.h>

#include <gdal_priv.h>
#include <ogr_spatialref.h>
#include <ogrsf_frmts.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <set>
#include <sstream>

#include "devtools/support.h"
#include "gdal_environment.h"
#include "gis/gdal.h"
#include "tools/vect/run.h"
#include "vector_support.h"

namespace {

namespace fs = std::filesystem;

/// A scratch folder (support.h) with paths in it as strings, and the names it holds.
class Scratch {
 public:
  std::string operator/(const std::string& name) const { return (dir_.path() / name).string(); }
  std::set<std::string> listing() const {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(dir_.path()))
      names.insert(e.path().filename().string());
    return names;
  }

 private:
  support::ScratchDir dir_;
};

struct Closer {
  void operator()(GDALDataset* d) const { GDALClose(d); }
};
using Dataset = std::unique_ptr<GDALDataset, Closer>;

// A ring of number 7 round a line of number 3: the ring's first pixel in scan order is (1, 2).
const vtest::Picture sheet = {
    "..........", "..777777..", ".7......7.", ".7..3...7.", ".7..3...7.",
    ".7..3...7.", ".7......7.", "..777777..", "..........",
};

/// Writes `picture` as a GeoTIFF: UTM zone 32N, 5 m pixels from (500000, 5000000), nodata 255.
void write_geotiff(const std::string& path, const vtest::Picture& picture,
                   GDALDataType type = GDT_Byte, int bands = 1, bool georeferenced = true) {
  const torvanelle::Image im = vtest::image(picture);
  GDALAllRegister();
  Dataset d(GetGDALDriverManager()->GetDriverByName("GTiff")->Create(path.c_str(), im.cols, im.rows,
                                                                     bands, type, nullptr));
  ASSERT_TRUE(d);
  if (georeferenced) {
    double t[6] = {500000, 5, 0, 5000000, 0, -5};
    d->SetGeoTransform(t);
    OGRSpatialReference utm;
    utm.importFromEPSG(32632);
    d->SetSpatialRef(&utm);
  }
  for (int b = 1; b <= bands; ++b) {
    d->GetRasterBand(b)->SetNoDataValue(255);
    std::vector<std::uint8_t> px = im.px;
    ASSERT_EQ(d->GetRasterBand(b)->RasterIO(GF_Write, 0, 0, im.cols, im.rows, px.data(), im.cols,
                                            im.rows, GDT_Byte, 0, 0, nullptr),
              CE_None);
  }
}

struct Result {
  int status;
  std::string out, err;
};

Result run(const std::vector<std::string>& words) {
  std::ostringstream out, err;
  const int status = torvanelle::vect::tool::run(words, out, err);
  return {status, out.str(), err.str()};
}

struct Feature {
  int number;
  double elevation;
  int bridged;
  std::vector<std::pair<double, double>> points;
};

/// The features of the output's only layer, and its CRS.
std::vector<Feature> read_back(const std::string& path, OGRSpatialReference* crs = nullptr) {
  Dataset d(GDALDataset::Open(path.c_str(), GDAL_OF_VECTOR));
  EXPECT_TRUE(d) << path;
  if (!d) return {};
  EXPECT_EQ(d->GetLayerCount(), 1);
  OGRLayer* layer = d->GetLayer(0);
  if (crs != nullptr && layer->GetSpatialRef() != nullptr) *crs = *layer->GetSpatialRef();
  std::vector<Feature> out;
  const int elevation = layer->GetLayerDefn()->GetFieldIndex("elevation");
  const int bridged = layer->GetLayerDefn()->GetFieldIndex("bridged");
  for (auto& f : *layer) {
    Feature feature{f->GetFieldAsInteger("number"),
                    elevation < 0 ? -1 : f->GetFieldAsDouble(elevation),
                    bridged < 0 ? -1 : f->GetFieldAsInteger(bridged),
                    {}};
    const OGRLineString* line = f->GetGeometryRef()->toLineString();
    for (int v = 0; v < line->getNumPoints(); ++v)
      feature.points.emplace_back(line->getX(v), line->getY(v));
    out.push_back(feature);
  }
  return out;
}

TEST(VectTool, GeoreferenceAndCrsReachTheLines) {
  Scratch dir;
  write_geotiff(dir / "sheet.tif", sheet);
  const Result r =
      run({dir / "sheet.tif", dir / "lines.gpkg", "--base", "100", "--interval", "2.5"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  OGRSpatialReference crs;
  const std::vector<Feature> f = read_back(dir / "lines.gpkg", &crs);
  OGRSpatialReference utm;
  utm.importFromEPSG(32632);
  EXPECT_TRUE(crs.IsSame(&utm));
  ASSERT_EQ(f.size(), 2u);
  EXPECT_EQ(f[0].number, 3);
  EXPECT_EQ(f[0].elevation, 107.5);
  EXPECT_EQ(f[0].points, (std::vector<std::pair<double, double>>{
                             {500022.5, 4999982.5}, {500022.5, 4999977.5}, {500022.5, 4999972.5}}));
  EXPECT_EQ(f[1].number, 7);
  EXPECT_EQ(f[1].elevation, 117.5);
  // The ring is closed and starts at its first pixel, row 1 column 2.
  ASSERT_GE(f[1].points.size(), 5u);
  EXPECT_EQ(f[1].points.front(), std::make_pair(500012.5, 4999992.5));
  EXPECT_EQ(f[1].points.front(), f[1].points.back());
  EXPECT_EQ(dir.listing(), (std::set<std::string>{"lines.gpkg", "sheet.tif"}));
}

// The program's own raw result, opened through an ENVI header: no georeference, so coordinates
// are pixel centres, rows downwards.
TEST(VectTool, RawRasterWithoutGeoreferenceGivesPixelCentres) {
  Scratch dir;
  const torvanelle::Image im = vtest::image(sheet);
  support::write_file(dir / "sheet_venc8.raw", std::string(im.px.begin(), im.px.end()));
  support::write_file(dir / "sheet_venc8.hdr",
                      "ENVI\nsamples = " + std::to_string(im.cols) +
                          "\nlines = " + std::to_string(im.rows) +
                          "\nbands = 1\ndata type = 1\ninterleave = bsq\nbyte order = 0\n");
  for (const std::string name : {"lines.geojson", "lines.gpkg"}) {
    const Result r = run({dir / "sheet_venc8.raw", dir / name});
    ASSERT_EQ(r.status, 0) << r.err;
    OGRSpatialReference crs;
    const std::vector<Feature> f = read_back(dir / name, &crs);
    ASSERT_EQ(f.size(), 2u);
    EXPECT_EQ(f[0].points.front(), std::make_pair(4.5, 3.5));
    EXPECT_EQ(f[1].points.front(), std::make_pair(2.5, 1.5));
    // GeoJSON's coordinates are degrees by definition; a GeoPackage can say they are not.
    EXPECT_TRUE(name != "lines.gpkg" || !crs.IsGeographic()) << "pixel coordinates in degrees";
  }
}

TEST(VectTool, NodataValueMeansNoLine) {
  Scratch dir;
  vtest::Picture zeros = sheet;
  for (std::string& row : zeros)
    std::replace(row.begin(), row.end(), '.', '0');
  write_geotiff(dir / "zeros.tif", zeros);
  Dataset(GDALDataset::Open((dir / "zeros.tif").c_str(), GDAL_OF_RASTER | GDAL_OF_UPDATE))
      ->GetRasterBand(1)
      ->SetNoDataValue(0);
  const Result r = run({dir / "zeros.tif", dir / "lines.gpkg"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(read_back(dir / "lines.gpkg").size(), 2u);
}

TEST(VectTool, EveryFormatGetsTheSameLines) {
  Scratch dir;
  write_geotiff(dir / "sheet.tif", sheet);
  for (const std::string name : {"l.gpkg", "l.geojson", "l.shp", "l.fgb"}) {
    const Result r = run({dir / "sheet.tif", dir / name, "--simplify", "1"});
    ASSERT_EQ(r.status, 0) << name << ": " << r.err;
    const std::vector<Feature> f = read_back(dir / name);
    ASSERT_EQ(f.size(), 2u) << name;
    EXPECT_EQ(f[1].number, 7) << name;
    EXPECT_LT(f[1].points.size(), 20u) << name << ": simplified";
  }
  const Result named = run({dir / "sheet.tif", dir / "lines.txt", "--format", "GeoJSON"});
  ASSERT_EQ(named.status, 0) << named.err;
  EXPECT_EQ(read_back(dir / "lines.txt").size(), 2u);
}

TEST(VectTool, OverwriteReplacesTheWholeOldOutput) {
  Scratch dir;
  write_geotiff(dir / "sheet.tif", sheet);
  write_geotiff(dir / "plain.tif", sheet, GDT_Byte, 1, false);
  ASSERT_EQ(run({dir / "sheet.tif", dir / "l.shp"}).status, 0);
  EXPECT_TRUE(dir.listing().contains("l.prj"));
  const Result r = run({dir / "plain.tif", dir / "l.shp", "--overwrite"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_FALSE(dir.listing().contains("l.prj")) << "the old CRS goes with the old lines";
  EXPECT_EQ(read_back(dir / "l.shp")[1].points.front(), std::make_pair(2.5, 1.5));
}

// A gap bridged and marked, a speck left out and counted on standard error.
TEST(VectTool, BridgesAreMarkedAndShortLinesCounted) {
  Scratch dir;
  write_geotiff(dir / "gap.tif", {
                                     "..................",
                                     ".4444444...444444.",
                                     "..................",
                                     "...............5..",
                                 });
  const Result plain = run({dir / "gap.tif", dir / "plain.gpkg"});
  ASSERT_EQ(plain.status, 0) << plain.err;
  EXPECT_EQ(read_back(dir / "plain.gpkg").size(), 2u);
  EXPECT_EQ(read_back(dir / "plain.gpkg")[0].bridged, -1) << "no field without --bridge";
  EXPECT_NE(plain.err.find("left out 1 line shorter than 2 pixels"), std::string::npos)
      << plain.err;
  const Result bridged = run({dir / "gap.tif", dir / "bridged.gpkg", "--bridge", "6"});
  ASSERT_EQ(bridged.status, 0) << bridged.err;
  const std::vector<Feature> f = read_back(dir / "bridged.gpkg");
  ASSERT_EQ(f.size(), 1u);
  EXPECT_EQ(f[0].bridged, 1);
}

// Each refusal: its status and message, and nothing written or changed.
TEST(VectTool, Refusals) {
  Scratch dir;
  write_geotiff(dir / "sheet.tif", sheet);
  write_geotiff(dir / "deep.tif", sheet, GDT_UInt16);
  write_geotiff(dir / "rgb.tif", sheet, GDT_Byte, 3);
  write_geotiff(dir / "blank.tif", {"....", "...."});
  support::write_file(dir / "taken.gpkg", "mine");
  support::write_file(dir / "family.dbf", "a shapefile's table");
  const std::set<std::string> before = dir.listing();
  struct Case {
    std::vector<std::string> words;
    std::string message;
  };
  const std::vector<Case> cases = {
      {{dir / "deep.tif", dir / "o.gpkg"}, "holds UInt16 pixels: a contour raster holds unsigned"},
      {{dir / "rgb.tif", dir / "o.gpkg"}, "has 3 bands: a contour raster has one band"},
      {{dir / "missing.tif", dir / "o.gpkg"}, dir / "missing.tif" + ": no such file"},
      {{dir / "blank.tif", dir / "o.gpkg"},
       dir / "blank.tif" + " holds no contour line: every pixel is 255 or the band's nodata value"},
      {{dir / "sheet.tif", dir / "taken.gpkg"}, "exists: give --overwrite to replace it"},
      {{dir / "sheet.tif", dir / "family.shp"}, "family.dbf exists: give --overwrite"},
      {{dir / "sheet.tif", dir / "sheet.tif", "--format", "GPKG", "--overwrite"},
       "sheet.tif is the source"},
      {{dir / "sheet.tif", dir / "o.xyz", "--format", "NoSuchFormat"},
       "'NoSuchFormat' is not a vector format that OGR can write"},
      {{dir / "sheet.tif", dir / "o.tif", "--format", "GTiff"},
       "'GTiff' is not a vector format that OGR can write"},
      {{dir / "sheet.tif", dir / "o.csv", "--format", "CSV"}, "'CSV' cannot hold line geometry"},
      {{dir / "sheet.tif", dir / "nowhere/o.gpkg"}, "does not exist"},
  };
  for (const Case& c : cases) {
    const Result r = run(c.words);
    EXPECT_EQ(r.status, 1) << c.message;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    EXPECT_EQ(r.err.rfind("torvanelle-vect: ", 0), 0u) << r.err;
    EXPECT_EQ(dir.listing(), before) << c.message;
  }
  EXPECT_EQ(support::read_file(dir / "taken.gpkg"), "mine");
}

// The built program, as a user runs it.
TEST(VectTool, BuiltProgramWritesTheLinesAndRefusesWithStatusOne) {
  Scratch dir;
  write_geotiff(dir / "sheet.tif", sheet);
  const std::string program = TORVANELLE_VECT;
  const std::string quiet = " 2>" + dir / "err.txt";
  EXPECT_EQ(std::system((program + " " + dir / "sheet.tif" + " " + dir / "l.gpkg" + quiet).c_str()),
            0);
  EXPECT_EQ(read_back(dir / "l.gpkg").size(), 2u);
  const int refused =
      std::system((program + " " + dir / "sheet.tif" + " " + dir / "l.gpkg" + quiet).c_str());
  EXPECT_TRUE(WIFEXITED(refused) && WEXITSTATUS(refused) == 1);
  const std::string message = support::read_file(dir / "err.txt");
  EXPECT_NE(message.find("already holds a layer contours: give --overwrite"), std::string::npos)
      << message;
}

}  // namespace
