#include "tools/geo/gdal_support.h"

#include <cpl_conv.h>

namespace geo {

GdalSession::GdalSession() {
  CPLSetConfigOption("GDAL_PAM_ENABLED", "NO");
  GDALAllRegister();
}

// Frees the drivers, the PROJ context and GDAL's caches, so that a leak checker sees only
// what this program itself failed to free.
GdalSession::~GdalSession() { GDALDestroy(); }

ErrorTrap::ErrorTrap(std::ostream& warnings) : warnings_(warnings) {
  CPLPushErrorHandlerEx(&ErrorTrap::handle, this);
}

ErrorTrap::~ErrorTrap() { CPLPopErrorHandler(); }

std::string ErrorTrap::take() {
  std::string taken;
  taken.swap(failure_);
  return taken;
}

void CPL_STDCALL ErrorTrap::handle(CPLErr kind, CPLErrorNum, const char* message) {
  auto* trap = static_cast<ErrorTrap*>(CPLGetErrorHandlerUserData());
  if (kind == CE_Warning) {
    trap->warnings_ << "warning (GDAL): " << message << '\n';
  } else if (kind >= CE_Failure && trap->failure_.empty()) {
    trap->failure_ = message;
  }
}

Error failure(ErrorTrap& trap, const std::string& what) {
  const std::string why = trap.take();
  return Error(why.empty() ? what : what + ": " + why);
}

GDALDatasetUniquePtr open_raster(const std::filesystem::path& path, ErrorTrap& trap) {
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) throw Error(path.string() + ": no such file");
  GDALDatasetUniquePtr ds(GDALDataset::Open(
      path.string().c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY | GDAL_OF_VERBOSE_ERROR));
  if (!ds) throw failure(trap, "cannot read " + path.string());
  return ds;
}

GDALDriver& driver(const char* name) {
  GDALDriver* d = GetGDALDriverManager()->GetDriverByName(name);
  if (d == nullptr) throw Error(std::string("this GDAL has no ") + name + " driver");
  return *d;
}

void close(GDALDatasetUniquePtr& ds, ErrorTrap& trap, const std::filesystem::path& path) {
  trap.take();
  ds.reset();
  const std::string why = trap.take();
  if (!why.empty()) throw Error("cannot write " + path.string() + ": " + why);
}

Progress::Progress(std::ostream& out, std::string label, std::chrono::milliseconds delay)
    : out_(out),
      label_(std::move(label)),
      start_(std::chrono::steady_clock::now()),
      delay_(delay) {}

void Progress::update(double fraction) {
  if (tenths_shown_ < 0) {
    if (std::chrono::steady_clock::now() - start_ < delay_) return;
    out_ << label_ << ": ";
  }
  const int tenths = static_cast<int>(fraction * 10 + 1e-9);
  for (int t = tenths_shown_ + 1; t <= tenths && t <= 10; ++t)
    out_ << t * 10 << (t == 10 ? " - done.\n" : "...");
  if (tenths > tenths_shown_) tenths_shown_ = tenths;
  out_.flush();
}

}  // namespace geo
