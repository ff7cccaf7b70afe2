#include "io/paths.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using torvanelle::host_path;
using torvanelle::images_root;

// A 128-byte name buffer holds folder + name within these limits, and no more.
static_assert(torvanelle::input_names_max == 112);
static_assert(torvanelle::output_names_max == 106);

TEST(Paths, FolderPathKeepsTheBuiltForm) {
  EXPECT_EQ(torvanelle::folder_path("site"), "C:\\images\\site\\");
}

#ifndef _WIN32
TEST(Paths, HostPathPutsTheImagesRootForTheBaseDirectory) {
  EXPECT_EQ(images_root().back(), '/');
  const std::string root(images_root());
  EXPECT_EQ(host_path("C:\\images\\site\\dem1.raw"), root + "site/dem1.raw");
  EXPECT_EQ(host_path("C:\\images\\site\\dem1_venc8.txt"), root + "site/dem1_venc8.txt");
  // Only a leading base directory is replaced.
  EXPECT_EQ(host_path("C:\\images\\C:\\images\\x"), root + "C:/images/x");
  EXPECT_EQ(host_path("D:\\data\\x.raw"), "D:/data/x.raw");
  EXPECT_EQ(host_path("plain.raw"), "plain.raw");
}
#else
TEST(Paths, HostPathIsTheBuiltPath) {
  EXPECT_EQ(images_root(), "C:\\images\\");
  EXPECT_EQ(host_path("C:\\images\\site\\dem1.raw"), "C:\\images\\site\\dem1.raw");
}
#endif

}  // namespace
