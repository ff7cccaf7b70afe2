#include "vector/tool/source.h"

#include <algorithm>
#include <cstdint>

namespace torvanelle::vect::tool {
namespace {

/// Refuses a source without a line: its output would be an empty layer, which a wrong band or
/// nodata value gives as readily as a blank sheet.
void check_lines(const Image& image, const std::filesystem::path& path) {
  const bool any =
      std::any_of(image.px.begin(), image.px.end(), [](std::uint8_t v) { return v != no_line; });
  if (!any) {
    throw gis::Error(path.string() +
                     " holds no contour line: every pixel is 255 or the band's nodata value");
  }
}

}  // namespace

Source read_source(gis::ContourRaster& raster, const gis::Progress::Stage& progress,
                   std::ostream& log) {
  Source s;
  s.image = Image(raster.lines(), raster.cols());
  raster.read(0, raster.lines(), s.image.px.data(), &progress);
  check_lines(s.image, raster.name());
  raster.warn_if_no_background(log);
  s.georef = raster.georef();
  if (!s.georef.has_transform) s.georef.transform = {0, 1, 0, 0, 0, 1};
  return s;
}

}  // namespace torvanelle::vect::tool
