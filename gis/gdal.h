// GDAL as every companion tool uses it: the library's lifetime, its messages turned into errors
// that name the user's files, datasets opened and closed with their failures reported, and
// progress through GDAL's own progress functions.
//
// One error style for all the tools: the library throws gis::Error, whose text names the user's
// file and says what went wrong; warnings go to the stream the caller gives; only a tool's main
// decides the exit status (0 done, 1 failed or refused, 2 command line not understood).
#pragma once

#include <filesystem>
#include <ostream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include <cpl_error.h>
#include <cpl_progress.h>
#include <gdal_priv.h>

#include "cli/outputs.h"

namespace torvanelle::gis {

/// A failure that ends a command; what() says what went wrong and names the file.
using Error = torvanelle::cli::Error;

/// GDAL from driver registration to GDALDestroy(): one per process, held by main or a test
/// environment. Also turns off the .aux.xml files GDAL would otherwise leave beside the rasters
/// it opens, so that a command writes only the files it names.
class GdalSession {
 public:
  GdalSession();
  ~GdalSession();
  GdalSession(const GdalSession&) = delete;
  GdalSession& operator=(const GdalSession&) = delete;
};

/// Takes over GDAL's messages on this thread for its life: failures are kept for the next
/// Error, warnings go to `warnings` prefixed "warning (GDAL): ". PROJ's messages (its database
/// missing, a CRS it cannot build) come as warnings, yet mean a coordinate system read or written
/// wrong: they are shown and also kept for raise_pending(). Nothing reaches GDAL's default
/// handler, which would print "ERROR 4: ..." lines of its own. A path GDAL names that the trap
/// was told to show as another (a scratch folder as the user's folder) is shown so.
class ErrorTrap {
 public:
  explicit ErrorTrap(std::ostream& warnings);
  ~ErrorTrap();
  ErrorTrap(const ErrorTrap&) = delete;
  ErrorTrap& operator=(const ErrorTrap&) = delete;

  /// The first failure GDAL reported since construction or the last take(), then forgets it;
  /// empty when there was none.
  std::string take();

  /// Throws the failure GDAL reported and nobody took, or PROJ's first complaint, as `what` +
  /// ": " + it: a failure that did not stop a call (a coordinate system that PROJ could not
  /// resolve) still fails the command rather than change its result unseen.
  void raise_pending(const std::string& what);

  /// From now on, `from` in GDAL's messages reads `to`.
  void show_as(const std::string& from, const std::string& to);
  /// `text` with every path told to show_as replaced.
  std::string shown(std::string text) const;

 private:
  static void CPL_STDCALL handle(CPLErr kind, CPLErrorNum number, const char* message);
  std::ostream& warnings_;
  std::string failure_;
  std::string proj_failure_;
  std::vector<std::pair<std::string, std::string>> shown_as_;
};

/// `what` + ": " + the trapped failure, or `what` alone when GDAL said nothing.
Error failure(ErrorTrap& trap, const std::string& what);

/// The registered driver `name` ("GTiff", "ENVI"); throws Error when GDAL has no such driver.
GDALDriver& driver(const char* name);

/// Closes `ds`, writing what it still holds. Throws Error naming `shown_path` when GDAL reports
/// a failure on the way (a full disk, say), after which the file is incomplete.
void close(GDALDatasetUniquePtr& ds, ErrorTrap& trap, const std::filesystem::path& shown_path);

/// A run's progress as GDAL's utilities show it, through GDALTermProgress on standard output
/// ("0...10...20...30...40...50...60...70...80...90...100 - done."), or nothing when quiet.
/// A stage of the run reports into its share of the whole through stage().
class ProgressBar {
 public:
  explicit ProgressBar(bool shown);
  /// Ends a line begun and not done, so that a failure said next stands on a line of its own.
  ~ProgressBar();
  ProgressBar(const ProgressBar&) = delete;
  ProgressBar& operator=(const ProgressBar&) = delete;

  /// A progress function and its data for the part [from, to] of the whole run, as GDAL's
  /// functions take them; valid while the Stage lives.
  class Stage {
   public:
    Stage(const ProgressBar& run, double from, double to);
    ~Stage();
    Stage(const Stage&) = delete;
    Stage& operator=(const Stage&) = delete;
    GDALProgressFunc function() const { return data_ ? GDALScaledProgress : GDALDummyProgress; }
    void* data() const { return data_; }
    /// Reports that `fraction` (0 to 1) of this stage is done.
    void at(double fraction) const { function()(fraction, nullptr, data_); }

   private:
    void* data_;
  };

  Stage stage(double from, double to) const { return Stage(*this, from, to); }
  /// Reports the whole run done.
  void done() const;

 private:
  /// GDALTermProgress, noting that the line has begun or ended.
  static int CPL_STDCALL tick(double fraction, const char* message, void* bar);

  GDALProgressFunc function_;
  mutable bool begun_ = false;
  mutable bool ended_ = false;
};

}  // namespace torvanelle::gis
