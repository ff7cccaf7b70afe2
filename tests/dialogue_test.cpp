// The opening stage driven through string streams in a scratch folder holding images/site/.
#include "app/opening.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>

#include "app/run.h"
#include "devtools/support.h"
#include "io/descriptor.h"
#include "io/host.h"
#include "io/paths.h"

namespace {

namespace fs = std::filesystem;

const std::string raster(20, '\x07');  // 4 lines of 5 columns
const std::string descriptor = "4\n5\n1\n0\n255\n10\n";

/// Each test runs in a scratch folder whose images root holds site/dem1.raw and dem1.txt.
class Opening : public ::testing::Test {
 protected:
  static fs::path site() { return support::SiteFolder::site(); }
  static std::string listing() { return support::SiteFolder::listing(); }

 private:
  support::SiteFolder folder_{raster, descriptor};
};

TEST_F(Opening, LeavesEverythingTheLaterStagesNeed) {
  torvanelle::State st;
  std::istringstream in("site dem1 1 out");
  std::ostringstream out;
  ASSERT_EQ(torvanelle::opening(st, in, out, out), torvanelle::Flow::proceed) << out.str();
  EXPECT_EQ(st.nomim1, "C:\\images\\site\\dem1.raw");
  EXPECT_NE(st.f1, nullptr);
  EXPECT_EQ(st.f1d, nullptr);
  ASSERT_NE(st.f2.get(), nullptr);
  ASSERT_NE(st.f2d.get(), nullptr);
  EXPECT_EQ(st.f2.final_path(), torvanelle::host_path("C:\\images\\site\\out_venc8.raw"));
  EXPECT_EQ(st.f2d.final_path(), torvanelle::host_path("C:\\images\\site\\out_venc8.txt"));
  ASSERT_TRUE(st.tab && st.tab_in && st.tab_out);
  EXPECT_NE(st.tab.get(), st.tab_in.get());
  EXPECT_NE(st.tab_in.get(), st.tab_out.get());
  for (const torvanelle::OwnedRaster* r : {&st.tab, &st.tab_in, &st.tab_out}) {
    for (int i = 0; i < 4; ++i)
      EXPECT_EQ(std::string(reinterpret_cast<char*>((*r)[i]), 5), std::string(5, '\0'));
  }
  st.f2d.close();
  EXPECT_EQ(support::read_file(st.f2d.path()), support::text_file_bytes(descriptor))
      << "the header is written under the temporary name";
  EXPECT_FALSE(fs::exists(site() / "out_venc8.txt")) << "the final names wait for save";
}

TEST_F(Opening, BannerLinesAreSixtyTwoWide) {
  torvanelle::State st;
  std::istringstream in("");
  std::ostringstream out;
  EXPECT_EQ(torvanelle::opening(st, in, out, out), torvanelle::Flow::failed);
  std::istringstream said(out.str());
  std::string line;
  std::getline(said, line);
  std::getline(said, line);
  for (int i = 0; i < 12; ++i) {
    ASSERT_TRUE(std::getline(said, line));
    if (i == 0 || i == 11) {
      EXPECT_EQ(line, "\t" + std::string(62, '*'));
      continue;
    }
    EXPECT_EQ(line.size(), 63u) << "a tab and a box line of 62 characters: " << line;
    EXPECT_EQ(line.substr(0, 2), "\t*");
    EXPECT_EQ(line.back(), '*');
  }
  EXPECT_NE(
      out.str().find("\n\t*" + std::string(22, ' ') + "TORVANELLE" + std::string(28, ' ') + "*"),
      std::string::npos);
}

// A descriptor that cannot be created stops the run before any output exists.
TEST_F(Opening, AnInputDescriptorThatCannotBeCreatedStopsTheRun) {
#ifdef _WIN32
  GTEST_SKIP() << "a symbolic link needs a privilege on Windows";
#endif
  fs::remove(site() / "dem1.txt");
  fs::create_symlink("no such folder/dem1.txt", site() / "dem1.txt");
  torvanelle::State st;
  std::istringstream in("site dem1 4 5 10 0 1");
  std::ostringstream out;
  EXPECT_EQ(torvanelle::run(st, in, out, out), 1);
  const std::string ending =
      "\n\tThe file C:\\images\\site\\dem1.txt cannot be created: the run stops \n";
  EXPECT_TRUE(out.str().ends_with(ending)) << out.str();
  EXPECT_EQ(listing(), "dem1.raw dem1.txt ") << "dem1.txt is the dangling link";
}

// Sizes the machine cannot hold are refused before anything is allocated or created: counted
// with their row tables and per-row allocations, against the machine's memory. Trusting an
// allocator that promises more than there is would run for minutes and then fail.
TEST_F(Opening, SizesBeyondTheMachineAreRefusedBeforeAnyOutput) {
  const std::uint64_t memory = torvanelle::physical_memory();
  if (memory == 0) GTEST_SKIP() << "this host does not tell the size of its memory";
  std::int32_t just_over = static_cast<std::int32_t>(memory / 3300);  // lines of 1000 columns
  while (!torvanelle::beyond_memory(just_over, 1000, memory))
    ++just_over;
  for (const auto& [lines, columns] : {std::pair{2147483647, 1}, std::pair{just_over, 1000}}) {
    const std::string too_large =
        std::to_string(lines) + "\n" + std::to_string(columns) + "\n1\n0\n255\n10\n";
    support::write_file(site() / "dem1.txt", too_large);
    torvanelle::State st;
    std::istringstream in("site dem1 0 1");
    std::ostringstream out;
    EXPECT_EQ(torvanelle::run(st, in, out, out), 1);
    const std::string ending = "\n\tThe memory for three rasters of " + std::to_string(lines) +
                               " lines and " + std::to_string(columns) +
                               " columns cannot be had: the run stops \n";
    EXPECT_TRUE(out.str().ends_with(ending)) << out.str();
    EXPECT_EQ(listing(), "dem1.raw dem1.txt ");
    EXPECT_EQ(support::read_file(site() / "dem1.txt"), too_large);
  }
}

// Each raster of 4 lines takes 5 requests (the row table, then 4 rows): failing the 1st, the
// 8th and the 15th request fails the first, second and third raster.
TEST_F(Opening, AnAllocationThatFailsStopsTheRunAndRemovesTheOutputs) {
  for (int failing : {1, 8, 15}) {
    const support::FailingAllocator allocator(failing);
    torvanelle::State st;
    std::istringstream in("site dem1 0 1");
    std::ostringstream out;
    const int status = torvanelle::run(st, in, out, out);
    EXPECT_EQ(status, 1) << "request " << failing;
    EXPECT_NE(out.str().find("\n\tThe memory for three rasters of 4 lines and 5 columns cannot be "
                             "had: the run stops \n"),
              std::string::npos)
        << out.str();
    EXPECT_EQ(listing(), "dem1.raw dem1.txt ") << "request " << failing;
    EXPECT_EQ(support::read_file(site() / "dem1.raw"), raster);
    EXPECT_EQ(support::read_file(site() / "dem1.txt"), descriptor);
  }
}

}  // namespace
