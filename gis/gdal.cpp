#include "gis/gdal.h"

#include <cpl_conv.h>

#include <cstdio>
#include <string_view>

namespace torvanelle::gis {

GdalSession::GdalSession() {
  CPLSetConfigOption("GDAL_PAM_ENABLED", "NO");
  GDALAllRegister();
}

// Frees the drivers, the PROJ context and GDAL's caches, so that a leak checker sees only
// what the tool itself failed to free.
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

void ErrorTrap::raise_pending(const std::string& what) {
  std::string why = take();
  if (why.empty()) why.swap(proj_failure_);
  if (!why.empty()) throw Error(what + ": " + why);
}

void ErrorTrap::show_as(const std::string& from, const std::string& to) {
  shown_as_.emplace_back(from, to);
}

std::string ErrorTrap::shown(std::string text) const {
  for (const auto& [from, to] : shown_as_) {
    for (std::size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size()))
      text.replace(at, from.size(), to);
  }
  return text;
}

void CPL_STDCALL ErrorTrap::handle(CPLErr kind, CPLErrorNum, const char* message) {
  auto* trap = static_cast<ErrorTrap*>(CPLGetErrorHandlerUserData());
  if (kind == CE_Warning) {
    trap->warnings_ << "warning (GDAL): " << trap->shown(message) << '\n';
    if (std::string_view(message).starts_with("PROJ: ") && trap->proj_failure_.empty())
      trap->proj_failure_ = trap->shown(message);
  } else if (kind >= CE_Failure && trap->failure_.empty()) {
    trap->failure_ = trap->shown(message);
  }
}

Error failure(ErrorTrap& trap, const std::string& what) {
  const std::string why = trap.take();
  return Error(why.empty() ? what : what + ": " + why);
}

GDALDriver& driver(const char* name) {
  GDALDriver* d = GetGDALDriverManager()->GetDriverByName(name);
  if (d == nullptr) throw Error(std::string("this GDAL has no ") + name + " driver");
  return *d;
}

void close(GDALDatasetUniquePtr& ds, ErrorTrap& trap, const std::filesystem::path& shown_path) {
  trap.take();
  // A close that fails to flush reports through the error handler and, since GDAL 3.7, its
  // return value; the handler is read either way.
  ds.reset();
  const std::string why = trap.take();
  if (!why.empty()) throw Error("cannot write " + shown_path.string() + ": " + why);
}

ProgressBar::ProgressBar(bool shown) : function_(shown ? tick : nullptr) {}

ProgressBar::~ProgressBar() {
  if (begun_ && !ended_) std::fputs("\n", stdout);
}

int CPL_STDCALL ProgressBar::tick(double fraction, const char* message, void* bar) {
  const auto* self = static_cast<const ProgressBar*>(bar);
  self->begun_ = true;
  if (fraction >= 1.0) self->ended_ = true;
  return GDALTermProgress(fraction, message, nullptr);
}

ProgressBar::Stage::Stage(const ProgressBar& run, double from, double to)
    : data_(run.function_
                ? GDALCreateScaledProgress(from, to, run.function_, const_cast<ProgressBar*>(&run))
                : nullptr) {}

ProgressBar::Stage::~Stage() {
  if (data_) GDALDestroyScaledProgress(data_);
}

void ProgressBar::done() const {
  if (function_) function_(1.0, nullptr, const_cast<ProgressBar*>(this));
}

}  // namespace torvanelle::gis
