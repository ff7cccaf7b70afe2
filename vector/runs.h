// The first phase of tracing: the skeleton cut into runs between end pixels and junctions.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "vector/framed.h"
#include "vector/lines.h"

namespace torvanelle::vect {

/// links[code]: the neighbours that a pixel of the skeleton is joined to in a line. Every present
/// side neighbour, and a present corner neighbour only when neither of the two pixels beside both
/// of them is present: otherwise the line goes round through that pixel, and counting the corner
/// too would make every staircase step look like a junction.
extern const std::array<std::uint8_t, 256> links;

/// The junction at a run's end that meets none.
inline constexpr int no_junction = -1;

/// A run of the skeleton between two nodes (end pixels or junctions), or a ring; at each end the
/// junction it meets, or `no_junction`. A run that meets a junction goes on to the junction's
/// centre, so that every run meeting a junction ends on the same pixel.
struct Run {
  Line line;
  std::array<int, 2> junction{no_junction, no_junction};
  int free = 0;  ///< its pixels outside junctions

  /// A branch: a run from an end pixel to a junction.
  bool branch() const { return (junction[0] == no_junction) != (junction[1] == no_junction); }
};

/// The runs of a skeleton and its junctions.
struct Runs {
  std::vector<Run> runs;        ///< in scan order of where each was started
  std::vector<Line> junctions;  ///< per junction: its centre, its first pixel in scan order
};

/// Cuts a skeleton into runs. A run goes from an end pixel or junction through pixels joined to
/// two others to the next end pixel or junction; a ring of such pixels is a closed run, a lone
/// pixel a run of one pixel. Touching junction pixels make one junction, and a run's end that
/// meets one goes on to its centre by a shortest way through it.
Runs cut_into_runs(const Framed& skeleton);

/// Appends `run` to `line`, reversed (in place) when `reversed`, without repeating the pixel they
/// share; `run` is taken over when `line` is empty.
void append(std::vector<Pixel>& line, std::vector<Pixel>& run, bool reversed);

/// One bit per pixel of the framed raster.
class Bits {
 public:
  explicit Bits(std::size_t n) : words_((n + 63) / 64) {}
  bool get(std::size_t p) const { return (words_[p / 64] >> (p % 64)) & 1; }
  void set(std::size_t p) { words_[p / 64] |= std::uint64_t{1} << (p % 64); }
  void clear(std::size_t p) { words_[p / 64] &= ~(std::uint64_t{1} << (p % 64)); }

 private:
  std::vector<std::uint64_t> words_;
};

}  // namespace torvanelle::vect
