#include "tools/vect/source.h"

namespace torvanelle::vect::tool {

Source read_source(gis::ContourRaster& raster, const gis::ProgressBar::Stage& progress,
                   std::ostream& log) {
  Source s;
  s.image = Image(raster.lines(), raster.cols());
  raster.read_all(s.image.px.data(), progress, log);
  s.georef = raster.georef();
  if (!s.georef.has_transform) s.georef.transform = {0, 1, 0, 0, 0, 1};
  return s;
}

}  // namespace torvanelle::vect::tool
