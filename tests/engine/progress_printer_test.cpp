#include "cli/progress_printer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

namespace {

using torvanelle::cli::ProgressPrinter;

constexpr const char* whole = "0...10...20...30...40...50...60...70...80...90...100 - done.\n";

struct Case {
  const char* what;
  std::vector<double> reports;
  std::string printed;
};

TEST(ProgressPrinter, PrintsWhatGdalsUtilitiesPrint) {
  const std::vector<Case> cases = {
      {"nothing reported", {}, ""},
      {"the start", {0}, "0"},
      {"one tick short of ten", {0.099}, "0..."},
      {"ten", {0.1}, "0...10"},
      {"a dot a fortieth", {0.26}, "0...10...20.."},
      {"the end at once", {1}, whole},
      {"past the end", {7}, whole},
      {"a fall adds nothing", {0.5, 0.2}, "0...10...20...30...40...50"},
      {"NaN is the start", {std::nan("")}, "0"},
      {"the end twice, printed once", {0.3, 1, 1}, whole},
  };
  for (const Case& c : cases) {
    std::ostringstream out;
    ProgressPrinter printer(out, true);
    for (const double f : c.reports)
      printer.at(f);
    EXPECT_EQ(out.str(), c.printed) << c.what;
  }
}

TEST(ProgressPrinter, AnEnginesPartsLandOnTheirShare) {
  std::ostringstream out;
  ProgressPrinter printer(out, true);
  const torvanelle::Progress p = printer.progress();
  p.part(0, 0.5).at(1);
  EXPECT_EQ(out.str(), "0...10...20...30...40...50");
  p.part(0.5, 1).at(1);
  EXPECT_EQ(out.str(), whole);
}

TEST(ProgressPrinter, QuietPrintsNothing) {
  std::ostringstream out;
  ProgressPrinter printer(out, false);
  printer.at(0.5);
  printer.done();
  EXPECT_EQ(out.str(), "");
}

}  // namespace
