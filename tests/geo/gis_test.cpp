// The GDAL side of the tools' sources and outputs: the host files a source is made of, whatever
// name GDAL opens it by; the files an earlier output leaves; the format an output's name asks
// for; a write that fails only when GDAL closes the file.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <csignal>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>

#include <cpl_string.h>

#include "devtools/support.h"
#include "gdal_environment.h"
#include "gis/datasets.h"
#include "gis/gdal.h"
#include "gis/raster_output.h"

namespace gis = torvanelle::gis;

namespace {

namespace fs = std::filesystem;

/// A 4 x 4 GeoTIFF at `path`, placed, written through GDAL.
void write_tiff(const fs::path& path) {
  GDALDatasetUniquePtr d(
      gis::driver("GTiff").Create(path.string().c_str(), 4, 4, 1, GDT_Byte, nullptr));
  double t[6] = {0, 1, 0, 4, 0, -1};
  d->SetGeoTransform(t);
}

std::set<std::string> names(const std::vector<fs::path>& files) {
  std::set<std::string> found;
  for (const fs::path& f : files)
    found.insert(f.filename().string());
  return found;
}

// A source adds every host file it is made of, by whatever name GDAL opens it.
TEST(Sources, HoldEveryFileADatasetIsMadeOf) {
  support::ScratchDir scratch;
  const fs::path dir = scratch.path();
  write_tiff(dir / "m.tif");
  {
    GDALDatasetUniquePtr m(GDALDataset::Open((dir / "m.tif").string().c_str()));
    GDALDatasetUniquePtr vrt(gis::driver("VRT").CreateCopy(
        (dir / "v.vrt").string().c_str(), m.get(), FALSE, nullptr, nullptr, nullptr));
    GDALDatasetUniquePtr gpkg(gis::driver("GPKG").CreateCopy(
        (dir / "g.gpkg").string().c_str(), m.get(), FALSE, nullptr, nullptr, nullptr));
  }
  ASSERT_EQ(std::system(("cd '" + dir.string() + "' && tar cf a.tar m.tif").c_str()), 0);
  struct Case {
    std::string name;
    fs::path holds;
  };
  const Case cases[] = {
      {(dir / "v.vrt").string(), dir / "m.tif"},
      {"/vsitar/" + (dir / "a.tar").string() + "/m.tif", dir / "a.tar"},
      {"GPKG:" + (dir / "g.gpkg").string() + ":g", dir / "g.gpkg"},
  };
  std::ostringstream log;
  gis::ErrorTrap trap(log);
  for (const Case& c : cases) {
    torvanelle::cli::Sources sources;
    gis::open_source(c.name, GDAL_OF_RASTER, trap, sources);
    EXPECT_TRUE(sources.holds(c.holds)) << c.name;
  }
  torvanelle::cli::Sources sources;
  EXPECT_THROW(gis::open_source((dir / "none.tif").string(), GDAL_OF_RASTER, trap, sources),
               gis::Error);
  EXPECT_THROW(gis::open_source("/vsizip/" + (dir / "none.zip").string() + "/m.tif", GDAL_OF_RASTER,
                                trap, sources),
               gis::Error);
}

// What an output replaces: the dataset's files and its sidecars, not a neighbour's.
TEST(GdalOutputs, AReplacedDatasetsFamilyHoldsItsSidecars) {
  support::ScratchDir scratch;
  const fs::path dir = scratch.path();
  write_tiff(dir / "r.tif");
  {
    GDALDatasetUniquePtr l(
        gis::driver("ESRI Shapefile")
            .Create((dir / "l.shp").string().c_str(), 0, 0, 0, GDT_Unknown, nullptr));
    l->CreateLayer("l", nullptr, wkbLineString, nullptr);
  }
  for (const char* f :
       {"r.tif.aux.xml", "r.tfw", "r.hdr", "l.sbn", "l.sbx", "l.cpg", "l.shp.xml", "l2.dbf"})
    support::write_file(dir / f, "");
  EXPECT_EQ(names(gis::dataset_family(dir / "r.tif")),
            (std::set<std::string>{"r.tif", "r.tif.aux.xml", "r.tfw"}));
  EXPECT_EQ(
      names(gis::dataset_family(dir / "l.shp")),
      (std::set<std::string>{"l.shp", "l.shx", "l.dbf", "l.sbn", "l.sbx", "l.cpg", "l.shp.xml"}));
}

// An output's format follows --format, else its extension in any case; never a GeoTIFF under
// another format's name.
TEST(GdalOutputs, TheFormatFollowsTheNameOrFormat) {
  struct Case {
    std::string path, format, kind, driver;  ///< driver empty: refused
  };
  const Case cases[] = {
      {"a.tif", "", GDAL_DCAP_RASTER, "GTiff"},
      {"a.TIFF", "", GDAL_DCAP_RASTER, "GTiff"},
      {"a", "", GDAL_DCAP_RASTER, "GTiff"},
      {"a.png", "", GDAL_DCAP_RASTER, "PNG"},
      {"a.ASC", "", GDAL_DCAP_RASTER, "AAIGrid"},
      {"a.gpkg", "", GDAL_DCAP_RASTER, "GPKG"},
      {"a.dat", "png", GDAL_DCAP_RASTER, "PNG"},
      {"a.xyzq", "", GDAL_DCAP_RASTER, ""},
      {"a.vrt", "", GDAL_DCAP_RASTER, ""},
      {"a.tif", "nosuch", GDAL_DCAP_RASTER, ""},
      {"a.SHP", "", GDAL_DCAP_VECTOR, "ESRI Shapefile"},
      {"a.tif", "", GDAL_DCAP_VECTOR, ""},
  };
  for (const Case& c : cases) {
    try {
      EXPECT_EQ(gis::output_driver(c.path, c.format, c.kind.c_str()).GetDescription(), c.driver)
          << c.path;
    } catch (const gis::Error& e) {
      EXPECT_EQ(c.driver, "") << c.path << ": " << e.what();
    }
  }
}

// A raster whose tiles reach the disk only as the file closes fails then, and so does a format
// that would change the pixels.
TEST(GdalOutputs, ARasterIsReadBackBeforeItCounts) {
  support::ScratchDir scratch;
  const fs::path dir = scratch.path();
  std::ostringstream log;
  gis::ErrorTrap trap(log);
  gis::Georef g;
  std::vector<std::uint8_t> pixels(256 * 256);
  for (std::size_t i = 0; i < pixels.size(); ++i)
    pixels[i] = static_cast<std::uint8_t>(i * 7919 % 251);
  const auto write = [&](const char* format, const fs::path& path) {
    gis::RasterOutput out(gis::driver(format), path, 256, 256, GDT_Byte, CPLStringList(), trap,
                          path);
    out.write(0, 256, pixels.data());
    out.finish(g);
  };
  EXPECT_NO_THROW(write("GTiff", dir / "whole.tif"));
  EXPECT_NO_THROW(write("PNG", dir / "whole.png"));
  EXPECT_THROW(write("JPEG", dir / "lossy.jpg"), gis::Error);
  // A disk that fills after 4 KiB: the 64 KiB of pixels sit in GDAL's cache until the close.
  rlimit before{};
  getrlimit(RLIMIT_FSIZE, &before);
  const auto ignored = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = before;
  small.rlim_cur = 4096;
  setrlimit(RLIMIT_FSIZE, &small);
  EXPECT_THROW(write("GTiff", dir / "full.tif"), gis::Error);
  setrlimit(RLIMIT_FSIZE, &before);
  std::signal(SIGXFSZ, ignored);
}

}  // namespace
