// The GDAL tools' shared support, on cases the tools' own tests do not reach: the destination
// guards (links, other spellings of one path) and the staging of a family of files.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <sstream>
#include <string>

#include "gis/gdal.h"
#include "gis/staging.h"
#include "support.h"

namespace {

namespace fs = std::filesystem;

std::set<std::string> names(const fs::path& dir) {
  std::set<std::string> found;
  for (const auto& e : fs::directory_iterator(dir))
    found.insert(e.path().filename().string());
  return found;
}

// Each destination: refused (with its message) or let through.
TEST(Destination, IsRefusedWhenItIsTheSourceOrTakenOrHasNoFolder) {
  support::ScratchDir scratch;
  const fs::path dir = scratch.path();
  support::write_file(dir / "source.tif", "pixels");
  support::write_file(dir / "taken.gpkg", "lines");
  fs::create_symlink(dir / "source.tif", dir / "link.tif");
  fs::create_hard_link(dir / "source.tif", dir / "hard.tif");
  fs::create_symlink(dir / "nowhere", dir / "dangling.gpkg");
  struct Case {
    fs::path output;
    bool overwrite;
    std::string refusal;  ///< empty: let through
  };
  const std::vector<Case> cases = {
      {dir / "new.gpkg", false, ""},
      {dir / "taken.gpkg", true, ""},
      {dir / "taken.gpkg", false, "taken.gpkg exists: give --overwrite"},
      {dir / "dangling.gpkg", false, "dangling.gpkg exists"},
      {dir / "source.tif", true, "source.tif is the source"},
      {dir / "link.tif", true, "link.tif is the source"},
      {dir / "hard.tif", true, "hard.tif is the source"},
      {dir / "." / "source.tif", true, "is the source"},
      {dir / "missing" / "out.gpkg", true, "the folder " + (dir / "missing").string()},
  };
  for (const Case& c : cases) {
    try {
      gis::check_destination(c.output, c.overwrite, {dir / "source.tif"});
      EXPECT_EQ(c.refusal, "") << c.output;
    } catch (const gis::Error& e) {
      EXPECT_NE(c.refusal, "") << c.output << ": " << e.what();
      EXPECT_NE(std::string(e.what()).find(c.refusal), std::string::npos) << e.what();
    }
  }
}

// A family moves together, or not at all when one member would replace a file without
// --overwrite or the source with it; an abandoned staging leaves nothing.
TEST(Staging, MovesTheWholeFamilyOrNothing) {
  support::ScratchDir scratch;
  const fs::path dir = scratch.path();
  support::write_file(dir / "l.dbf", "old table");
  std::ostringstream log;
  gis::ErrorTrap trap(log);
  const auto stage = [&](gis::Staging& s) {
    for (const char* ext : {".shp", ".shx", ".dbf"})
      support::write_file(s.file(std::string("l") + ext), ext);
  };
  {
    gis::Staging s(dir / "l.shp", trap);
    stage(s);
    EXPECT_THROW(s.commit(false, {}), gis::Error);
    EXPECT_THROW(s.commit(true, {dir / "l.dbf"}), gis::Error);
    EXPECT_EQ(support::read_file(dir / "l.dbf"), "old table");
  }
  EXPECT_EQ(names(dir), std::set<std::string>{"l.dbf"}) << "nothing but the old file is left";
  {
    gis::Staging s(dir / "l.shp", trap);
    stage(s);
    EXPECT_EQ(trap.shown(s.path().string()), (dir / "l.shp").string())
        << "GDAL's messages name the user's folder";
    s.commit(true, {});
  }
  EXPECT_EQ(names(dir), (std::set<std::string>{"l.dbf", "l.shp", "l.shx"}));
  EXPECT_EQ(support::read_file(dir / "l.dbf"), ".dbf");
}

}  // namespace
