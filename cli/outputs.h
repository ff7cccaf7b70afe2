// What every companion command reads and writes, kept apart: the files it reads (Sources), and
// its outputs, written beside their final names in scratch folders and put in place together
// once the work is done and checked (Outputs). No output ever replaces a file that a source
// reads, a special file, or anything without --overwrite; a run stopped anywhere before the
// outputs are in place leaves every folder as it was.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace torvanelle::cli {

/// A failure that ends a command; what() says what went wrong and names the user's file.
class Error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

/// Refuses (Error naming `path`, said as `role`: "the source", "the output") a path that exists
/// and is not a regular file or folder: a FIFO, a device or a socket, which would hang a
/// command or be replaced by a regular file.
void refuse_special(const std::filesystem::path& path, const std::string& role);

/// The host files that a command reads.
class Sources {
 public:
  /// Adds the file `file`: `path` itself when it is a plain file, or one that a dataset is made
  /// of (a virtual raster's members, a shapefile's sidecars, an archive). Refuses a special file.
  void add(const std::filesystem::path& file);
  /// Whether `path` is one of the files read: the same file through any link, hard link or
  /// spelling, or the same name when neither exists.
  bool holds(const std::filesystem::path& path) const;
  const std::vector<std::filesystem::path>& files() const { return files_; }

 private:
  std::vector<std::filesystem::path> files_;
};

/// How one output is written and put in place.
struct OutputKind {
  /// The output is a container (a GeoPackage): the command changes one of its layers in a
  /// copy of the existing file, which then replaces it, other layers and all. Without
  /// --overwrite, adding a layer is allowed; the command itself refuses replacing one.
  bool container = false;
  /// The files that make up the dataset now at a path (its sidecars included): they go when an
  /// output replaces it and does not write them again. Empty: the file alone.
  std::function<std::vector<std::filesystem::path>(const std::filesystem::path&)> family;
  /// Checks the output written at the scratch path given, before anything is put in place;
  /// throws Error naming the user's output when it is not whole.
  std::function<void(const std::filesystem::path&)> verify;
};

/// The outputs of one command.
class Outputs {
 public:
  explicit Outputs(bool overwrite);
  ~Outputs();
  Outputs(const Outputs&) = delete;
  Outputs& operator=(const Outputs&) = delete;

  bool overwrite() const { return overwrite_; }

  /// Declares the output `path` and returns where the command writes it: the same name in a
  /// scratch folder beside it, where files that go with it (a shapefile's .dbf) go too. A
  /// container's existing file is copied there first. Refused at once, with Error naming
  /// `path`: a special file, a missing folder, a file one of `sources` reads, another output
  /// of the command, an existing file without --overwrite (unless a container).
  std::filesystem::path add(const std::filesystem::path& path, const Sources& sources,
                            OutputKind kind = {});

  /// Declares `path`, a file that goes beside the output `first` (already declared, in the
  /// same folder): checked as an output is, written in its scratch folder; returns where.
  std::filesystem::path add_beside(const std::filesystem::path& first,
                                   const std::filesystem::path& path, const Sources& sources);

  /// Verifies every output, then, under a lock on each output's folder and with signals held,
  /// checks each file written against `sources` and what exists now, and moves them all into
  /// place; an output replaced loses its old sidecars. After it returns the result is whole in
  /// place and a signal no longer ends the run as a failure. Throws Error, with nothing moved,
  /// when a check fails or a container changed under the command.
  void commit(const Sources& sources);

  /// Scratch folders that live in `folder` under this tool's name, left by a run that died
  /// (SIGKILL, a power cut): removed before a new one is made there.
  static void sweep_abandoned(const std::filesystem::path& folder);

 private:
  struct Output;
  /// The checks of add().
  void check(const std::filesystem::path& path, const Sources& sources, bool container) const;
  struct Move {
    std::filesystem::path from, to;
  };
  /// What commit() does: the files it moves, and the stale files of replaced datasets it removes.
  struct Plan {
    std::vector<Move> moves;
    std::vector<std::filesystem::path> stale;
  };
  /// Adds the moves of `o` to `plan`, each target checked again; throws Error when one is refused
  /// or a container changed under the command.
  void plan(const Output& o, const Sources& sources, Plan& plan) const;
  bool overwrite_;
  std::vector<std::unique_ptr<Output>> outputs_;
};

/// The folder that holds `path` ("." for a bare name).
std::filesystem::path folder_of(const std::filesystem::path& path);

}  // namespace torvanelle::cli
