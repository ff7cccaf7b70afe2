#include "cleaning/deburring.h"

#include "cleaning/neighbour.h"
#include "cleaning/scan.h"

namespace torvanelle {

// All numbers are deburred in the same scan. A removed pixel becomes background, which no
// number matches, so every pixel still sees, at its turn, exactly the neighbours of its own
// number that a scan of that number alone would leave it: earlier ones as the scan left them,
// later ones as they were.
std::int64_t deburring(Raster tab_out, std::int32_t nb_lig, std::int32_t nb_col) {
  std::int64_t removed = 0;
  for_each_pixel_coded_in(tab_out, nb_lig, nb_col, single_neighbours, [&](int i, int j) {
    tab_out[i][j] = background;
    ++removed;
  });
  return removed;
}

}  // namespace torvanelle
