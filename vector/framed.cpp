#include "vector/framed.h"

#include <algorithm>

namespace torvanelle::vect {

Framed::Framed(const Image& image)
    : rows_(std::max(image.rows, 0)),
      cols_(std::max(image.cols, 0)),
      px_(static_cast<std::size_t>(rows_ + 2) * static_cast<std::size_t>(cols_ + 2), no_line),
      row_ptrs_(static_cast<std::size_t>(rows_ + 2)) {
  point_rows();
  for (int i = 0; i < rows_; ++i)
    std::copy_n(image.px.data() + static_cast<std::size_t>(i) * static_cast<std::size_t>(cols_),
                cols_, row(i + 1) + 1);
}

Framed::Framed(const Framed& other)
    : rows_(other.rows_), cols_(other.cols_), px_(other.px_), row_ptrs_(other.row_ptrs_.size()) {
  point_rows();
}

void Framed::point_rows() {
  for (int i = 0; i < rows_ + 2; ++i)
    row_ptrs_[static_cast<std::size_t>(i)] =
        px_.data() + static_cast<std::size_t>(i) * static_cast<std::size_t>(stride());
}

Image Framed::image() const {
  Image out(rows_, cols_);
  for (int i = 0; i < rows_; ++i)
    std::copy_n(row(i + 1) + 1, cols_,
                out.px.data() + static_cast<std::size_t>(i) * static_cast<std::size_t>(cols_));
  return out;
}

}  // namespace torvanelle::vect
