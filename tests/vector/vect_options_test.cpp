// The command line of torvanelle-vect: every option read, every malformed line refused with
// status 2 and its message.
#include "tools/vect/options.h"

#include <gtest/gtest.h>

#include <sstream>

#include "cli/cli.h"
#include "tools/vect/run.h"

namespace {

using torvanelle::vect::tool::format_for;
using torvanelle::vect::tool::ToolOptions;

/// The options `words` give, or nothing when they are not understood.
std::optional<ToolOptions> parse(std::vector<const char*> words) {
  CLI::App app{"", "torvanelle-vect"};
  torvanelle::cli::follow_convention(app);
  ToolOptions o;
  torvanelle::vect::tool::declare(app, o);
  words.insert(words.begin(), "torvanelle-vect");
  std::ostringstream out, err;
  if (torvanelle::cli::parse(app, static_cast<int>(words.size()), words.data(), out, err))
    return std::nullopt;
  if (!torvanelle::vect::tool::complete(o).empty()) return std::nullopt;
  return o;
}

TEST(VectOptions, DefaultsAndEveryOption) {
  const auto plain = parse({"in.tif", "out.gpkg"});
  ASSERT_TRUE(plain);
  EXPECT_EQ(plain->source, "in.tif");
  EXPECT_EQ(plain->output, "out.gpkg");
  EXPECT_EQ(plain->format, "GPKG");
  EXPECT_EQ(plain->layer, "contours");
  EXPECT_EQ(plain->min_branch, 3);
  EXPECT_EQ(plain->simplify, 0);
  EXPECT_EQ(plain->bridge, 0);
  EXPECT_EQ(plain->min_length, 2);
  EXPECT_FALSE(plain->base || plain->interval || plain->overwrite || plain->quiet ||
               plain->straight_bridges);

  const auto all = parse({"--overwrite", "in.tif",       "--format", "GeoJSON",      "out.txt",
                          "--layer",     "iso",          "--base",   "-120.5",       "--interval",
                          "2.5",         "--min-branch", "0",        "--simplify",   "1.5",
                          "--quiet",     "--bridge",     "30",       "--min-length", "5"});
  ASSERT_TRUE(all);
  EXPECT_EQ(all->format, "GeoJSON");
  EXPECT_EQ(all->layer, "iso");
  EXPECT_EQ(*all->base, -120.5);
  EXPECT_EQ(*all->interval, 2.5);
  EXPECT_EQ(all->min_branch, 0);
  EXPECT_EQ(all->simplify, 1.5);
  EXPECT_EQ(all->bridge, 30);
  EXPECT_EQ(all->min_length, 5);
  EXPECT_TRUE(all->overwrite && all->quiet);
  EXPECT_TRUE(parse({"in.tif", "out.gpkg", "--straight-bridges"})->straight_bridges);
}

// Every malformed command line: status 2, its message (with the accepted range for a number),
// then the hint.
TEST(VectOptions, Errors) {
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"in.tif"}, "OUTPUT is required"},
      {{"in.tif", "out.gpkg", "--colour"}, "--colour"},
      {{"in.tif", "out.gpkg", "--layer", ""}, "--layer needs a name"},
      {{"in.tif", "out.gpkg", "--min-branch", "-1"},
       "--min-branch: must be a whole number from 0 to 1000000, not '-1'"},
      {{"in.tif", "out.gpkg", "--simplify", "nan"},
       "--simplify: must be a number from 0 to 1000000, not 'nan'"},
      {{"in.tif", "out.gpkg", "--base", "1e308", "--interval", "1"},
       "--base: must be a number from -1000000000 to 1000000000, not '1e308'"},
      {{"in.tif", "out.gpkg", "--base", "10"}, "--base requires --interval"},
      {{"in.tif", "out.gpkg", "--base", "0", "--interval", "0"},
       "--interval: must be a number from 1e-06 to 1000000, not '0'"},
      {{"in.tif", "out.gpkg", "--base", "0", "--interval", "-5"},
       "--interval: must be a number from 1e-06 to 1000000, not '-5'"},
      {{"in.tif", "out.gpkg", "--min-length", "-1"},
       "--min-length: must be a number from 0 to 1000000, not '-1'"},
      {{"in.tif", "out.gpkg", "--bridge", "5000"},
       "--bridge: must be a number from 0 to 1000, not '5000'"},
      {{"in.tif", "out.dat"},
       "cannot tell the vector format of 'out.dat' from its extension: name it with --format"},
  };
  for (const auto& [words, message] : cases) {
    std::ostringstream out, err;
    EXPECT_EQ(torvanelle::vect::tool::run(words, out, err), 2) << message;
    EXPECT_NE(err.str().find(message), std::string::npos) << err.str();
    EXPECT_NE(err.str().find("\nTry 'torvanelle-vect --help'.\n"), std::string::npos) << err.str();
  }
}

// The extensions the README names, in any case; any other needs --format.
TEST(VectOptions, FormatFromTheExtension) {
  const std::vector<std::pair<std::string, std::string>> cases = {{"a/b.gpkg", "GPKG"},
                                                                  {"B.GPKG", "GPKG"},
                                                                  {"c.geojson", "GeoJSON"},
                                                                  {"c.json", "GeoJSON"},
                                                                  {"d.shp", "ESRI Shapefile"},
                                                                  {"e.fgb", "FlatGeobuf"},
                                                                  {"gpkg", ""},
                                                                  {"f.tif", ""}};
  for (const auto& [path, driver] : cases)
    EXPECT_EQ(format_for(path), driver) << path;
}

}  // namespace
