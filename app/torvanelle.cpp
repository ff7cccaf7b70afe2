// Torvanelle: thins the contour lines of a raster, through a console dialogue.
#include <iostream>

#include "app/run.h"
#include "io/interrupts.h"

int main() {
  // A run stopped by a signal removes the files it had only begun.
  torvanelle::catch_interrupts();
  torvanelle::State st;
  return torvanelle::run(st, std::cin, std::cout, std::cerr);
}
