// torvanelle-geo: GeoTIFFs made here with GDAL's own API go through the built tool and the built
// program and come back, or through `clean` in one step; every refusal leaves the folders as they
// were. Also the tool's library pieces whose rules a round trip does not reach (pixel size,
// trailer, path mapping).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <gdal_priv.h>
#include <ogr_spatialref.h>

#include "base/palette.h"
#include "devtools/support.h"
#include "devtools/terrain.h"
#include "gdal_environment.h"
#include "gis/gdal.h"
#include "gis/georef.h"
#include "io/paths.h"
#include "tools/geo/program_files.h"

namespace gis = torvanelle::gis;
namespace geo = torvanelle::geo;
namespace palette = torvanelle::palette;

namespace {

namespace fs = std::filesystem;
using Transform = std::array<double, 6>;

constexpr Transform utm_5m = {500000, 5, 0, 4650000, 0, -5};

OGRSpatialReference utm31n() {
  OGRSpatialReference crs;
  crs.importFromEPSG(32631);
  crs.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
  return crs;
}

/// What a test GeoTIFF holds besides its pixels.
struct Source {
  int lines = 60, cols = 80, bands = 1;
  GDALDataType type = GDT_Byte;
  std::optional<double> nodata = 255;
  std::optional<Transform> transform = utm_5m;
  std::vector<std::pair<const char*, const char*>> metadata;
  std::vector<const char*> creation;  ///< GTiff creation options, NAME=VALUE
};

/// Contour lines of synthetic terrain, with background: what the program is made for.
std::string contour_pixels(int lines, int cols) {
  terrain::Options o;
  o.rows = lines;
  o.cols = cols;
  o.levels = 12;
  o.seed = 7;
  const std::vector<std::uint8_t> r = terrain::contour_raster(o);
  return {r.begin(), r.end()};
}

void write_geotiff(const fs::path& path, const Source& s, std::string pixels) {
  GDALDriver* gtiff = GetGDALDriverManager()->GetDriverByName("GTiff");
  std::vector<const char*> options = s.creation;
  options.push_back(nullptr);
  GDALDatasetUniquePtr ds(gtiff->Create(path.string().c_str(), s.cols, s.lines, s.bands, s.type,
                                        const_cast<char**>(options.data())));
  ASSERT_TRUE(ds);
  if (s.transform) {
    Transform t = *s.transform;
    ds->SetGeoTransform(t.data());
    const OGRSpatialReference crs = utm31n();
    ds->SetSpatialRef(&crs);
  }
  for (const auto& [key, value] : s.metadata)
    ds->SetMetadataItem(key, value);
  for (int b = 1; b <= s.bands; ++b) {
    GDALRasterBand* band = ds->GetRasterBand(b);
    if (s.nodata) band->SetNoDataValue(*s.nodata);
    ASSERT_EQ(band->RasterIO(GF_Write, 0, 0, s.cols, s.lines, pixels.data(), s.cols, s.lines,
                             GDT_Byte, 0, 0, nullptr),
              CE_None);
  }
}

/// A raster as GDAL reads it back.
struct Read {
  std::string driver;
  int lines = 0, cols = 0, block_cols = 0, block_lines = 0;
  Transform transform{};
  bool has_transform = false, same_crs = false;
  std::optional<double> nodata;
  std::string pixels, compression;
  std::vector<palette::Rgb> colours;
};

Read read_raster(const fs::path& path) {
  Read r;
  GDALDatasetUniquePtr ds(GDALDataset::Open(path.string().c_str(), GDAL_OF_RASTER));
  if (!ds) return r;
  r.driver = ds->GetDriver()->GetDescription();
  r.lines = ds->GetRasterYSize();
  r.cols = ds->GetRasterXSize();
  r.has_transform = ds->GetGeoTransform(r.transform.data()) == CE_None;
  const OGRSpatialReference expected = utm31n();
  r.same_crs = ds->GetSpatialRef() != nullptr && ds->GetSpatialRef()->IsSame(&expected);
  GDALRasterBand* band = ds->GetRasterBand(1);
  band->GetBlockSize(&r.block_cols, &r.block_lines);
  int has = 0;
  const double nodata = band->GetNoDataValue(&has);
  if (has) r.nodata = nodata;
  r.pixels.resize(static_cast<std::size_t>(r.lines) * r.cols);
  EXPECT_EQ(band->RasterIO(GF_Read, 0, 0, r.cols, r.lines, r.pixels.data(), r.cols, r.lines,
                           GDT_Byte, 0, 0, nullptr),
            CE_None);
  const char* compression = ds->GetMetadataItem("COMPRESSION", "IMAGE_STRUCTURE");
  r.compression = compression == nullptr ? "" : compression;
  if (const GDALColorTable* table = band->GetColorTable(); table != nullptr) {
    for (int k = 0; k < table->GetColorEntryCount(); ++k) {
      const GDALColorEntry* e = table->GetColorEntry(k);
      r.colours.push_back({static_cast<std::uint8_t>(e->c1), static_cast<std::uint8_t>(e->c2),
                           static_cast<std::uint8_t>(e->c3)});
    }
  }
  return r;
}

struct Outcome {
  int status = -1;
  std::string out, err;
};

// Built in steps: GCC 12 warns falsely (-Wrestrict) about "'" + std::string&& when optimising.
std::string quoted(const fs::path& p) {
  std::string q = "'";
  q += p.string();
  return q += "'";
}

/// Runs `command` with the shell in `dir`; its standard output and error are kept apart.
Outcome run(const fs::path& dir, const std::string& command) {
  const fs::path out = dir.parent_path() / "stdout.txt", err = dir.parent_path() / "stderr.txt";
  const std::string line = "cd " + quoted(dir) + " && { " + command + "; } > " + quoted(out) +
                           " 2> " + quoted(err) + " < /dev/null";
  const int raw = std::system(line.c_str());
  Outcome r;
  r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  r.out = support::read_file(out);
  r.err = support::read_file(err);
  return r;
}

class GeoTool : public ::testing::Test {
 protected:
  void SetUp() override { fs::create_directories(site_); }

