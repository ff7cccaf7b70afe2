// The command line of every companion program, read the same way: CLI11 underneath, one set of
// rules on top.
//
//   --help      the usage on standard output, exit 0, nothing else done
//   --version   "NAME VERSION" on standard output, exit 0
//   anything not understood: one line saying what, one line of hint, on standard error, exit 2
//
// A program declares its options on its CLI::App, then calls `parse`; number
// options take `between`, so that a refused value is answered with the accepted range.
#pragma once

#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "cli/outputs.h"

namespace torvanelle::cli {

/// The version every program reports.
const char* version();

/// Gives the parser of a program (`CLI::App app{description, name}`) the convention's --help
/// and --version.
void follow_convention(CLI::App& app);

/// Reads the command line into `app`. Returns the status to end with at once (0 after --help or
/// --version, written to `out`; 2 after a line not understood, said on `err`), or nothing when
/// the program is to go on.
std::optional<int> parse(CLI::App& app, int argc, const char* const* argv, std::ostream& out,
                         std::ostream& err);

/// What a command's work is given: the files it reads, which it adds as it opens them, its
/// outputs, which it declares (each checked at once against the sources) and writes where
/// Outputs::add says, and where it says its warnings and counts: they are held and said on the
/// error stream once the work has ended, so that none breaks the progress line.
struct Command {
  Sources sources;
  Outputs outputs;
  std::ostream& warnings;
};

/// A whole run of a command whose options `app` declares, the one way every companion command
/// goes: reads `words` (the program's name left out); unless --help, --version or a line not
/// understood ends it there, calls `work`, then verifies its outputs and puts them in place
/// together (with --overwrite when `overwrite` is set by then). What `work` said on the
/// command's warnings comes next on `err`; then a failure `work` or the commit throws, as
/// "NAME: what" (std::bad_alloc as "not enough memory for SOURCE"), and nothing is put in place.
/// Returns the exit status: 0 done, 1 failed, 2 not understood.
int run(CLI::App& app, const std::vector<std::string>& words, std::ostream& out, std::ostream& err,
        const bool& overwrite, const std::string& source,
        const std::function<void(Command&)>& work);

/// `n` followed by `one` or `many` as English says it: "1 line", "0 lines", "2 lines".
std::string counted(double n, const std::string& one, const std::string& many);

/// A number option's check: a finite decimal number from `low` to `high`; a value outside is
/// refused with the range ("must be a number from 0 to 1000000, not '1e308'").
CLI::Validator between(double low, double high);

/// The same for whole numbers.
CLI::Validator whole_between(long long low, long long high);

}  // namespace torvanelle::cli
