// Fuzz target: the cleaning on small rasters, checked against the literal model and against
// the properties every thinned and deburred raster has.
//
// Input: byte 0 the rows (1 to 32), byte 1 the columns (1 to 32), byte 2 the palette, then one
// byte per pixel, row by row (pixels past the end of the input are background). The palette's
// low three bits give how many numbers the pixels draw from (0: the byte is the pixel itself),
// its high five bits the lowest of them, so that numbers near 254 are drawn too.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "check.h"
#include "devtools/model/literal_model.h"
#include "devtools/support.h"

namespace {

model::Grid raster_of(const std::uint8_t* data, std::size_t size) {
  const int rows = 1 + data[0] % 32;
  const int cols = 1 + data[1] % 32;
  const int numbers = data[2] & 7;
  const int lowest = data[2] >> 3 << 3;
  model::Grid g(rows, cols, 255);
  std::size_t at = 3;
  for (int i = 0; i < rows; ++i) {
    for (int j = 0; j < cols && at < size; ++j, ++at) {
      const int b = data[at];
      if (numbers == 0) {
        g.at(i, j) = b;
        continue;
      }
      const int pick = b % (numbers + 1);
      g.at(i, j) = pick == numbers ? 255 : std::min(lowest + pick, 254);
    }
  }
  return g;
}

/// The 8-connected pieces of number k in g.
int pieces(const model::Grid& g, int k) {
  std::vector<char> seen(g.px.size(), 0);
  int count = 0;
  for (int start = 0; start < g.rows * g.cols; ++start) {
    if (g.px[start] != k || seen[start]) continue;
    ++count;
    std::vector<int> stack = {start};
    seen[start] = 1;
    while (!stack.empty()) {
      const int p = stack.back();
      stack.pop_back();
      const int i = p / g.cols;
      const int j = p % g.cols;
      for (int di = -1; di <= 1; ++di) {
        for (int dj = -1; dj <= 1; ++dj) {
          const int ni = i + di;
          const int nj = j + dj;
          if (ni < 0 || nj < 0 || ni >= g.rows || nj >= g.cols) continue;
          const int q = ni * g.cols + nj;
          if (g.px[q] == k && !seen[q]) {
            seen[q] = 1;
            stack.push_back(q);
          }
        }
      }
    }
  }
  return count;
}

/// `after` only takes pixels away from `before`: no pixel added, none renumbered, background
/// kept; and every line keeps as many 8-connected pieces as it had (none split, none erased).
void check_only_removes(const model::Grid& before, const model::Grid& after, const char* step) {
  FUZZ_CHECK(after.rows == before.rows && after.cols == before.cols, "%s changed the size", step);
  std::vector<bool> present(256, false);
  for (std::size_t p = 0; p < before.px.size(); ++p) {
    FUZZ_CHECK(after.px[p] == 255 || after.px[p] == before.px[p], "%s: pixel %zu is %d, was %d",
               step, p, after.px[p], before.px[p]);
    present[static_cast<std::size_t>(before.px[p])] = true;
  }
  for (int k = 0; k < 255; ++k) {
    if (!present[static_cast<std::size_t>(k)]) continue;
    FUZZ_CHECK(pieces(after, k) == pieces(before, k), "%s: line %d has %d pieces, had %d", step, k,
               pieces(after, k), pieces(before, k));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return 0;
  const model::Grid in = raster_of(data, size);
  const model::Thinned thinned = model::thin(in);

  const support::Cleaned cleaned = support::clean(in, true);
  FUZZ_CHECK(cleaned.thinned == thinned.out, "thinning differs from the model");
  FUZZ_CHECK(cleaned.thinning_report == thinned.transcript,
             "thinning report differs from the model:\n%s", cleaned.thinning_report.c_str());
  check_only_removes(in, cleaned.thinned, "thinning");

  // A thinned raster is thin: thinning it again removes nothing.
  const support::Cleaned again = support::clean(cleaned.thinned, false);
  FUZZ_CHECK(again.thinned == cleaned.thinned, "a second thinning changed the raster");
  FUZZ_CHECK(again.thinning_report.find("Number of modifications") == std::string::npos,
             "a second thinning removed pixels:\n%s", again.thinning_report.c_str());

  const model::Deburred expected = model::deburr(thinned.out, thinned.minval, thinned.maxval);
  FUZZ_CHECK(cleaned.out == expected.out, "deburring differs from the model");
  FUZZ_CHECK(cleaned.deburring_report == expected.transcript, "deburring report differs");
  check_only_removes(cleaned.thinned, cleaned.out, "deburring");
  return 0;
}