  /// torvanelle-geo run in the work folder with `args`.
  Outcome geo(const std::string& args) { return run(work_, quoted(TORVANELLE_GEO) + " " + args); }

  /// The program run in the work folder on images/site/NAME, keeping the name, removing spurs
  /// (`deburring` "0") or not ("1").
  Outcome program(const std::string& name = "dem1", const std::string& deburring = "0") {
    return run(work_, "printf 'site\\n" + name + "\\n0\\n" + deburring + "\\n' | " +
                          quoted(TORVANELLE_PROGRAM));
  }

  /// Every file and folder under the work folder, hidden ones included, with its size.
  std::set<std::string> files() const {
    std::set<std::string> all;
    for (const auto& e : fs::recursive_directory_iterator(work_)) {
      const std::string size = e.is_regular_file() ? std::to_string(e.file_size()) : "dir";
      all.insert(fs::relative(e.path(), work_).string() + " " + size);
    }
    return all;
  }

  /// Imports a GeoTIFF of contour lines as images/site/dem1; returns its pixels.
  std::string imported(const Source& s = {}) {
    const std::string pixels = contour_pixels(s.lines, s.cols);
    write_geotiff(work_ / "map.tif", s, pixels);
    const Outcome r = geo("import map.tif " + site_rel_ + "/dem1 --overwrite");
    EXPECT_EQ(r.status, 0) << r.err;
    return pixels;
  }

