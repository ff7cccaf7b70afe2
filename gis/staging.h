// Outputs that appear whole or not at all, and the guards every destination passes.
#pragma once

#include <filesystem>
#include <vector>

#include "gis/gdal.h"

namespace gis {

/// Refuses (Error naming `output`) a destination that a tool must not write: a folder that does
/// not exist; a file that is one of `sources` (the same file, also through a link or another
/// path), with --overwrite too; an existing file, without `overwrite`.
void check_destination(const std::filesystem::path& output, bool overwrite,
                       const std::vector<std::filesystem::path>& sources);

/// A scratch folder beside an output, where a tool writes the output's files (one file, or a
/// family such as a shapefile's .shp .shx .dbf .prj) under their final names; commit() then
/// moves them all into place. Until then the destination stays as it was: a failure, an
/// exception or a signal (SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE, which then end the tool
/// with 128 + n) removes the scratch folder and what is in it. GDAL's messages that name the
/// scratch folder name the output's folder instead.
class Staging {
 public:
  /// Creates the hidden scratch folder in `output`'s folder; throws Error when it cannot.
  Staging(const std::filesystem::path& output, ErrorTrap& trap);
  ~Staging();
  Staging(const Staging&) = delete;
  Staging& operator=(const Staging&) = delete;

  /// Where to write the output.
  std::filesystem::path path() const { return scratch_ / output_.filename(); }
  /// Where to write another file that goes beside the output.
  std::filesystem::path file(const std::filesystem::path& name) const { return scratch_ / name; }

  /// Moves every file written in the scratch folder into the output's folder, each replacing a
  /// file of its name. First, with every file in place still untouched, refuses (Error naming
  /// the user's file) when one of them would replace one of `sources`, or an existing file
  /// without `overwrite`. With `overwrite`, the files of an earlier dataset at the output that
  /// this one does not replace (a shapefile's old .cpg, say) go too.
  void commit(bool overwrite, const std::vector<std::filesystem::path>& sources);

 private:
  std::filesystem::path output_;
  std::filesystem::path scratch_;
  int ticket_ = -1;  ///< the signal handler's registration of scratch_
};

/// Checks a raster written in a Staging before commit: GDAL opens it again, it has `lines` x
/// `cols` pixels and its last row can be read. Throws Error naming `shown` otherwise.
void verify_raster(const std::filesystem::path& written, int lines, int cols,
                   const std::filesystem::path& shown, ErrorTrap& trap);

/// Checks a vector dataset written in a Staging before commit: GDAL opens it again and its
/// layer `layer` holds `features` features. Throws Error naming `shown` otherwise.
void verify_vector(const std::filesystem::path& written, const std::string& layer,
                   long long features, const std::filesystem::path& shown, ErrorTrap& trap);

}  // namespace gis
