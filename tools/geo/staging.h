// Files that must appear whole or not at all.
#pragma once

#include <filesystem>
#include <initializer_list>

namespace geo {

/// A scratch folder beside a destination folder, where files are written under their final
/// names and then renamed into place by commit(). Until commit() a failure or a crash leaves the
/// destination as it was (a crash may leave the hidden scratch folder behind); the scratch folder
/// and whatever is left in it go with the object.
class Staging {
 public:
  /// Creates the scratch folder ".torvanelle-geo-XXXXXXXX" in `destination`; throws Error when
  /// it cannot.
  explicit Staging(const std::filesystem::path& destination);
  ~Staging();
  Staging(const Staging&) = delete;
  Staging& operator=(const Staging&) = delete;

  /// Where to write the file that commit() may move to destination / name.
  std::filesystem::path file(const std::filesystem::path& name) const { return scratch_ / name; }

  /// Renames the named files from the scratch folder into the destination, replacing files of
  /// the same names. Throws Error naming the file when a rename fails.
  void commit(std::initializer_list<std::filesystem::path> names);

 private:
  std::filesystem::path destination_;
  std::filesystem::path scratch_;
};

}  // namespace geo
