// torvanelle-dem: an elevation model from a raster of contour numbers. See run.h and --help.
#include <iostream>
#include <string>
#include <vector>

#include "gis/gdal.h"
#include "io/interrupts.h"
#include "tools/dem/run.h"

namespace gis = torvanelle::gis;

int main(int argc, char** argv) {
  const std::vector<std::string> words(argv + 1, argv + argc);
  // A signal removes what the run began, then ends it with 128 + n.
  torvanelle::catch_interrupts();
  const gis::GdalSession gdal;
  return torvanelle::dem::tool::run(words, std::cout, std::cerr);
}
