// torvanelle-engine: the engines of the companion tools on files of simple forms, without GDAL.
// See run.h and --help.
#include <iostream>
#include <string>
#include <vector>

#include "io/interrupts.h"
#include "tools/engine/run.h"

int main(int argc, char** argv) {
  const std::vector<std::string> words(argv + 1, argv + argc);
  // A signal removes what the run began, then ends it with 128 + n.
  torvanelle::catch_interrupts();
  return torvanelle::engine::run(words, std::cout, std::cerr);
}
