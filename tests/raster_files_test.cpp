// The lecture and save stages, and the raster rows they read and write.
#include "app/lecture_save.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>

#include "devtools/support.h"
#include "io/raster_files.h"

namespace {

namespace fs = std::filesystem;

class RasterFiles : public ::testing::Test {
 protected:
  /// Reads `bytes` as the raster file of a rows × cols image; returns what lecture printed.
  std::string read(support::Loaded& loaded, const std::string& bytes) {
    support::write_file(dir_ / "in.raw", bytes);
    loaded.st.f1.reset(std::fopen((dir_ / "in.raw").string().c_str(), "rb"));
    loaded.st.nomim1 = "C:\\images\\site\\in.raw";
    std::ostringstream out;
    EXPECT_EQ(torvanelle::lecture(loaded.st, out), torvanelle::Flow::proceed);
    EXPECT_EQ(loaded.st.f1, nullptr);
    return out.str();
  }

  /// Saves `loaded` to out.raw / out.txt, through their temporaries; returns the flow.
  torvanelle::Flow save(support::Loaded& loaded, std::ostringstream& out) {
    EXPECT_TRUE(loaded.st.f2.create((dir_ / "out.raw").string(), "wb"));
    EXPECT_TRUE(loaded.st.f2d.create((dir_ / "out.txt").string(), "w"));
    loaded.st.nomim1 = "C:\\images\\site\\dem1.raw";
    loaded.st.nomim2 = "C:\\images\\site\\out_venc8.raw";
    loaded.st.nomdescr2 = "C:\\images\\site\\out_venc8.txt";
    return torvanelle::save(loaded.st, out);
  }

  support::ScratchDir scratch_;
  const fs::path dir_ = scratch_.path();
};

TEST_F(RasterFiles, LectureReadsRowByRowAndLeavesAFullFileUnreported) {
  support::Loaded loaded(model::Grid(2, 3, 0));
  // One byte more than the raster: a longer file is read only as far as the raster goes.
  EXPECT_EQ(read(loaded, std::string("\x01\x02\x03\xfe\xff\x00\x07", 7)), "\n\tLecture ");
  support::Loaded expected(support::grid({"123", "#.0"}));
  for (int i = 0; i < 2; ++i) {
    for (int j = 0; j < 3; ++j)
      EXPECT_EQ(loaded.st.tab_in[i][j], expected.st.tab_in[i][j]);
  }
}

TEST_F(RasterFiles, ShortFileIsReadAsFarAsItGoesWithOneWarning) {
  support::Loaded loaded(model::Grid(3, 4, 0));
  const std::string said = read(loaded, std::string(6, '\x09'));  // a row and a half
  EXPECT_EQ(
      said,
      "\n\tLecture \n\tWarning: C:\\images\\site\\in.raw holds 6 bytes where 12 are expected: "
      "the missing pixels are read as contour line 0 ");
  EXPECT_EQ(loaded.st.tab_in[1][1], 9);
  EXPECT_EQ(loaded.st.tab_in[1][2], 0) << "a partly read row keeps zeros after the last byte";
  EXPECT_EQ(loaded.st.tab_in[2][3], 0);
}

TEST_F(RasterFiles, SaveWritesTheRasterAndTheTrailer) {
  for (int ebarb : {0, 1, -2}) {
    support::Loaded loaded(support::grid({"1.", "#3"}));
    for (int i = 0; i < 2; ++i) {
      for (int j = 0; j < 2; ++j)
        loaded.st.tab_out[i][j] = loaded.st.tab_in[i][j];
    }
    loaded.st.ebarb = ebarb;
    std::ostringstream out;
    EXPECT_EQ(save(loaded, out), torvanelle::Flow::proceed);
    EXPECT_EQ(out.str(), "") << "save prints nothing";
    EXPECT_TRUE(loaded.st.f2.path().empty()) << "put in place";
    EXPECT_TRUE(loaded.st.f2d.path().empty()) << "put in place";
    EXPECT_EQ(support::read_file(dir_ / "out.raw"), std::string("\x01\xff\xfe\x03", 4));
    const std::string note = ebarb == 0 ? "\n\n Ebarbulation treatment" : "";
    EXPECT_EQ(support::read_file(dir_ / "out.txt"),
              support::text_file_bytes("\n input image : C:\\images\\site\\dem1.raw " + note +
                                       "\n\n\t\t\t\tContour lines thinned by Torvanelle\n"))
        << "ebarb " << ebarb;
  }
}

TEST_F(RasterFiles, EmptyImageWritesAnEmptyRasterAndTheTrailer) {
  support::Loaded loaded(model::Grid(0, 0, 0));
  EXPECT_EQ(read(loaded, "abc"), "\n\tLecture ");
  std::ostringstream out;
  loaded.st.ebarb = 1;
  EXPECT_EQ(save(loaded, out), torvanelle::Flow::proceed);
  EXPECT_EQ(support::read_file(dir_ / "out.raw"), "");
  EXPECT_NE(support::read_file(dir_ / "out.txt").find("input image"), std::string::npos);
}

// Rows go to the file a few hundred KiB at a time, rows wider than that on their own, and a
// write error is never passed over.
TEST_F(RasterFiles, RowsAreWrittenWholeAndAFailedWriteIsReported) {
  for (const int cols : {1, 5000, 300000}) {
    support::Loaded loaded(model::Grid(3, cols, 7));
    for (int i = 0; i < 3; ++i)
      loaded.st.tab_in[i][cols - 1] = static_cast<std::uint8_t>(i);
    const fs::path file = dir_ / "rows.raw";
    std::FILE* f = std::fopen(file.string().c_str(), "wb");
    EXPECT_TRUE(torvanelle::write_rows(f, loaded.st.tab_in.get(), 3, cols));
    std::fclose(f);
    const std::string bytes = support::read_file(file);
    ASSERT_EQ(bytes.size(), 3u * static_cast<unsigned>(cols));
    for (int i = 0; i < 3; ++i)
      EXPECT_EQ(bytes[static_cast<std::size_t>(i + 1) * cols - 1], static_cast<char>(i));
  }
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full on this host";
  support::Loaded loaded(model::Grid(3, 5000, 7));
  std::FILE* full = std::fopen("/dev/full", "wb");
  EXPECT_FALSE(torvanelle::write_rows(full, loaded.st.tab_in.get(), 3, 5000));
  std::fclose(full);
}

}  // namespace
