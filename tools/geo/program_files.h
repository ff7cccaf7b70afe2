// The program's own files as the GIS tool reads and writes them: the six-integer descriptor,
// the trailer of a result's descriptor, and the built paths it records.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/image.h"

namespace torvanelle::geo {

/// The six descriptor values, in file order, as the program holds them.
using Descriptor = torvanelle::Descriptor;

/// `path` without a trailing ".raw" or ".txt": a stem, to which those extensions are added.
std::filesystem::path stem_of(const std::filesystem::path& path);

/// `stem` with `extension` (".raw", ".txt", ".hdr") appended to its file name.
std::filesystem::path with_extension(const std::filesystem::path& stem, std::string_view extension);

/// Writes `d` to `path` as the program writes a descriptor (one value per line); throws
/// gis::Error naming `shown` when the file cannot be written.
void write_descriptor(const std::filesystem::path& path, const Descriptor& d,
                      const std::filesystem::path& shown);

/// A result's descriptor: the six values and the input raster its trailer names
/// (torvanelle::trailer_input_image), in the built
/// form the program records ("C:\images\site\dem1.raw"); absent when there is no trailer.
struct ResultDescriptor {
  Descriptor values;
  std::optional<std::string> input_image;
};

/// Reads the descriptor at `path`. Throws Error when it cannot be read, holds fewer than six
/// integers or a size the program could not have worked on.
ResultDescriptor read_result_descriptor(const std::filesystem::path& path);

/// A host file where the input raster may be.
struct Candidate {
  std::filesystem::path path;
  bool outside_root = false;  ///< reached through the images root, it leads out of it
};

/// The host files where the input raster `built` may be, most likely first: the file of that
/// name in `result_dir`, the folder where the program writes its result beside its input; then
/// `built` mapped as the program maps it (io/paths.h), with `images_root` standing for
/// C:\images\ when given.
std::vector<Candidate> input_image_candidates(
    const std::string& built, const std::optional<std::filesystem::path>& images_root,
    const std::filesystem::path& result_dir);

}  // namespace torvanelle::geo
