// The state that the four stages of a run share, and what a stage tells the run when it ends.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "io/safe_files.h"

namespace torvanelle {

/// A raster: nb_lig row pointers, each row nb_col pixels (ucmatrice); null when nb_lig is 0.
/// A pixel holds a contour line number, 0 to 254, or `background`.
using Raster = std::uint8_t**;

/// The pixel value that means "no contour line here".
inline constexpr std::uint8_t background = 255;

/// What a stage tells the run when it returns.
enum class Flow {
  proceed,  ///< go on with the next stage
  done,     ///< the run ends here on a path the program defines ("No File"): exit status 0
  failed,   ///< the run cannot go on; the stage has said why: exit status 1
};

/// Everything the stages hand on to one another. All zero or null at the start of a run.
struct State {
  std::FILE* f1 = nullptr;   ///< input raw raster, binary read (opening -> lecture)
  long long f1_bytes = -1;   ///< its length when opening opened it; -1 when it cannot be told
  std::FILE* f1d = nullptr;  ///< input descriptor, opened and closed within opening
  std::FILE* f2 = nullptr;   ///< output raw raster, binary write (opening -> save)
  std::FILE* f2d = nullptr;  ///< output descriptor, text write (header: opening, trailer: save)

  // The six descriptor values. Only nb_lig and nb_col steer the work; the others are carried
  // from the input descriptor to the output descriptor unchanged.
  std::int32_t nb_lig = 0;
  std::int32_t nb_col = 0;
  std::int32_t type = 0;
  std::int32_t min_al = 0;
  std::int32_t max_al = 0;
  std::int32_t taille_pix = 0;

  /// Deburring answer: 0 means the one-point deburring was applied, anything else that it was not.
  std::int32_t ebarb = 0;

  Raster tab = nullptr;      ///< scratch raster; the cleaning works in tab_out and leaves it as is
  Raster tab_in = nullptr;   ///< the input raster exactly as read
  Raster tab_out = nullptr;  ///< the result

  /// Full path of the input raw raster, as built by the dialogue ("C:\images\site\dem1.raw").
  std::string nomim1;
  /// Full paths of the output raster and descriptor, as built, for messages about them.
  std::string nomim2;
  std::string nomdescr2;

  /// The result's two files, written under temporary names (f2 and f2d are open on them) and
  /// put in place by save only when both are complete. A run that ends otherwise removes them,
  /// so that an earlier result under the same names stays as it was.
  PendingResult result;
};

}  // namespace torvanelle
