#include "cli/background.h"

#include <algorithm>

#include "cli/outputs.h"

namespace torvanelle::cli {

void Background::count(const std::uint8_t* px, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i)
    ++counts_[px[i]];
}

void Background::judge(const std::string& source, bool nodata_declared, std::ostream& log) const {
  std::uint64_t total = 0;
  for (const std::uint64_t c : counts_)
    total += c;
  const auto widest = std::max_element(counts_.begin(), counts_.end() - 1);
  if (total > 0 && *widest * 2 > total) {
    const std::string number = std::to_string(widest - counts_.begin());
    throw Error(source + ": contour number " + number + " covers " +
                std::to_string(*widest * 100 / total) +
                "% of the pixels, as a background does, not a line: rasterise the lines onto 255 "
                "(gdal_rasterize -init 255 -a_nodata 255 ...), or mark " +
                number + " as no line (gdal_translate -a_nodata " + number + " ...)");
  }
  if (counts_[255] == 0 && !nodata_declared) {
    log << "warning: " << source
        << " has no nodata value and no pixel of 255: every pixel is taken for a contour line; "
           "if a value stands for the background, mark it as no line (gdal_translate -a_nodata "
           "VALUE ...), or rasterise the lines onto 255 (gdal_rasterize -init 255 -a_nodata 255 "
           "...)\n";
  }
}

}  // namespace torvanelle::cli