  support::ScratchDir scratch_;
  const fs::path work_ = scratch_.path() / "work";
  const std::string site_rel_ = std::string(torvanelle::images_root()) + "site";
  const fs::path site_ = work_ / site_rel_;
};

void expect_placed_like_the_source(const Read& r) {
  EXPECT_TRUE(r.has_transform);
  EXPECT_EQ(r.transform, utm_5m);
  EXPECT_TRUE(r.same_crs);
  EXPECT_EQ(r.nodata, 255.0);
}

TEST_F(GeoTool, GeoTiffGoesThroughImportTheProgramAndExportWithItsPlaceKept) {
  const std::string pixels = imported();
  EXPECT_EQ(support::read_file(site_ / "dem1.raw"), pixels);
  EXPECT_EQ(support::read_file(site_ / "dem1.txt"), "60\n80\n1\n0\n255\n5\n");
  const Read input = read_raster(site_ / "dem1.raw");
  EXPECT_EQ(input.driver, "ENVI") << "GDAL opens the imported raw raster through its header";
  expect_placed_like_the_source(input);

  const Outcome cleaned = program();
  ASSERT_EQ(cleaned.status, 0) << cleaned.out;
  const std::string result = support::read_file(site_ / "dem1_venc8.raw");
  ASSERT_EQ(result.size(), pixels.size());
  EXPECT_NE(result, pixels) << "the program thinned nothing: the checks below would prove little";

  const Outcome exported = geo("export " + site_rel_ + "/dem1_venc8 cleaned.tif");
  ASSERT_EQ(exported.status, 0) << exported.err;
  EXPECT_EQ(exported.err, "cleaned.tif placed by " + site_rel_ + "/dem1.raw\n");
  const Read tif = read_raster(work_ / "cleaned.tif");
  EXPECT_EQ(tif.driver, "GTiff");
  expect_placed_like_the_source(tif);
  EXPECT_EQ(tif.pixels, result);
  EXPECT_EQ(tif.compression, "DEFLATE");
  EXPECT_EQ(tif.block_cols, 256) << "tiled, not in strips of whole rows";
  ASSERT_EQ(tif.colours.size(), 256u);
  for (int k = 0; k < 256; ++k) {
    const palette::Rgb want = palette::colour(static_cast<std::uint8_t>(k));
    EXPECT_EQ(tif.colours[k].r, want.r) << k;
    EXPECT_EQ(tif.colours[k].g, want.g) << k;
    EXPECT_EQ(tif.colours[k].b, want.b) << k;
  }
  const Read raw_result = read_raster(site_ / "dem1_venc8.raw");
  EXPECT_EQ(raw_result.driver, "ENVI") << "the export wrote the result's header";
  expect_placed_like_the_source(raw_result);
  EXPECT_EQ(raw_result.pixels, result);
}

TEST_F(GeoTool, ImportMakesNodataPixelsTheBackground) {
  std::string pixels(6 * 5, '\xff');
  pixels[0] = '\x07';
  pixels[7] = '\x07';
  pixels[12] = pixels[13] = '\x03';
  Source s;
  s.lines = 6;
  s.cols = 5;
  s.nodata = 7;
  write_geotiff(work_ / "map.tif", s, pixels);
  ASSERT_EQ(geo("import map.tif " + site_rel_ + "/dem1").status, 0);
  std::string expected = pixels;
  expected[0] = expected[7] = '\xff';
  EXPECT_EQ(support::read_file(site_ / "dem1.raw"), expected);
  EXPECT_EQ(read_raster(site_ / "dem1.raw").nodata, 255.0);
}

TEST_F(GeoTool, AltitudesComeFromTheSourcesMetadataAndGoBackOut) {
  Source s;
  s.metadata = {{"LOWEST_ALTITUDE", "120"}, {"HIGHEST_ALTITUDE", "-35"}};
  imported(s);
  EXPECT_EQ(support::read_file(site_ / "dem1.txt"), "60\n80\n1\n120\n-35\n5\n");
  ASSERT_EQ(program().status, 0);
  ASSERT_EQ(geo("export " + site_rel_ + "/dem1_venc8 cleaned.tif").status, 0);
  const Outcome again = geo("import cleaned.tif " + site_rel_ + "/again");
  ASSERT_EQ(again.status, 0) << again.err;
  EXPECT_EQ(support::read_file(site_ / "again.txt"), "60\n80\n1\n120\n-35\n5\n");
}

TEST_F(GeoTool, AltitudeThatIsNotAWholeNumberIsWarnedAboutAndLeftAtItsDefault) {
  Source s;
  s.metadata = {{"LOWEST_ALTITUDE", "12.5"}};
  write_geotiff(work_ / "map.tif", s, contour_pixels(60, 80));
  const Outcome r = geo("import map.tif " + site_rel_ + "/dem1");
  ASSERT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "warning: the metadata item LOWEST_ALTITUDE = 12.5 is not a whole number\n");
  EXPECT_EQ(support::read_file(site_ / "dem1.txt"), "60\n80\n1\n0\n255\n5\n");
}

