// Helpers shared by the tests: rasters written as small pictures, and a program state holding
// a raster ready for the treatment.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "app/state.h"
#include "devtools/model/literal_model.h"

namespace support {

/// A picture row per raster row: '.' is the background, '0'..'9' and 'a'..'z' the numbers 0..35,
/// '#' the number 254.
using Picture = std::vector<std::string>;
model::Grid grid(const Picture& picture);
Picture picture(const model::Grid& g);

/// A program state whose three rasters are allocated at the grid's size and whose tab_in holds
/// the grid.
class Loaded {
 public:
  explicit Loaded(const model::Grid& in);

  torvanelle::State st;
  model::Grid tab_out() const;
};

/// What the engine makes of a raster, and what the program prints of it.
struct Cleaned {
  model::Grid thinned;           ///< after the thinning
  std::string thinning_report;   ///< the total line, headers and counts
  model::Grid out;               ///< after the deburring when asked for, else the thinned raster
  std::string deburring_report;  ///< the deburring's heading and progress lines, if asked for
};

/// Runs the engine on `in`: the thinning, then the deburring when `deburr`.
Cleaned clean(const model::Grid& in, bool deburr);

/// While it lives, the allocation library's requests are served from calloc except the
/// `fail_at`-th (counting from 1; 0: none) and every one beyond `budget` bytes in all.
class FailingAllocator {
 public:
  explicit FailingAllocator(int fail_at, std::size_t budget = SIZE_MAX);
  ~FailingAllocator();
  FailingAllocator(const FailingAllocator&) = delete;
  FailingAllocator& operator=(const FailingAllocator&) = delete;

  /// The requests made so far.
  static int requests();
};

/// Makes a fresh folder under the system's temporary folder, named `prefix` and random
/// characters, where nothing had that name; throws when none can be made.
std::filesystem::path new_scratch_folder(const std::string& prefix);

/// A fresh folder under the system's temporary folder, removed with everything in it when the
/// object goes.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

/// A scratch folder made the working directory for the object's life, whose images root holds
/// site/dem1.raw and site/dem1.txt with the given bytes. Where the images root is a fixed folder
/// (C:\images\ on Windows), site/ must not exist there beforehand and is removed afterwards; tests
/// that use it then run one at a time.
class SiteFolder {
 public:
  SiteFolder(const std::string& raster, const std::string& descriptor);
  ~SiteFolder();
  SiteFolder(const SiteFolder&) = delete;
  SiteFolder& operator=(const SiteFolder&) = delete;

  /// The folder `site` under the images root, relative to the working directory (absolute on
  /// Windows).
  static std::filesystem::path site();
  /// The names of the files in site(), sorted, each followed by a space.
  static std::string listing();

 private:
  ScratchDir scratch_;
  std::filesystem::path previous_;
};

/// The lines the treatment prints, as the tests expect them.
namespace said {
std::string total(int num_item);
std::string header(int k);
std::string mods(int modif);
std::string progress(int k);
inline const std::string deburring_prompt =
    "\n\n\tebarbulation (one point) : \n\t\t0 ====> yes\n\t\t1 ====> no\n\t\t";
inline const std::string deburring_line = "\n\tEbarbulation \n";
}  // namespace said

/// Writes `bytes` to `path`, creating the folders on the way.
void write_file(const std::filesystem::path& path, const std::string& bytes);

/// The bytes of `path`; empty when it cannot be read.
std::string read_file(const std::filesystem::path& path);

/// The bytes a file written in text mode holds for `text`: its line ends the host's own (CR LF
/// on Windows).
std::string text_file_bytes(const std::string& text);

}  // namespace support
