// The state that the four stages of a run share, and what a stage tells the run when it ends.
#pragma once

#include <cstdint>
#include <string>

#include "base/image.h"
#include "base/owned_raster.h"
#include "io/files.h"
#include "io/safe_files.h"

namespace torvanelle {

/// What a stage tells the run when it returns.
enum class Flow {
  proceed,  ///< go on with the next stage
  done,     ///< the run ends here on a path the program defines ("No File"): exit status 0
  failed,   ///< the run cannot go on; the stage has said why: exit status 1
};

/// Everything the stages hand on to one another, the six descriptor values first. All zero,
/// null or empty at the start of a run; what is open or allocated is released with the state.
struct State : Descriptor {
  File f1;                  ///< input raw raster, binary read (opening -> lecture)
  long long f1_bytes = -1;  ///< its length when opening opened it; -1 when it cannot be told
  File f1d;                 ///< input descriptor, read (or written) and closed within opening
  /// The output raw raster and descriptor (header: opening, raster and trailer: save), written
  /// under temporary names and put in place by save only when both are complete; a run that
  /// ends otherwise removes them, so that an earlier result stays as it was.
  TempFile f2;
  TempFile f2d;

  /// Deburring answer: 0 means the one-point deburring was applied, anything else that it was not.
  std::int32_t ebarb = 0;

  OwnedRaster tab;      ///< scratch raster; the cleaning works in tab_out and leaves it as is
  OwnedRaster tab_in;   ///< the input raster exactly as read
  OwnedRaster tab_out;  ///< the result

  /// Full path of the input raw raster, as built by the dialogue ("C:\images\site\dem1.raw").
  std::string nomim1;
  /// Full paths of the output raster and descriptor, as built, for messages about them.
  std::string nomim2;
  std::string nomdescr2;
};

}  // namespace torvanelle
