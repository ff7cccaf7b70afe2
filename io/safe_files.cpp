#include "io/safe_files.h"

#include <cerrno>
#include <filesystem>
#include <utility>

#include "io/host.h"
#include "io/interrupts.h"

namespace torvanelle {

TempFile::TempFile(TempFile&& other) noexcept
    : file_(std::move(other.file_)),
      final_(std::move(other.final_)),
      path_(std::exchange(other.path_, {})),
      ticket_(std::exchange(other.ticket_, -1)) {}

TempFile& TempFile::operator=(TempFile&& other) noexcept {
  if (this != &other) {
    discard();
    file_ = std::move(other.file_);
    final_ = std::move(other.final_);
    path_ = std::exchange(other.path_, {});
    ticket_ = std::exchange(other.ticket_, -1);
  }
  return *this;
}

bool TempFile::create(const std::string& final_path, const char* mode) {
  discard();
  std::error_code ignored;
  if (std::filesystem::is_directory(final_path, ignored)) {
    errno = EISDIR;
    return false;
  }
  const std::string stem = final_path + "." + std::to_string(process_id());
  // Held, so that a signal never finds a file made but not yet registered for removal.
  const InterruptsHeld held;
  for (int attempt = 0; attempt < 100; ++attempt) {
    // A file left by a killed run of an earlier process of the same number is not overwritten.
    std::string name = stem;
    if (attempt > 0) name += '-' + std::to_string(attempt);
    name += ".tmp";
    file_.reset(create_new(name, mode));
    if (file_ == nullptr && errno == EEXIST) continue;
    if (file_ == nullptr) return false;
    final_ = final_path;
    path_ = name;
    ticket_ = remove_on_interrupt(path_);
    return true;
  }
  return false;
}

void TempFile::placed() {
  forget_file(ticket_);
  ticket_ = -1;
  path_.clear();
}

bool TempFile::replace_final() {
  if (path_.empty() || file_ != nullptr || !replace_with(path_, final_)) return false;
  placed();
  return true;
}

bool TempFile::place_if_absent() {
  if (path_.empty() || file_ != nullptr || !rename_new(path_, final_)) return false;
  placed();
  return true;
}

void TempFile::discard() {
  file_.reset();  // Windows removes no open file
  if (path_.empty()) return;
  std::remove(path_.c_str());
  placed();
}

namespace {

/// "images/site/dem1_venc8.lock" for the raster "images/site/dem1_venc8.raw".
std::string lock_path(const std::string& raster) {
  const std::filesystem::path p(raster);
  return p.has_extension() ? std::filesystem::path(p).replace_extension(".lock").string()
                           : raster + ".lock";
}

}  // namespace

bool put_in_place(TempFile& raster, TempFile& descriptor) {
  bool placed = false;
  {
    // Held from taking the lock to letting it go, so that a signal leaves no lock file behind.
    const InterruptsHeld held;
    const FileLock lock(lock_path(raster.final_path()));
    placed = raster.replace_final() && descriptor.replace_final();
  }
  sync_folder_of(raster.final_path());
  return placed;
}

}  // namespace torvanelle
