// The geometry the vectoriser's steps share: the eight steps from a pixel to its neighbours, in the
// order of the neighbour code's bits, how far out a line's direction is judged, and how long a
// step over a pixel passed already may be before it counts as a bridge.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "cleaning/neighbour.h"
#include "vector/lines.h"

namespace torvanelle::vect {

/// The offset of each neighbour, in the order of the code's bits (clockwise from north-west).
struct Step {
  int drow;
  int dcol;
};
inline constexpr Step steps[8] = {{-1, -1}, {-1, 0}, {-1, 1}, {0, 1},
                                  {1, 1},   {1, 0},  {1, -1}, {0, -1}};

/// The direction opposite `dir`: the step back to where the step in direction `dir` came from.
constexpr int opposite(int dir) { return (dir + 4) % 8; }

/// How far along a line its direction at an end or a junction is judged, in pixels, so that a
/// kink at the end does not count.
inline constexpr std::size_t direction_reach = 6;

/// The longest step, in rows and in columns, of a line over a pixel it passed already.
inline constexpr int longest_step_over = 2;

/// Whether the step from a to b is a bridge: longer than a step over a pixel passed already.
inline bool bridge_step(Pixel a, Pixel b) {
  return std::abs(a.row - b.row) > longest_step_over || std::abs(a.col - b.col) > longest_step_over;
}

namespace detail {

/// Whether `steps` goes round in the order of the bits of `ico`'s code, and `opposite` undoes
/// each step: a 3 x 3 neighbourhood with the centre and the neighbour at steps[d] of one number
/// has code bit d alone.
constexpr bool steps_agree_with_codes() {
  for (int d = 0; d < 8; ++d) {
    std::uint8_t px[3][3] = {{0, 0, 0}, {0, 1, 0}, {0, 0, 0}};
    px[1 + steps[d].drow][1 + steps[d].dcol] = 1;
    if (ico(px[0], px[1], px[2], 1) != (1u << d)) return false;
    const Step back = steps[opposite(d)];
    if (back.drow != -steps[d].drow || back.dcol != -steps[d].dcol) return false;
    if (quarter_turn(static_cast<std::uint8_t>(1u << d)) != (1u << ((d + 2) % 8))) return false;
  }
  return true;
}

}  // namespace detail

static_assert(detail::steps_agree_with_codes(),
              "the steps go round in the order of the neighbour code's bits");

}  // namespace torvanelle::vect
