// The three commands of torvanelle-engine, each the work that cli::run calls.
#pragma once

#include <optional>
#include <ostream>
#include <string>

#include "cli/cli.h"
#include "cli/levels.h"

namespace torvanelle::engine {

/// What the command line of any command gives.
struct EngineOptions {
  std::string source;
  std::string output;
  bool no_deburring = false;       ///< clean: the thinning alone, without the one-point deburring
  std::string report;              ///< clean: where the thinning's report goes, "" nowhere
  cli::LineOptions lines;          ///< vect
  std::optional<double> base;      ///< dem: elevation of contour number 0
  std::optional<double> interval;  ///< dem: elevation between two numbers, positive
  bool overwrite = false;
  bool quiet = false;  ///< no progress
};

/// clean: the source thinned, then deburred unless told not, written as a u8 raster.
void clean(const EngineOptions& o, cli::Command& command, std::ostream& out, std::ostream& err);

/// vect: the source's contour lines, written as lines; what was left out is said on `err`.
void vectorise(const EngineOptions& o, cli::Command& command, std::ostream& out, std::ostream& err);

/// dem: the source's elevation model at the levels given, written as an f32 raster.
void model(const EngineOptions& o, cli::Command& command, std::ostream& out, std::ostream& err);

}  // namespace torvanelle::engine
