// What the GIS tool needs around GDAL: the library's lifetime, its messages turned into errors
// that name the file, and progress for rasters that take more than a moment.
#pragma once

#include <chrono>
#include <filesystem>
#include <ostream>
#include <stdexcept>
#include <string>

#include <cpl_error.h>
#include <gdal_priv.h>

namespace geo {

/// A failure that ends a command; what() says what went wrong and names the file.
class Error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

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
/// Error, warnings go to `warnings` prefixed "warning (GDAL): ". Nothing reaches GDAL's default
/// handler, which would print "ERROR 4: ..." lines of its own.
class ErrorTrap {
 public:
  explicit ErrorTrap(std::ostream& warnings);
  ~ErrorTrap();
  ErrorTrap(const ErrorTrap&) = delete;
  ErrorTrap& operator=(const ErrorTrap&) = delete;

  /// The first failure GDAL reported since construction or the last take(), then forgets it;
  /// empty when there was none.
  std::string take();

 private:
  static void CPL_STDCALL handle(CPLErr kind, CPLErrorNum number, const char* message);
  std::ostream& warnings_;
  std::string failure_;
};

/// `what` + ": " + the trapped failure, or `what` alone when GDAL said nothing.
Error failure(ErrorTrap& trap, const std::string& what);

/// Opens `path` read-only as a raster. Throws Error naming it when it does not exist or GDAL
/// cannot read it.
GDALDatasetUniquePtr open_raster(const std::filesystem::path& path, ErrorTrap& trap);

/// The registered driver `name` ("GTiff", "ENVI"); throws Error when GDAL was built without it.
GDALDriver& driver(const char* name);

/// Closes `ds`, writing what it still holds. Throws Error naming `path` when GDAL reports a
/// failure on the way (a full disk, say), after which the file is incomplete.
void close(GDALDatasetUniquePtr& ds, ErrorTrap& trap, const std::filesystem::path& path);

/// A copy's progress on `out`, as GDAL's utilities show it ("label: 0...10...20...100 - done.").
/// Nothing is shown until the copy has taken `delay`, so that quick rasters print nothing.
class Progress {
 public:
  Progress(std::ostream& out, std::string label,
           std::chrono::milliseconds delay = std::chrono::milliseconds(1000));
  /// Reports that `fraction` (0 to 1) of the work is done; 1 ends the line if one was started.
  void update(double fraction);

 private:
  std::ostream& out_;
  std::string label_;
  std::chrono::steady_clock::time_point start_;
  std::chrono::milliseconds delay_;
  int tenths_shown_ = -1;  ///< the last tenth printed; -1 before the line starts
};

}  // namespace geo
