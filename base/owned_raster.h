// A raster that releases itself: made by ucmatrice, released by frucmatrice when its owner goes.
#pragma once

#include <cstdint>

#include "base/image.h"

namespace torvanelle {

class OwnedRaster {
 public:
  OwnedRaster() = default;
  /// ucmatrice(nb_col, nb_lig), columns first: nb_lig zero-filled rows of nb_col pixels, or none
  /// (false) when the memory cannot be had or nb_lig is 0.
  OwnedRaster(std::int32_t nb_col, std::int32_t nb_lig);
  ~OwnedRaster();
  OwnedRaster(OwnedRaster&& other) noexcept;
  OwnedRaster& operator=(OwnedRaster&& other) noexcept;

  Raster get() const { return rows_; }
  std::uint8_t* operator[](std::int32_t i) const { return rows_[i]; }
  explicit operator bool() const { return rows_ != nullptr; }

 private:
  Raster rows_ = nullptr;
  std::int32_t nb_lig_ = 0;
};

}  // namespace torvanelle
