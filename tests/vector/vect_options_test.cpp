#include "vector/tool/options.h"

#include <gtest/gtest.h>

namespace {

using torvanelle::vect::tool::format_for;
using torvanelle::vect::tool::parse_options;
using torvanelle::vect::tool::ToolOptions;

std::optional<ToolOptions> parse(const std::vector<std::string>& words, std::string& error) {
  return parse_options(words, error);
}

TEST(VectOptions, DefaultsAndEveryOption) {
  std::string error;
  const auto plain = parse({"in.tif", "out.gpkg"}, error);
  ASSERT_TRUE(plain) << error;
  EXPECT_EQ(plain->source, "in.tif");
  EXPECT_EQ(plain->output, "out.gpkg");
  EXPECT_EQ(plain->format, "GPKG");
  EXPECT_EQ(plain->layer, "contours");
  EXPECT_EQ(plain->min_branch, 3);
  EXPECT_EQ(plain->simplify, 0);
  EXPECT_FALSE(plain->base || plain->interval || plain->overwrite || plain->quiet);

  const auto all =
      parse({"--overwrite", "in.tif", "--format", "GeoJSON", "out.txt", "--layer", "iso", "--base",
             "-120.5", "--interval", "2.5", "--min-branch", "0", "--simplify", "1.5", "--quiet"},
            error);
  ASSERT_TRUE(all) << error;
  EXPECT_EQ(all->format, "GeoJSON");
  EXPECT_EQ(all->layer, "iso");
  EXPECT_EQ(*all->base, -120.5);
  EXPECT_EQ(*all->interval, 2.5);
  EXPECT_EQ(all->min_branch, 0);
  EXPECT_EQ(all->simplify, 1.5);
  EXPECT_TRUE(all->overwrite && all->quiet);
  EXPECT_TRUE(parse({"--help"}, error)->help);
}

// Every malformed command line, with the exact message it gets.
TEST(VectOptions, Errors) {
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{}, "give a SOURCE raster and an OUTPUT vector file"},
      {{"in.tif"}, "give a SOURCE raster and an OUTPUT vector file"},
      {{"a.tif", "b.gpkg", "c.gpkg"}, "give one SOURCE and one OUTPUT, no more"},
      {{"in.tif", "out.gpkg", "--colour"}, "unknown option --colour"},
      {{"in.tif", "out.gpkg", "--layer"}, "--layer needs a value"},
      {{"in.tif", "out.gpkg", "--layer", ""}, "--layer needs a name"},
      {{"in.tif", "out.gpkg", "--min-branch", "-1"},
       "--min-branch takes a number of 0 or more, not '-1'"},
      {{"in.tif", "out.gpkg", "--min-branch", "3px"},
       "--min-branch takes a number of 0 or more, not '3px'"},
      {{"in.tif", "out.gpkg", "--simplify", "nan"},
       "--simplify takes a number of 0 or more, not 'nan'"},
      {{"in.tif", "out.gpkg", "--base", "ten", "--interval", "1"},
       "--base takes a number, not 'ten'"},
      {{"in.tif", "out.gpkg", "--base", "10"}, "--base and --interval go together"},
      {{"in.tif", "out.gpkg", "--interval", "10"}, "--base and --interval go together"},
      {{"in.tif", "out.dat"},
       "cannot tell the vector format of 'out.dat' from its extension: name it with --format"},
  };
  for (const auto& [words, message] : cases) {
    std::string error;
    EXPECT_FALSE(parse(words, error)) << message;
    EXPECT_EQ(error, message);
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
