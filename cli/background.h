// What the pixels of a contour raster say of its background, counted as they are read. A GIS
// that rasterises lines without an initial value burns the background as contour 0, and a
// raster without a pixel of 255 has every pixel taken for a line: both give a useless result,
// so the first is refused and the second said, each with the way to make the raster right.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <ostream>
#include <string>

namespace torvanelle::cli {

class Background {
 public:
  /// Counts `n` pixels (255 no line, whatever the source's nodata value was).
  void count(const std::uint8_t* px, std::size_t n);

  /// Once every pixel was counted: throws Error naming `source` when one contour number covers
  /// more than half of the pixels, as a background does; says on `log` when no pixel is 255 and
  /// no nodata value was declared (`nodata_declared`), as every pixel is then taken for a line.
  void judge(const std::string& source, bool nodata_declared, std::ostream& log) const;

 private:
  std::array<std::uint64_t, 256> counts_{};
};

}  // namespace torvanelle::cli