TEST_F(GeoTool, RefusedImportsSayWhyAndWriteNothing) {
  const std::string pixels = contour_pixels(60, 80);
  Source u16, rgb, signed8;
  u16.type = GDT_UInt16;
  rgb.bands = 3;
  signed8.creation = {"PIXELTYPE=SIGNEDBYTE"};
  write_geotiff(work_ / "u16.tif", u16, pixels);
  write_geotiff(work_ / "rgb.tif", rgb, pixels);
  write_geotiff(work_ / "signed.tif", signed8, pixels);
  support::write_file(site_ / "hdronly.hdr", "ENVI\n");
  write_geotiff(work_ / "map.tif", {}, pixels);
  fs::copy_file(work_ / "map.tif", site_ / "itself.raw");
  support::write_file(work_ / "notes.txt", "not a raster\n");
  support::write_file(site_ / "taken.txt", "60\n80\n1\n0\n255\n5\n");
  const std::string dest = " " + site_rel_ + "/dem1";
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"import u16.tif" + dest, "u16.tif holds UInt16 pixels: a contour raster holds unsigned"},
      {"import signed.tif" + dest, "signed.tif holds signed 8-bit pixels"},
      {"import rgb.tif" + dest, "rgb.tif has 3 bands: a contour raster has one band"},
      {"import map.tif images-elsewhere/dem1", "the folder images-elsewhere does not exist"},
      {"import map.tif " + site_rel_ + "/taken", "taken.txt exists: give --overwrite"},
      {"import map.tif " + site_rel_ + "/hdronly", "hdronly.hdr exists: give --overwrite"},
      {"import --overwrite " + site_rel_ + "/itself.raw " + site_rel_ + "/itself",
       "itself.raw is the source"},
      {"import absent.tif" + dest, "absent.tif: no such file"},
      {"import notes.txt" + dest, "cannot read notes.txt: "},
  };
  const std::set<std::string> before = files();
  for (const auto& [args, message] : cases) {
    const Outcome r = geo(args);
    EXPECT_EQ(r.status, 1) << args;
    EXPECT_NE(r.err.find("torvanelle-geo: "), std::string::npos) << args << ": " << r.err;
    EXPECT_NE(r.err.find(message), std::string::npos) << args << ": " << r.err;
    EXPECT_EQ(files(), before) << args;
  }
  // --force, the option's earlier name, stays accepted.
  const Outcome forced = geo("import --force map.tif " + site_rel_ + "/taken");
  EXPECT_EQ(forced.status, 0) << forced.err;
  EXPECT_EQ(support::read_file(site_ / "taken.raw"), pixels);
}

TEST_F(GeoTool, ExportTakesThePlaceFromTheResultsOwnSidecarWhenTheInputIsGone) {
  imported();
  ASSERT_EQ(program().status, 0);
  ASSERT_EQ(geo("export " + site_rel_ + "/dem1_venc8 first.tif").status, 0);
  fs::remove(site_ / "dem1.raw");
  fs::remove(site_ / "dem1.hdr");
  const std::string header = support::read_file(site_ / "dem1_venc8.hdr");
  const Outcome r = geo("export " + site_rel_ + "/dem1_venc8.raw second.tif");
  ASSERT_EQ(r.status, 0) << r.err;
  expect_placed_like_the_source(read_raster(work_ / "second.tif"));
  EXPECT_EQ(support::read_file(site_ / "dem1_venc8.hdr"), header) << "its own sidecar is kept";
}

TEST_F(GeoTool, ExportFindsTheInputUnderTheImagesRootItIsGivenElseWritesNoPlace) {
  imported();
  ASSERT_EQ(program().status, 0);
  // The result alone in another folder: only the images root leads back to its input.
  fs::create_directories(work_ / "results");
  for (const char* ext : {".raw", ".txt"})
    fs::rename(site_ / (std::string("dem1_venc8") + ext),
               work_ / "results" / (std::string("dem1_venc8") + ext));
  fs::rename(site_.parent_path(), work_ / "survey");
  const Outcome lost = geo("export results/dem1_venc8 out.tif");
  EXPECT_EQ(lost.status, 0) << lost.err;
  EXPECT_NE(lost.err.find("warning: no georeference for results/dem1_venc8"), std::string::npos)
      << lost.err;
  EXPECT_FALSE(read_raster(work_ / "out.tif").has_transform);
  const Outcome found = geo("export --overwrite --images-root survey results/dem1_venc8 out.tif");
  ASSERT_EQ(found.status, 0) << found.err;
  expect_placed_like_the_source(read_raster(work_ / "out.tif"));
}

