// The region that the contour lines enclose: the convex hull of their pixels, row by row.
#pragma once

#include <vector>

#include "base/contour_image.h"

namespace torvanelle::dem {

/// The columns first..last of one row (empty when last < first).
struct Span {
  int first = 0;
  int last = -1;
  bool contains(int col) const { return col >= first && col <= last; }
};

/// For each row of `image`, the pixels whose centres lie in the convex hull of the centres of
/// all its line pixels (any number other than `torvanelle::no_line`), edges included. Every span is
/// empty when the image has no line pixel.
std::vector<Span> hull_spans(const torvanelle::Image& image);

}  // namespace torvanelle::dem
