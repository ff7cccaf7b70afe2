// The image descriptor: six integers as text, in the order nb_lig, nb_col, type, min_al, max_al,
// taille_pix.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

#include "base/image.h"

namespace torvanelle {

/// Reads the descriptor values from `f` into `d`, in descriptor order, and returns how many were
/// read (0 to 6). Each value is an optionally signed decimal integer; any white space, CR LF line
/// ends included, may stand before it, and a UTF-8 byte order mark before the first. Reading
/// stops at the first text that is not such an integer, and at an integer outside 32 bits,
/// which counts as not a number; the fields not read keep their values. Nothing after the sixth
/// integer is read. When fewer than six are read, `stopped_at` (if given) receives the text
/// that stopped the reading, at most 60 bytes of it, or nothing at the end of the file.
int read_descriptor(std::FILE* f, Descriptor& d, std::string* stopped_at = nullptr);

/// Writes the six values of `d` one per line, each followed by a line end. Returns false when
/// the stream reports a write error.
bool write_descriptor(std::FILE* f, const Descriptor& d);

/// What opens the line of a result's descriptor, after its six values, that names the input
/// raster: "\n input image : PATH ", PATH as the program built it (C:\images\site\dem1.raw).
inline constexpr const char* trailer_input_label = "\n input image : ";

/// Writes the trailer line naming the input raster `built`. Returns false when the stream
/// reports a write error.
bool write_trailer_input(std::FILE* f, const std::string& built);

/// The input raster path that a descriptor's trailer line records, or nothing when `text` has no
/// such line. A CR LF file reads as the program wrote it.
std::optional<std::string> trailer_input_image(std::string_view text);

/// Why a raster of nb_lig lines and nb_col columns cannot be worked on, or null when it can.
/// Negative sizes and lines without columns are unusable; so is a size whose working memory
/// (run_bytes) is more than a process can address. 0 lines, whatever the columns (0 or more),
/// is the empty image.
const char* size_fault(std::int32_t nb_lig, std::int32_t nb_col);

/// The memory a run on an image of nb_lig lines and nb_col columns takes for its rasters, all
/// told: for each of the three, its table of row pointers and its rows, each row a separate
/// allocation with the allocator's own bookkeeping; and the cleaning's one bit per pixel of
/// marks. Any sizes of 0 or more: the largest, 2^31 - 1 by 2^31 - 1, takes less than 2^64 bytes.
std::uint64_t run_bytes(std::int32_t nb_lig, std::int32_t nb_col);

/// True when run_bytes for the size exceeds `memory` (the machine's physical memory; 0 when
/// unknown, which refuses nothing): such a run could only end in swapping or in the allocator
/// refusing, after its outputs were begun.
bool beyond_memory(std::int32_t nb_lig, std::int32_t nb_col, std::uint64_t memory);

}  // namespace torvanelle
