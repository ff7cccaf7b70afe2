#include "cli/cli.h"

#include <charconv>
#include <cmath>
#include <new>
#include <sstream>

#ifndef TORVANELLE_VERSION
#define TORVANELLE_VERSION "unknown"
#endif

namespace torvanelle::cli {

namespace {

/// `x` as a person writes it: 1000000, 0.5, 1e+30.
std::string shown(double x) {
  std::ostringstream s;
  s.precision(15);
  s << x;
  return s.str();
}

/// The whole of `word` as a T, or nothing.
template <class T>
std::optional<T> read(const std::string& word) {
  T value{};
  const char* end = word.data() + word.size();
  const auto [at, ec] = std::from_chars(word.data(), end, value);
  if (word.empty() || ec != std::errc() || at != end) return std::nullopt;
  return value;
}

template <class T>
CLI::Validator range(T low, T high, const std::string& kind) {
  const std::string accepted =
      kind + " from " + shown(static_cast<double>(low)) + " to " + shown(static_cast<double>(high));
  return CLI::Validator(
      [=](std::string& word) -> std::string {
        const std::optional<T> v = read<T>(word);
        if (v && std::isfinite(static_cast<double>(*v)) && *v >= low && *v <= high) return "";
        return "must be " + accepted + ", not '" + word + "'";
      },
      accepted);
}

}  // namespace

const char* version() { return TORVANELLE_VERSION; }

void follow_convention(CLI::App& a) {
  a.set_version_flag("--version", a.get_name() + " " + version(), "print the version and exit");
  a.set_help_flag("-h,--help", "print this and exit");
  // On Windows CLI11 would take "/x" for an option; a path may begin so (under Wine, always).
  a.allow_windows_style_options(false);
}

std::optional<int> parse(CLI::App& a, int argc, const char* const* argv, std::ostream& out,
                         std::ostream& err) {
  try {
    a.parse(argc, argv);
  } catch (const CLI::CallForVersion& v) {
    out << v.what() << '\n';
    return 0;
  } catch (const CLI::CallForHelp&) {
    out << a.help();
    return 0;
  } catch (const CLI::CallForAllHelp&) {
    out << a.help("", CLI::AppFormatMode::All);
    return 0;
  } catch (const CLI::ParseError& e) {
    err << a.get_name() << ": " << e.what() << "\nTry '" << a.get_name() << " --help'.\n";
    return 2;
  }
  return std::nullopt;
}

int run(CLI::App& app, const std::vector<std::string>& words, std::ostream& out, std::ostream& err,
        const bool& overwrite, const std::string& source,
        const std::function<void(Command&)>& work) {
  std::vector<const char*> argv{app.get_name().c_str()};
  for (const std::string& w : words)
    argv.push_back(w.c_str());
  if (const auto status = parse(app, static_cast<int>(argv.size()), argv.data(), out, err))
    return *status;
  std::ostringstream warnings;
  try {
    Command command{Sources(), Outputs(overwrite), warnings};
    work(command);
    command.outputs.commit(command.sources);
  } catch (const std::bad_alloc&) {
    err << warnings.str() << app.get_name() << ": not enough memory for " << source << '\n';
    return 1;
  } catch (const std::exception& e) {
    err << warnings.str() << app.get_name() << ": " << e.what() << '\n';
    return 1;
  }
  err << warnings.str();
  return 0;
}

std::string counted(double n, const std::string& one, const std::string& many) {
  return shown(n) + ' ' + (n == 1 ? one : many);
}

CLI::Validator between(double low, double high) { return range<double>(low, high, "a number"); }

CLI::Validator whole_between(long long low, long long high) {
  return range<long long>(low, high, "a whole number");
}

}  // namespace torvanelle::cli
