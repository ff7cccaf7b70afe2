// The colours of contour numbers, shared by every tool that draws a raster: the PNG preview and
// the colour table of exported GeoTIFFs. A result looks the same in both.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace torvanelle::palette {

struct Rgb {
  std::uint8_t r, g, b;
};

/// Colours dark enough to read on white, ordered so that consecutive numbers contrast.
inline constexpr std::array<Rgb, 10> cycle = {{{31, 119, 180},
                                               {214, 39, 40},
                                               {44, 160, 44},
                                               {255, 127, 14},
                                               {148, 103, 189},
                                               {23, 190, 207},
                                               {140, 86, 75},
                                               {227, 119, 194},
                                               {188, 189, 34},
                                               {90, 90, 90}}};

/// The background (pixel value 255, no line): white.
inline constexpr Rgb background = {255, 255, 255};

/// The colour of a pixel value: contour number k takes cycle[k % 10], 255 the background.
constexpr Rgb colour(std::uint8_t value) {
  return value == 255 ? background : cycle[static_cast<std::size_t>(value) % cycle.size()];
}

}  // namespace torvanelle::palette
