// The program's cleaning against the literal model on many seeded random rasters: every pixel
// and every printed byte must agree.
#include <gtest/gtest.h>

#include <sstream>

#include "cleaning/thinning.h"
#include "model/literal_model.h"
#include "random_raster.h"
#include "support.h"

namespace {

constexpr std::uint32_t cases = 600;

TEST(Differential, ThinningAgreesWithTheModel) {
  int thinned_something = 0;
  for (std::uint32_t seed = 1; seed <= cases; ++seed) {
    const model::Grid in = support::random_raster(seed);
    const model::Thinned expected = model::thin(in);
    support::Loaded loaded(in);
    std::ostringstream out;
    const torvanelle::Span span = torvanelle::thinning(loaded.st, out);

    ASSERT_EQ(out.str(), expected.transcript) << "seed " << seed;
    ASSERT_EQ(loaded.tab_out(), expected.out) << "seed " << seed;
    ASSERT_EQ(span.minval, expected.minval) << "seed " << seed;
    ASSERT_EQ(span.maxval, expected.maxval) << "seed " << seed;
    if (expected.transcript.find("modifications") != std::string::npos) ++thinned_something;
  }
  // The generator must exercise the removal, not just copy rasters through.
  EXPECT_GT(thinned_something, static_cast<int>(cases) / 2);
}

}  // namespace
