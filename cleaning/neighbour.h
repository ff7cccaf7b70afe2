// The neighbour code `ico` and the two sets of codes that decide whether a pixel goes.
//
// The code of the pixel at row i, column j says which of its 8 neighbours are present pixels of
// the same contour line. The bits go clockwise from the north-west:
//
//                 j-1    j    j+1
//         i-1  [   1 ][   2 ][   4 ]        0b0000'0001  north-west   0b0001'0000  south-east
//         i    [ 128 ][ ico ][   8 ]        0b0000'0010  north        0b0010'0000  south
//         i+1  [  64 ][  32 ][  16 ]        0b0000'0100  north-east   0b0100'0000  south-west
//                                           0b0000'1000  east         0b1000'0000  west
//
// Because the bits run round the ring, a quarter turn clockwise of a neighbourhood is a rotation
// of its code two bits to the left.
#pragma once

#include <array>
#include <cstdint>

#include "base/image.h"

namespace torvanelle {

inline constexpr std::uint8_t north_west = 0b0000'0001;
inline constexpr std::uint8_t north = 0b0000'0010;
inline constexpr std::uint8_t north_east = 0b0000'0100;
inline constexpr std::uint8_t east = 0b0000'1000;
inline constexpr std::uint8_t south_east = 0b0001'0000;
inline constexpr std::uint8_t south = 0b0010'0000;
inline constexpr std::uint8_t south_west = 0b0100'0000;
inline constexpr std::uint8_t west = 0b1000'0000;

/// The code of the neighbourhood turned a quarter turn clockwise.
constexpr std::uint8_t quarter_turn(std::uint8_t code) {
  return static_cast<std::uint8_t>((code << 2) | (code >> 6));
}

/// The code of the pixel in column j of `row`, `up` and `down` being the rows above and below,
/// without its west bit: the neighbours other than the west one holding the centre's value.
/// Neighbours holding anything else (another line, the background, a removed pixel) add nothing.
constexpr std::uint8_t ico_but_west(const std::uint8_t* up, const std::uint8_t* row,
                                    const std::uint8_t* down, int j) {
  const std::uint8_t val = row[j];
  // Sums of 0/1 flags rather than branches: which neighbours are present is hard to foresee.
  const int code = (up[j - 1] == val) * north_west + (up[j] == val) * north +
                   (up[j + 1] == val) * north_east + (row[j + 1] == val) * east +
                   (down[j + 1] == val) * south_east + (down[j] == val) * south +
                   (down[j - 1] == val) * south_west;
  return static_cast<std::uint8_t>(code);
}

/// The west bit of the code of the pixel in column j of `row`.
constexpr std::uint8_t ico_west(const std::uint8_t* row, int j) {
  return row[j - 1] == row[j] ? west : 0;
}

/// The code of the pixel in column j of `row`, `up` and `down` being the rows above and below.
constexpr std::uint8_t ico(const std::uint8_t* up, const std::uint8_t* row,
                           const std::uint8_t* down, int j) {
  return ico_but_west(up, row, down, j) | ico_west(row, j);
}

/// How many of the 8 neighbours of the pixel in column j of `row` hold its value: the number of
/// bits of its code.
inline std::uint8_t neighbours(const std::uint8_t* up, const std::uint8_t* row,
                               const std::uint8_t* down, int j) {
  const std::uint8_t val = row[j];
  return static_cast<std::uint8_t>((up[j - 1] == val) + (up[j] == val) + (up[j + 1] == val) +
                                   (row[j - 1] == val) + (row[j + 1] == val) +
                                   (down[j - 1] == val) + (down[j] == val) + (down[j + 1] == val));
}

/// The code of the interior pixel (i, j) of `tab`.
inline std::uint8_t ico(const Raster tab, int i, int j) {
  return ico(tab[i - 1], tab[i], tab[i + 1], j);
}

/// The thinning removes a pixel whose two or three present neighbours hang together (touching
/// sides or corners), so that taking the pixel away neither splits nor shortens its line. Up to
/// rotation there are eight such neighbourhoods (each: its bits, then its code and the codes of
/// its quarter turns):
inline constexpr std::array<std::uint8_t, 8> removal_patterns = {
    north_west | north,               // 0b0000'0011  3, 12,  48, 192
    north | north_east,               // 0b0000'0110  6, 24,  96, 129
    north_west | north | north_east,  // 0b0000'0111  7, 28, 112, 193
    north | east,                     // 0b0000'1010  10, 40, 160, 130
    north_west | north | east,        // 0b0000'1011  11, 44, 176, 194
    north | north_east | east,        // 0b0000'1110  14, 56, 224, 131
    north | east | south_east,        // 0b0001'1010  26, 104, 161, 134
    north | east | south,             // 0b0010'1010  42, 168, 162, 138
};

/// A set of codes: set[code] is true for its members.
using CodeSet = std::array<bool, 256>;

/// removal[code] is true for the 32 codes of the patterns above and their quarter turns.
inline constexpr CodeSet removal = [] {
  CodeSet set{};
  for (std::uint8_t code : removal_patterns) {
    for (int turn = 0; turn < 4; ++turn) {
      set[code] = true;
      code = quarter_turn(code);
    }
  }
  return set;
}();

/// The deburring removes a line's end pixels: those with exactly one present neighbour.
inline constexpr bool single_neighbour(std::uint8_t code) {
  return code != 0 && (code & (code - 1)) == 0;
}

/// single_neighbours[code] is true for the eight single-neighbour codes.
inline constexpr CodeSet single_neighbours = [] {
  CodeSet set{};
  for (int code = 0; code < 256; ++code)
    set[static_cast<std::size_t>(code)] = single_neighbour(static_cast<std::uint8_t>(code));
  return set;
}();

}  // namespace torvanelle
