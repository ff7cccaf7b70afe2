// The cleaning engine against the literal model on many seeded random rasters: every pixel and
// every byte of the reports the program prints must agree.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "devtools/model/literal_model.h"
#include "devtools/random_raster.h"
#include "devtools/support.h"

#ifndef TORVANELLE_DIFFERENTIAL_CASES
#define TORVANELLE_DIFFERENTIAL_CASES 4000
#endif

namespace {

constexpr std::uint32_t cases = TORVANELLE_DIFFERENTIAL_CASES;

/// The most scans that removed pixels of one number, read from a transcript.
int most_scans(const std::string& transcript) {
  int most = 0;
  int scans = 0;
  std::istringstream lines(transcript);
  for (std::string line; std::getline(lines, line);) {
    if (line.find("Treatment of the contour line") != std::string::npos) scans = 0;
    if (line.find("Number of modifications") != std::string::npos) most = std::max(most, ++scans);
  }
  return most;
}

/// How the cases exercised the cleaning, so that a weakened generator cannot pass unnoticed.
struct Coverage {
  int thinned = 0;       // cases whose thinning removed something
  int deburred = 0;      // cases whose deburring removed something
  int many_scans = 0;    // cases with a line that took 20 scans or more
  int many_numbers = 0;  // cases with a span of 200 numbers or more
  int narrow = 0;        // cases 3 pixels wide or less
};

TEST(Differential, TreatmentAgreesWithTheModel) {
  Coverage seen;
  for (std::uint32_t seed = 1; seed <= cases; ++seed) {
    const model::Grid in = support::random_raster(seed);
    // Two cases in three are deburred.
    const int answer = seed % 3 == 0 ? 1 : 0;
    const model::Thinned thinned = model::thin(in);
    const model::Deburred expected = model::treat(thinned, answer);
    const support::Cleaned cleaned = support::clean(in, answer == 0);

    ASSERT_EQ(cleaned.thinning_report, thinned.transcript) << "seed " << seed;
    ASSERT_EQ(cleaned.thinned, thinned.out) << "seed " << seed;
    ASSERT_EQ(cleaned.out, expected.out) << "seed " << seed;
    if (answer == 0) {
      const model::Deburred deburred = model::deburr(thinned.out, thinned.minval, thinned.maxval);
      ASSERT_EQ(cleaned.deburring_report, deburred.transcript) << "seed " << seed;
    }

    if (thinned.out != in) ++seen.thinned;
    if (answer == 0 && expected.out != thinned.out) ++seen.deburred;
    if (most_scans(thinned.transcript) >= 20) ++seen.many_scans;
    if (thinned.maxval - thinned.minval >= 199) ++seen.many_numbers;
    if (std::min(in.rows, in.cols) <= 3) ++seen.narrow;
  }
  const int n = static_cast<int>(cases);
  EXPECT_GT(seen.thinned, n / 2);
  EXPECT_GT(seen.deburred, n / 4);
  EXPECT_GT(seen.many_scans, n / 100);
  EXPECT_GT(seen.many_numbers, n / 50);
  EXPECT_GT(seen.narrow, n / 10);
  std::cout << "[ cases    ] " << n << " cases: " << seen.thinned << " thinned, " << seen.deburred
            << " deburred, " << seen.many_scans << " with 20+ scans, " << seen.many_numbers
            << " with 200+ numbers, " << seen.narrow << " at most 3 pixels wide\n";
}

}  // namespace
