#include "base/owned_raster.h"

#include <utility>

#include "LIB/matalloc.h"

namespace torvanelle {

OwnedRaster::OwnedRaster(std::int32_t nb_col, std::int32_t nb_lig)
    : rows_(ucmatrice(nb_col, nb_lig)), nb_lig_(nb_lig) {}

OwnedRaster::~OwnedRaster() { frucmatrice(rows_, nb_lig_); }

OwnedRaster::OwnedRaster(OwnedRaster&& other) noexcept
    : rows_(std::exchange(other.rows_, nullptr)), nb_lig_(std::exchange(other.nb_lig_, 0)) {}

OwnedRaster& OwnedRaster::operator=(OwnedRaster&& other) noexcept {
  if (this != &other) {
    frucmatrice(rows_, nb_lig_);
    rows_ = std::exchange(other.rows_, nullptr);
    nb_lig_ = std::exchange(other.nb_lig_, 0);
  }
  return *this;
}

}  // namespace torvanelle
