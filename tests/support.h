// Helpers shared by the tests: rasters written as small pictures, and a program state holding
// a raster ready for the treatment.
#pragma once

#include <string>
#include <vector>

#include "app/state.h"
#include "model/literal_model.h"

namespace support {

/// A picture row per raster row: '.' is the background, '0'..'9' and 'a'..'z' the numbers 0..35,
/// '#' the number 254.
using Picture = std::vector<std::string>;
model::Grid grid(const Picture& picture);
Picture picture(const model::Grid& g);

/// A program state whose three rasters are allocated at the grid's size and whose tab_in holds
/// the grid; the rasters are released when it goes.
class Loaded {
 public:
  explicit Loaded(const model::Grid& in);
  ~Loaded();
  Loaded(const Loaded&) = delete;
  Loaded& operator=(const Loaded&) = delete;

  torvanelle::State st;
  model::Grid tab_out() const;
};

}  // namespace support
