// The image file paths: built in the program's own form ("C:\images\site\dem1.raw") and mapped to
// a path the host can open.
//
// Every path is built as a string from the fixed base directory, the folder, the "\" separator,
// a name and an extension, and shown to the user and written into the output descriptor in that
// built form. Only opening a file maps it to the host (host_path).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace torvanelle {

inline constexpr std::string_view base_dir = "C:\\images\\";
inline constexpr std::string_view separator = "\\";
inline constexpr std::string_view raster_ext = ".raw";
inline constexpr std::string_view descriptor_ext = ".txt";
inline constexpr std::string_view output_raster_suffix = "_venc8.raw";
inline constexpr std::string_view output_descriptor_suffix = "_venc8.txt";

/// Longest path a name buffer holds: 128 bytes with the terminating NUL.
inline constexpr std::size_t path_max = 127;

/// Longest folder name plus input name for which both input paths stay within path_max.
inline constexpr std::size_t input_names_max =
    path_max - base_dir.size() - separator.size() - raster_ext.size();
static_assert(descriptor_ext.size() == raster_ext.size());

/// Longest folder name plus output name for which both output paths stay within path_max.
inline constexpr std::size_t output_names_max =
    path_max - base_dir.size() - separator.size() - output_raster_suffix.size();
static_assert(output_descriptor_suffix.size() == output_raster_suffix.size());

/// The folder path "C:\images\" + folder + "\".
std::string folder_path(std::string_view folder);

/// The path the host opens for a built path. On Windows that is the built path itself. On other
/// hosts a leading "C:\images\" becomes the images root compiled into the program (by default
/// "images/", relative to the working directory) and every other "\" becomes "/".
std::string host_path(std::string_view built);

/// The images root that stands for "C:\images\" on this host ("images/" unless configured);
/// on Windows "C:\images\" itself.
std::string_view images_root();

}  // namespace torvanelle