// A result given by path from another working folder is placed by the input beside it, not by
// the image of the same name under the current folder's images root; a header that says another
// place is kept until --overwrite, and then placed by the input re-imported with its new place.
TEST_F(GeoTool, ExportIsPlacedByTheInputBesideTheResultAndKeepsAHeaderThatSaysOtherwise) {
  imported();
  ASSERT_EQ(program().status, 0);
  const fs::path other = scratch_.path() / "other";
  Source elsewhere;
  elsewhere.transform = Transform{100000, 5, 0, 200000, 0, -5};
  fs::create_directories(other / site_rel_);
  write_geotiff(other / "map.tif", elsewhere, contour_pixels(60, 80));
  ASSERT_EQ(run(other, quoted(TORVANELLE_GEO) + " import map.tif " + site_rel_ + "/dem1").status,
            0);
  const fs::path stem = site_ / "dem1_venc8";
  const Outcome there = run(other, quoted(TORVANELLE_GEO) + " export " + quoted(stem) + " out.tif");
  ASSERT_EQ(there.status, 0) << there.err;
  EXPECT_NE(there.err.find("placed by " + (site_ / "dem1.raw").string()), std::string::npos);
  expect_placed_like_the_source(read_raster(other / "out.tif"));
  expect_placed_like_the_source(read_raster(site_ / "dem1_venc8.raw"));

  // Re-imported with a corrected place, cleaned again: the old header now says another place.
  imported(elsewhere);
  ASSERT_EQ(program().status, 0);
  const std::string header = support::read_file(site_ / "dem1_venc8.hdr");
  const Outcome refused = geo("export " + site_rel_ + "/dem1_venc8 new.tif");
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.err.find("dem1_venc8.hdr places"), std::string::npos) << refused.err;
  EXPECT_EQ(support::read_file(site_ / "dem1_venc8.hdr"), header);
  EXPECT_FALSE(fs::exists(work_ / "new.tif"));
  const Outcome replaced = geo("export --overwrite " + site_rel_ + "/dem1_venc8 out.tif");
  ASSERT_EQ(replaced.status, 0) << replaced.err;
  EXPECT_EQ(read_raster(work_ / "out.tif").transform, *elsewhere.transform);
  EXPECT_EQ(read_raster(site_ / "dem1_venc8.raw").transform, *elsewhere.transform);
}

TEST_F(GeoTool, RefusedExportsSayWhyAndWriteNothing) {
  imported();
  const std::string trailer = "\n input image : C:\\images\\site\\dem1.raw \n";
  const std::string raster = contour_pixels(60, 80);
  support::write_file(site_ / "good.raw", raster);
  support::write_file(site_ / "good.txt", "60\n80\n1\n0\n255\n5\n" + trailer);
  support::write_file(site_ / "short.raw", raster.substr(100));
  support::write_file(site_ / "short.txt", "60\n80\n1\n0\n255\n5\n" + trailer);
  support::write_file(site_ / "five.raw", raster);
  support::write_file(site_ / "five.txt", "60\n80\n1\n0\n255\n");
  support::write_file(site_ / "fifo.raw", raster);
  support::write_file(site_ / "fifo.txt",
                      "60\n80\n1\n0\n255\n5\n\n input image : "
                      "C:\\images\\site\\pipe.raw \n");
  ASSERT_EQ(mkfifo((site_ / "pipe.raw").c_str(), 0600), 0);
  support::write_file(site_ / "norow.txt", "60\n80\n1\n0\n255\n5\n" + trailer);
  support::write_file(work_ / "taken.tif", "x");
  const std::string s = site_rel_ + "/";
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"export " + s + "absent out.tif", "absent.txt: no such file"},
      {"export " + s + "norow out.tif", "norow.raw: no such file"},
      {"export " + s + "short out.tif",
       "short.raw holds 4700 bytes where its descriptor gives 4800"},
      {"export " + s + "five out.tif", "five.txt does not hold the six integers of a descriptor"},
      {"export " + s + "fifo out.tif", "pipe.raw as its input image, which is not a regular file"},
      {"export " + s + "good taken.tif", "taken.tif exists: give --overwrite"},
      {"export --overwrite --format GTiff " + s + "good " + s + "good.raw",
       "good.raw is the source"},
      {"export " + s + "good elsewhere/out.tif", "the folder elsewhere does not exist"},
  };
  const std::set<std::string> before = files();
  for (const auto& [args, message] : cases) {
    const Outcome r = geo(args);
    EXPECT_EQ(r.status, 1) << args;
    EXPECT_NE(r.err.find(message), std::string::npos) << args << ": " << r.err;
    EXPECT_EQ(files(), before) << args;
  }
  const Outcome forced = geo("export --force " + s + "good taken.tif");
  EXPECT_EQ(forced.status, 0) << forced.err;
  EXPECT_EQ(read_raster(work_ / "taken.tif").pixels, raster);
}

