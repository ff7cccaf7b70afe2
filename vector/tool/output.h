// The vector file that torvanelle-vect writes, through OGR, whole or not at all.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "vector/lines.h"
#include "vector/tool/options.h"
#include "vector/tool/progress.h"
#include "vector/tool/source.h"

namespace torvanelle::vect::tool {

/// Why the output cannot be written where and how the options say ("" when it can): its folder
/// is missing, it exists and --overwrite was not given, or the format is not an OGR driver that
/// creates vector files. Needs GDAL's drivers registered.
std::string unwritable(const ToolOptions& o);

/// A fresh hidden folder beside the output, where the output is written first; removed, with
/// whatever is left in it, when the object goes. So a run that fails or is stopped never leaves
/// a half-written output under the output's name.
class PendingOutput {
 public:
  /// Creates the folder; `error` says why when it cannot (then path() is empty).
  PendingOutput(const std::filesystem::path& output, std::string& error);
  ~PendingOutput();
  PendingOutput(const PendingOutput&) = delete;
  PendingOutput& operator=(const PendingOutput&) = delete;

  /// Where to write: the output's name inside the folder.
  std::filesystem::path path() const;

  /// Moves the files written in the folder beside the output, each replacing any file of that
  /// name at once; with `overwrite`, the old output's other files (a shapefile's .prj, say)
  /// go too. False, with `error` set, when a file cannot be moved.
  bool commit(bool overwrite, std::string& error);

 private:
  std::filesystem::path output_;
  std::filesystem::path folder_;
};

/// Writes `lines` to a new vector dataset at `path` in the options' format: one layer of
/// LineString features, each with `number` and, given a base and interval, `elevation`; the
/// vertices are pixel centres placed by the source's georeference, the layer takes its CRS.
/// A line of one pixel is written with its vertex twice. False, with `error` set, on failure.
bool write_lines(const std::filesystem::path& path, const ToolOptions& o, const Source& source,
                 const std::vector<Line>& lines, std::string& error, Progress& progress);

}  // namespace torvanelle::vect::tool
