// Torvanelle: thins the contour lines of a raster to one pixel, through a console dialogue.
#include <iostream>

#include "app/run.h"

int main() {
  torvanelle::State st;
  return torvanelle::run(st, std::cin, std::cout);
}
