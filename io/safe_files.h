// Files that appear whole or not at all: written under a temporary name beside the name they
// are meant for, and given that name only once complete. Until then a file under the final name
// (an earlier result) is untouched; what a run leaves unfinished, by failing or by a signal, is
// removed.
#pragma once

#include <cstdio>
#include <string>

namespace torvanelle {

/// One file under a temporary name: the final name followed by ".<process id>.tmp".
class TempFile {
 public:
  TempFile() = default;
  ~TempFile() { discard(); }
  TempFile(TempFile&& other) noexcept;
  TempFile& operator=(TempFile&& other) noexcept;

  /// Creates the temporary file for `final_path` (a host path), opened with `mode` ("w", "wb").
  /// Null when it cannot be created, errno set (EISDIR when a folder has the final name). The
  /// file is removed by discard(), by the destructor and by a signal that ends the process.
  std::FILE* create(const std::string& final_path, const char* mode);

  /// Gives the file its final name, replacing at once whatever had it. The caller has closed it.
  bool replace_final();

  /// Gives the file its final name only if no file has that name (errno EEXIST otherwise).
  bool place_if_absent();

  /// Removes the file if it has not been given its final name. The caller has closed it.
  void discard();

  const std::string& final_path() const { return final_; }
  /// The temporary name, empty when there is no temporary file.
  const std::string& path() const { return path_; }

 private:
  void placed();

  std::string final_;
  std::string path_;
  int ticket_ = -1;
};

/// The raster and the descriptor of a result, put in place together.
struct PendingResult {
  TempFile raster;
  TempFile descriptor;

  /// Gives both files their final names, as a pair: under a lock ("<result>.lock" beside them)
  /// that every run writing the same result takes, and with the signals of interrupts.h held,
  /// so that two runs never leave one's raster beside the other's descriptor. Both files are
  /// complete and closed. False when a name cannot be given.
  bool commit();
};

}  // namespace torvanelle
