// Files that appear whole or not at all: written under a temporary name beside the name they
// are meant for, and given that name only once complete. Until then a file under the final name
// (an earlier result) is untouched; what a run leaves unfinished, by failing or by a signal, is
// removed.
#pragma once

#include <cstdio>
#include <string>

#include "io/files.h"

namespace torvanelle {

/// One file written under a temporary name, the final name followed by ".<process id>.tmp", and
/// removed when its owner goes unless it was given its final name.
class TempFile {
 public:
  TempFile() = default;
  ~TempFile() { discard(); }
  TempFile(TempFile&& other) noexcept;
  TempFile& operator=(TempFile&& other) noexcept;

  /// Creates and opens the temporary file for `final_path` (a host path) with `mode` ("w",
  /// "wb"). False when it cannot be created, errno set (EISDIR when a folder has the final
  /// name). The file is removed by discard(), by the destructor and by a signal that ends the
  /// process (interrupts.h).
  bool create(const std::string& final_path, const char* mode);

  /// The open file, null once closed.
  std::FILE* get() const { return file_.get(); }

  /// Closes the file, keeping it to be placed; false when the close reports an error.
  bool close() { return torvanelle::close(file_); }

  /// Gives the closed file its final name, replacing at once whatever had it.
  bool replace_final();

  /// Gives the closed file its final name only if no file has that name (errno EEXIST else).
  bool place_if_absent();

  /// Closes the file if open and removes it, unless it has been given its final name.
  void discard();

  const std::string& final_path() const { return final_; }
  /// The temporary name; empty when there is no temporary file.
  const std::string& path() const { return path_; }

 private:
  void placed();

  File file_;
  std::string final_;
  std::string path_;
  int ticket_ = -1;
};

/// Gives the closed `raster` and `descriptor` of a result their final names, as a pair: under a
/// lock ("<result>.lock" beside them) that every run writing the same result takes, and with
/// the signals of interrupts.h held, so that two runs never leave one's raster beside the
/// other's descriptor. False when a name cannot be given.
bool put_in_place(TempFile& raster, TempFile& descriptor);

}  // namespace torvanelle
