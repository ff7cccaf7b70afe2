#include "vector/tool/options.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <filesystem>

namespace torvanelle::vect::tool {

const char* const usage =
    "Usage: torvanelle-vect SOURCE OUTPUT [--format NAME] [--layer NAME]\n"
    "                       [--base B --interval I] [--min-branch N] [--simplify T]\n"
    "                       [--overwrite] [--quiet]\n"
    "\n"
    "Turns a raster of contour numbers (one band, 8 bits: 0 to 254 a contour number, 255 or the\n"
    "band's nodata value none) into contour lines: one LineString per line piece, with its\n"
    "contour number in the attribute `number`.\n"
    "\n"
    "  SOURCE            any single-band 8-bit raster GDAL reads\n"
    "  OUTPUT            the vector file to write; its georeference and CRS are the source's\n"
    "  --format NAME     OGR driver (default: from OUTPUT's extension: .gpkg GPKG,\n"
    "                    .geojson or .json GeoJSON, .shp ESRI Shapefile, .fgb FlatGeobuf)\n"
    "  --layer NAME      layer name (default: contours)\n"
    "  --base B --interval I\n"
    "                    also write `elevation` = B + number x I\n"
    "  --min-branch N    prune branches shorter than N pixels at junctions (default: 3)\n"
    "  --simplify T      Douglas-Peucker with tolerance T pixels (default: none; every\n"
    "                    vertex is a pixel centre)\n"
    "  --overwrite       replace OUTPUT if it exists\n"
    "  --quiet           no progress on standard error\n"
    "  --help            print this and exit\n";

namespace {

/// The whole of `word` as a number of type T, or nothing.
template <class T>
std::optional<T> number(const std::string& word) {
  T value{};
  const char* end = word.data() + word.size();
  const auto [ptr, ec] = std::from_chars(word.data(), end, value);
  if (ec != std::errc() || ptr != end || word.empty()) return std::nullopt;
  return value;
}

struct Reader {
  const std::vector<std::string>& words;
  std::size_t at = 0;
  std::string& error;

  /// The value after option `name`, or nothing (with `error` set) when the words end.
  std::optional<std::string> value(const std::string& name) {
    if (at + 1 >= words.size()) {
      error = name + " needs a value";
      return std::nullopt;
    }
    return words[++at];
  }

  /// The value after option `name` as a finite number of type T within [low, high].
  template <class T>
  std::optional<T> number_value(const std::string& name, T low, T high) {
    const std::optional<std::string> word = value(name);
    if (!word) return std::nullopt;
    const std::optional<T> n = number<T>(*word);
    if (!n || !std::isfinite(static_cast<double>(*n)) || *n < low || *n > high) {
      error =
          name + " takes a number" + (low == 0 ? " of 0 or more" : "") + ", not '" + *word + "'";
      return std::nullopt;
    }
    return n;
  }
};

/// Reads option words[r.at] into `o`; false with r.error set when it cannot.
bool read_option(Reader& r, ToolOptions& o) {
  const std::string& name = r.words[r.at];
  constexpr double any = 1e300;
  if (name == "--overwrite") return o.overwrite = true;
  if (name == "--quiet") return o.quiet = true;
  if (name == "--help" || name == "-h") return o.help = true;
  if (name == "--format" || name == "--layer") {
    const std::optional<std::string> v = r.value(name);
    if (v) (name == "--format" ? o.format : o.layer) = *v;
    return v.has_value();
  }
  if (name == "--base" || name == "--interval") {
    const std::optional<double> v = r.number_value<double>(name, -any, any);
    if (v) (name == "--base" ? o.base : o.interval) = *v;
    return v.has_value();
  }
  if (name == "--min-branch") {
    const std::optional<int> v = r.number_value<int>(name, 0, 1 << 30);
    if (v) o.min_branch = *v;
    return v.has_value();
  }
  if (name == "--simplify") {
    const std::optional<double> v = r.number_value<double>(name, 0.0, any);
    if (v) o.simplify = *v;
    return v.has_value();
  }
  r.error = "unknown option " + name;
  return false;
}

/// The checks that need every word read.
bool complete(ToolOptions& o, std::size_t files, std::string& error) {
  if (files != 2) {
    error = files < 2 ? "give a SOURCE raster and an OUTPUT vector file"
                      : "give one SOURCE and one OUTPUT, no more";
    return false;
  }
  if (o.base.has_value() != o.interval.has_value()) {
    error = "--base and --interval go together";
    return false;
  }
  if (o.format.empty()) o.format = format_for(o.output);
  if (o.format.empty()) {
    error = "cannot tell the vector format of '" + o.output +
            "' from its extension: name it with --format";
    return false;
  }
  if (o.layer.empty()) {
    error = "--layer needs a name";
    return false;
  }
  return true;
}

}  // namespace

std::optional<ToolOptions> parse_options(const std::vector<std::string>& words,
                                         std::string& error) {
  ToolOptions o;
  Reader r{words, 0, error};
  std::size_t files = 0;
  for (; r.at < words.size(); ++r.at) {
    const std::string& w = words[r.at];
    if (w.size() > 1 && w[0] == '-') {
      if (!read_option(r, o)) return std::nullopt;
      if (o.help) return o;
      continue;
    }
    if (files == 0) o.source = w;
    if (files == 1) o.output = w;
    ++files;
  }
  if (!complete(o, files, error)) return std::nullopt;
  return o;
}

std::string format_for(const std::string& path) {
  std::string ext = std::filesystem::path(path).extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  struct Known {
    const char* ext;
    const char* driver;
  };
  static constexpr Known known[] = {
      {".gpkg", "GPKG"},          {".geojson", "GeoJSON"}, {".json", "GeoJSON"},
      {".shp", "ESRI Shapefile"}, {".fgb", "FlatGeobuf"},
  };
  for (const Known& k : known) {
    if (ext == k.ext) return k.driver;
  }
  return "";
}

}  // namespace torvanelle::vect::tool
