// The program's cleaning against the literal model on many seeded random rasters: every pixel
// and every printed byte must agree.
#include <gtest/gtest.h>

#include <sstream>

#include "cleaning/treatment.h"
#include "model/literal_model.h"
#include "random_raster.h"
#include "support.h"

namespace {

constexpr std::uint32_t cases = 600;

TEST(Differential, TreatmentAgreesWithTheModel) {
  int thinned_something = 0;
  int deburred_something = 0;
  for (std::uint32_t seed = 1; seed <= cases; ++seed) {
    const model::Grid in = support::random_raster(seed);
    // Two cases in three are deburred.
    const int answer = seed % 3 == 0 ? 1 : 0;
    const model::Deburred expected = model::treat(in, answer);
    support::Loaded loaded(in);
    std::istringstream answers(std::to_string(answer));
    std::ostringstream out;
    const torvanelle::Flow flow = torvanelle::treatment(loaded.st, answers, out);

    ASSERT_EQ(flow, torvanelle::Flow::proceed) << "seed " << seed;
    ASSERT_EQ(out.str(), expected.transcript) << "seed " << seed;
    ASSERT_EQ(loaded.tab_out(), expected.out) << "seed " << seed;
    ASSERT_EQ(loaded.st.ebarb, answer) << "seed " << seed;
    if (expected.transcript.find("modifications") != std::string::npos) ++thinned_something;
    if (answer == 0 && expected.out != model::thin(in).out) ++deburred_something;
  }
  // The generator must exercise the removals, not just copy rasters through.
  EXPECT_GT(thinned_something, static_cast<int>(cases) / 2);
  EXPECT_GT(deburred_something, static_cast<int>(cases) / 4);
}

}  // namespace
