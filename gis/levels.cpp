#include "gis/levels.h"

#include <charconv>
#include <string>
#include <string_view>

#include <cpl_string.h>

#include "gis/metadata_items.h"

namespace torvanelle::gis {
namespace {

/// `x` as a person writes it: 1000000, 0.5, 1e-06.
std::string shown_number(double x) { return CPLSPrintf("%.15g", x); }

/// The number in metadata item `key` of `ds`; nothing when absent; throws when present and not a
/// number within `range`.
std::optional<double> number_item(GDALDataset& ds, const char* key, Range range,
                                  const std::filesystem::path& shown) {
  const char* text = items::text_of(ds, key);
  if (text == nullptr) return std::nullopt;
  const std::string_view s(text);
  double value = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
  // A level out of range would make elevations no Float32 holds: +inf for BASE=1e300.
  if (ec != std::errc() || end != s.data() + s.size() || !range.holds(value)) {
    throw Error(shown.string() + ": the metadata item " + key + " must be a number from " +
                shown_number(range.low) + " to " + shown_number(range.high) + ", not '" +
                std::string(s) + "'");
  }
  return value;
}

}  // namespace

void declare_levels(CLI::App& app, std::optional<double>& base, std::optional<double>& interval,
                    bool from_metadata) {
  cli::declare_levels(app, base, interval, from_metadata ? items::base : nullptr,
                      from_metadata ? items::interval : nullptr);
}

Levels levels_of(GDALDataset& source, const std::filesystem::path& shown) {
  const std::optional<double> base = number_item(source, items::base, base_range, shown);
  const std::optional<double> interval =
      number_item(source, items::interval, interval_range, shown);
  if (!base || !interval) {
    throw Error(shown.string() +
                ": no base and interval: give --base and --interval, or the source the "
                "metadata items BASE and INTERVAL");
  }
  return {*base, *interval};
}

}  // namespace torvanelle::gis
