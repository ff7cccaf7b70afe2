#include "cli/levels.h"

#include <string>

#include "cli/cli.h"

namespace torvanelle::cli {

void declare_levels(CLI::App& app, std::optional<double>& base, std::optional<double>& interval,
                    const char* base_item, const char* interval_item) {
  const auto by_default = [](const char* key) {
    return key != nullptr ? std::string(" (default: the source's metadata item ") + key + ")"
                          : std::string();
  };
  CLI::Option* b =
      app.add_option("--base", base, "elevation of contour number 0" + by_default(base_item))
          ->check(between(base_range.low, base_range.high));
  CLI::Option* i = app.add_option("--interval", interval,
                                  "elevation between two numbers, positive: `elevation` = base + "
                                  "number x interval" +
                                      by_default(interval_item))
                       ->check(between(interval_range.low, interval_range.high));
  b->needs(i);
  i->needs(b);
}

void declare_line_options(CLI::App& app, LineOptions& o) {
  app.add_option("--min-branch", o.min_branch,
                 "prune branches shorter than N pixels at junctions (default: 3)")
      ->check(whole_between(0, 1000000));
  app.add_option("--simplify", o.simplify,
                 "Douglas-Peucker with tolerance T pixels (default: 0, every vertex a pixel "
                 "centre)")
      ->check(between(0, 1000000));
  app.add_option("--bridge", o.bridge,
                 "join free ends of one number at most D pixels apart along the ground: by the "
                 "contour of their number on an elevation model of the raster around them, when "
                 "it joins them within D pixels, crossing no line and no pixel of another number; "
                 "the attribute `bridged` counts the joins in a line (default: 0, none)")
      ->check(between(0, 1000));
  app.add_flag("--straight-bridges", o.straight_bridges,
               "bridge by straight segments instead, between ends that face each other (each "
               "end's direction within 60 degrees of the bridge); faster, but a straight bridge "
               "cuts across where the line bends");
  app.add_option("--min-length", o.min_length,
                 "leave out lines shorter than L pixels (default: 2: no line of one pixel)")
      ->check(between(0, 1000000));
}

void say_line_counts(std::ostream& err, const std::string& program, const LineOptions& o,
                     long long left_out, long long bridges) {
  if (left_out > 0) {
    err << program << ": left out " << counted(static_cast<double>(left_out), "line", "lines")
        << " shorter than " << counted(o.min_length, "pixel", "pixels") << '\n';
  }
  if (o.bridge > 0) {
    err << program << ": " << counted(static_cast<double>(bridges), "bridge", "bridges")
        << " across gaps\n";
  }
}

}  // namespace torvanelle::cli
