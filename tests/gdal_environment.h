// GDAL for the whole of a test program that drives the GDAL tools in-process, as each tool's
// main holds it; GDALDestroy() at the end, so that the leak checker sees only what the tests
// themselves leak. Include it in one file of the program.
#pragma once

#include <gtest/gtest.h>

#include <optional>

#include "gis/gdal.h"

namespace support {

class GdalEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { session_.emplace(); }
  void TearDown() override { session_.reset(); }

 private:
  std::optional<torvanelle::gis::GdalSession> session_;
};

inline const auto* const gdal_environment =
    ::testing::AddGlobalTestEnvironment(new GdalEnvironment);

}  // namespace support
