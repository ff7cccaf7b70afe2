// The skeleton of every contour line: each number's pixels thinned to lines one pixel wide.
#pragma once

#include <cstdint>

#include "base/progress.h"
#include "cleaning/neighbour.h"
#include "vector/framed.h"
#include "vector/lines.h"

namespace torvanelle::vect {

/// simple[code]: taking the pixel away leaves its line's topology as it was. The pixel's
/// present neighbours form one 8-connected group around it, and its absent neighbours that
/// touch its sides form one 4-connected group: so no piece splits or vanishes, and no hole opens
/// or closes.
extern const CodeSet simple;

/// thinnable[side][code], side 0..3 for north, south, east and west: the thinning may take the
/// pixel away in a pass of that side. The neighbour on that side is absent, the pixel is simple,
/// and it has two neighbours or more (a line's end pixel stays, so lines keep their length).
extern const std::array<CodeSet, 4> thinnable;

/// The neighbour bit of each pass's side, in the order of the passes.
inline constexpr std::array<std::uint8_t, 4> pass_sides = {north, south, east, west};

/// Thins every number's pixels of `image`, in place, each number as if the others were absent,
/// until no pixel is simple except line ends. A round is four passes, one per side in the order
/// of `pass_sides`; the pass of side s gathers, in scan order, the pixels whose code is in
/// thinnable[s] and whose s neighbour lies in the image, then takes each away if it is still
/// simple. Returns how many rounds changed the image. How many rounds it takes is not known
/// beforehand (about half the widest band's width): `progress` hears each as half of what was
/// left, then 1.
int thin(Framed& image, const Progress& progress = {});

/// The skeleton of `image`: each piece of each number thinned to a line or network of lines one
/// pixel wide, 8-connected, with as many pieces and holes as before; other numbers' pixels and
/// the background are never changed. A line that runs off the image still reaches its edge.
Image skeleton(const Image& image);

}  // namespace torvanelle::vect