// Each case imports a source, runs the program and exports: the round trip finishes, with what
// it must warn about.
TEST_F(GeoTool, RoundTripsOfUnusualSourcesFinishWithTheirWarnings) {
  struct Case {
    const char* name;
    Source source;
    std::string pixels;
    std::string warning;  ///< on the import or the export
    bool placed = true;   ///< the GeoTIFF placed like the source
  };
  Source bare, onebit, rotated, tiny;
  bare.transform.reset();
  onebit.creation = {"NBITS=1"};
  onebit.nodata.reset();
  rotated.transform = Transform{500000.1, 4.1, 3.3, 4650000.7, 3.3, -4.1};
  tiny.lines = tiny.cols = 1;
  tiny.nodata.reset();
  std::string dots(60 * 80, '\x01');
  for (std::size_t i = 0; i < dots.size(); i += 2)
    dots[i] = '\0';
  const std::vector<Case> cases = {
      {"bare", bare, contour_pixels(60, 80), "warning: no georeference for"},
      {"onebit", onebit, dots, "is a 1-bit raster"},
      // GDAL opens no file of one byte: the export cannot read the input's place.
      {"tiny", tiny, std::string(1, '\xff'), "GDAL opens no file of one byte", false},
      {"rotated", rotated, contour_pixels(60, 80), ""},
  };
  for (const Case& c : cases) {
    write_geotiff(work_ / "map.tif", c.source, c.pixels);
    const Outcome in = geo("import --overwrite map.tif " + site_rel_ + "/" + c.name);
    ASSERT_EQ(in.status, 0) << c.name << in.err;
    EXPECT_EQ(fs::file_size(site_ / (std::string(c.name) + ".raw")), c.pixels.size()) << c.name;
    ASSERT_EQ(program(c.name).status, 0) << c.name;
    const Outcome out = geo("export " + site_rel_ + "/" + c.name + "_venc8 " + c.name + ".tif");
    ASSERT_EQ(out.status, 0) << c.name << out.err;
    if (!c.warning.empty()) {
      EXPECT_NE((in.err + out.err).find(c.warning), std::string::npos)
          << c.name << in.err << out.err;
    }
    const Read tif = read_raster(work_ / (std::string(c.name) + ".tif"));
    EXPECT_EQ(tif.has_transform, c.source.transform.has_value() && c.placed) << c.name;
    if (tif.has_transform) {
      EXPECT_EQ(tif.transform, *c.source.transform) << c.name;
    }
  }
}

