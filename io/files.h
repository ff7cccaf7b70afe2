// Files that close themselves.
#pragma once

#include <cstdio>
#include <memory>

namespace torvanelle {

struct CloseFile {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

/// An open file, closed when its owner goes.
using File = std::unique_ptr<std::FILE, CloseFile>;

/// Closes `f` now, if open; false when the close reports an error (written data lost).
inline bool close(File& f) { return f == nullptr || std::fclose(f.release()) == 0; }

}  // namespace torvanelle
