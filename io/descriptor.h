// The image descriptor: six integers as text, in the order nb_lig, nb_col, type, min_al, max_al,
// taille_pix.
#pragma once

#include <cstdio>

#include "app/state.h"

namespace torvanelle {

/// Reads the descriptor values from `f` into `st`, in descriptor order, and returns how many were
/// read (0 to 6). Each value is an optionally signed decimal integer; any white space, CR LF line
/// ends included, may stand before it. Reading stops at the first text that is not such an
/// integer, and at an integer outside 32 bits, which counts as not a number; the fields not read
/// keep their values. Nothing after the sixth integer is read.
int read_descriptor(std::FILE* f, State& st);

/// Writes the six values of `st` one per line, each followed by a line end. Returns false when
/// the stream reports a write error.
bool write_descriptor(std::FILE* f, const State& st);

/// Why a raster of nb_lig lines and nb_col columns cannot be worked on, or null when it can.
/// Negative sizes and lines without columns are unusable; so is a size whose three rasters
/// (row tables and rows) would need more bytes than a process can address. 0 lines, whatever
/// the columns (0 or more), is the empty image.
const char* size_fault(std::int32_t nb_lig, std::int32_t nb_col);

}  // namespace torvanelle
