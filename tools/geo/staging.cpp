#include "tools/geo/staging.h"

#include <random>
#include <string>

#include "tools/geo/gdal_support.h"

namespace geo {

namespace fs = std::filesystem;

namespace {

/// Eight random hexadecimal digits, so that concurrent commands never share a scratch folder.
std::string random_suffix(std::mt19937& bits) {
  static constexpr char digits[] = "0123456789abcdef";
  std::string s;
  for (int i = 0; i < 8; ++i)
    s += digits[bits() % 16];
  return s;
}

}  // namespace

Staging::Staging(const fs::path& destination) : destination_(destination) {
  std::mt19937 bits(std::random_device{}());
  const fs::path folder = destination.empty() ? fs::path(".") : destination;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const fs::path candidate = folder / (".torvanelle-geo-" + random_suffix(bits));
    std::error_code ec;
    if (fs::create_directory(candidate, ec)) {
      scratch_ = candidate;
      return;
    }
    if (ec)
      throw Error("cannot create a scratch folder in " + folder.string() + ": " + ec.message());
  }
  throw Error("cannot create a scratch folder in " + folder.string());
}

Staging::~Staging() {
  std::error_code ignored;
  fs::remove_all(scratch_, ignored);
}

void Staging::commit(std::initializer_list<fs::path> names) {
  for (const fs::path& name : names) {
    const fs::path target = destination_ / name;
    std::error_code ec;
    fs::rename(scratch_ / name, target, ec);
    if (ec) throw Error("cannot write " + target.string() + ": " + ec.message());
  }
}

}  // namespace geo
