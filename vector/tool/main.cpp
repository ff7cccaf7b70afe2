// torvanelle-vect: contour lines from a raster of contour numbers. See run.h and --help.
#include <iostream>
#include <string>
#include <vector>

#include "vector/tool/run.h"

int main(int argc, char** argv) {
  const std::vector<std::string> words(argv + 1, argv + argc);
  return torvanelle::vect::tool::run(words, std::cout, std::cerr);
}