// `clean` gives, pixel for pixel and byte for byte, what import, the program and export give,
// with the deburring answer it is told, and the report the program prints.
TEST_F(GeoTool, CleanEqualsImportTheProgramAndExport) {
  imported();
  for (const bool deburring : {true, false}) {
    const Outcome cleaned = program("dem1", deburring ? "0" : "1");
    ASSERT_EQ(cleaned.status, 0);
    ASSERT_EQ(geo("export --overwrite " + site_rel_ + "/dem1_venc8 steps.tif").status, 0);
    const Outcome one = geo(std::string("clean --overwrite map.tif one.tif --report report.txt") +
                            (deburring ? "" : " --no-deburring"));
    ASSERT_EQ(one.status, 0) << one.err;
    EXPECT_EQ(support::read_file(work_ / "one.tif"), support::read_file(work_ / "steps.tif"))
        << "deburring " << deburring;
    const std::string report = support::read_file(work_ / "report.txt");
    const std::size_t ebarbulation = report.find("\n\tEbarbulation");
    EXPECT_EQ(ebarbulation != std::string::npos, deburring);
    EXPECT_NE(cleaned.out.find(report.substr(0, ebarbulation)), std::string::npos);
    if (deburring) {
      EXPECT_NE(cleaned.out.find(report.substr(ebarbulation)), std::string::npos);
    }
  }
  const Outcome to_error = geo("clean --overwrite map.tif one.tif --report -");
  EXPECT_NE(to_error.err.find("Total number of contour lines"), std::string::npos);
  const std::set<std::string> before = files();
  for (const char* args : {"clean map.tif one.tif", "clean --overwrite map.tif map.tif",
                           "clean --overwrite map.tif two.tif --report map.tif"}) {
    EXPECT_EQ(geo(args).status, 1) << args;
    EXPECT_EQ(files(), before) << args;
  }
}

// The library's rules, on inputs a round trip does not reach.

TEST(PixelSize, IsTheRoundedPixelWidthWithAWarningForEachApproximation) {
  struct Case {
    Transform t;
    bool georeferenced;
    int size;
    std::string warning;
  };
  const std::vector<Case> cases = {
      {utm_5m, true, 5, ""},
      {{0, 3, 4, 0, 4, -3}, true, 5, ""},  // rotated: columns and rows both 5 units apart
      {{0, 2.5, 0, 0, 0, -2.5}, true, 3, "the pixel width 2.5 is not a whole number"},
      {{0, 5, 0, 0, 0, -4}, true, 5, "the pixels are not square (5 by 4 CRS units)"},
      {{0, 0.0001, 0, 0, 0, -0.0001}, true, 0, "the pixel width 0.0001 is not a whole number"},
      {utm_5m, false, 1, "the source has no georeference: pixel size 1"},
  };
  for (const Case& c : cases) {
    std::ostringstream log;
    const gis::Georef g{c.t, c.georeferenced, std::nullopt};
    EXPECT_EQ(gis::pixel_size(g, log), c.size) << log.str();
    if (c.warning.empty()) {
      EXPECT_EQ(log.str(), "");
    } else {
      EXPECT_NE(log.str().find(c.warning), std::string::npos) << log.str();
    }
  }
  std::ostringstream log;
  EXPECT_THROW(gis::pixel_size({{0, 1e12, 0, 0, 0, -1e12}, true, std::nullopt}, log), gis::Error);
}

/// The candidates as strings (GoogleTest cannot print paths), "!" marking one out of the root.
std::vector<std::string> candidates(const std::string& built,
                                    const std::optional<fs::path>& images_root,
                                    const fs::path& result_dir) {
  std::vector<std::string> found;
  for (const geo::Candidate& c : geo::input_image_candidates(built, images_root, result_dir))
    found.push_back(c.path.string() + (c.outside_root ? "!" : ""));
  return found;
}

TEST(InputImage, IsLookedForBesideTheResultThenWhereTheProgramOpensIt) {
  const std::string built = "C:\\images\\site\\dem1.raw";
  const std::string mapped = torvanelle::host_path(built);
  EXPECT_EQ(candidates(built, std::nullopt, "out"),
            (std::vector<std::string>{"out/dem1.raw", mapped}));
  EXPECT_EQ(candidates(built, fs::path("/data/survey"), "out"),
            (std::vector<std::string>{"out/dem1.raw", "/data/survey/site/dem1.raw"}));
  EXPECT_EQ(candidates(built, std::nullopt, fs::path(mapped).parent_path()),
            std::vector<std::string>{mapped});
  EXPECT_EQ(candidates("C:\\images\\..\\..\\etc\\dem1.raw", fs::path("/data"), "out"),
            (std::vector<std::string>{"out/dem1.raw", "/data/../../etc/dem1.raw!"}));
}

}  // namespace
