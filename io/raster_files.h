// Raster files: headerless pixels, row after row, read and written whole.
#pragma once

#include <cstdint>
#include <cstdio>

#include "base/image.h"

namespace torvanelle {

/// Reads up to nb_lig rows of nb_col bytes from `f` into `tab`, straight into place without a
/// stream buffer; `f` is freshly opened. Returns how many bytes were read: a file shorter than
/// the raster leaves the rest of `tab` as it was. A read error shows in std::ferror(f).
long long read_rows(std::FILE* f, Raster tab, std::int32_t nb_lig, std::int32_t nb_col);

/// Writes the nb_lig rows of nb_col bytes of `tab` to `f`, a few hundred rows to a system call
/// rather than one; `f` is freshly opened. False on a write error.
bool write_rows(std::FILE* f, const Raster tab, std::int32_t nb_lig, std::int32_t nb_col);

}  // namespace torvanelle
