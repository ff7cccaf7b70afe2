#include "vector/vectorise.h"

#include "vector/framed.h"
#include "vector/simplify.h"
#include "vector/skeleton.h"
#include "vector/trace.h"

namespace torvanelle::vect {

std::vector<Line> vectorise(const Image& image, const Options& options) {
  Framed framed(image);
  thin(framed);
  std::vector<Line> lines = trace(framed, options.min_branch);
  for (Line& line : lines)
    simplify(line, options.simplify);
  return lines;
}

}  // namespace torvanelle::vect
