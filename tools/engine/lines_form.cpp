// The lines' form (forms.h): a TVLINES header line, then one feature a line.
#include <charconv>
#include <fstream>
#include <string_view>

#include "cli/outputs.h"
#include "tools/engine/fields.h"
#include "tools/engine/forms.h"

namespace torvanelle::engine {
namespace {

namespace fs = std::filesystem;
using cli::Error;

/// The feature on `line`, or an error saying what is wrong with it.
Feature feature_of(std::string_view line, const std::string& where) {
  const std::vector<std::string_view> w = fields(line);
  Feature f;
  if (w.size() < 6 || w.size() % 2 != 0)
    throw Error(where + ": a line needs a number, a count of bridges and two vertices or more");
  if (!read_word(w[0], f.number) || f.number < 0 || f.number > 254)
    throw Error(where + ": the contour number must be from 0 to 254, not '" + std::string(w[0]) +
                "'");
  if (!read_word(w[1], f.bridged) || f.bridged < 0)
    throw Error(where + ": the count of bridges must be a whole number from 0, not '" +
                std::string(w[1]) + "'");
  f.xy.resize(w.size() - 2);
  for (std::size_t k = 0; k < f.xy.size(); ++k) {
    if (!read_word(w[k + 2], f.xy[k]))
      throw Error(where + ": '" + std::string(w[k + 2]) + "' is not a coordinate");
  }
  return f;
}

}  // namespace

std::vector<Feature> features_of(const std::vector<vect::Line>& lines) {
  std::vector<Feature> out;
  out.reserve(lines.size());
  for (const vect::Line& line : lines) {
    Feature f{line.number, line.bridged, {}};
    f.xy.reserve(line.pixels.size() * 2);
    for (const vect::Pixel& p : line.pixels) {
      f.xy.push_back(p.col + 0.5);
      f.xy.push_back(p.row + 0.5);
    }
    out.push_back(std::move(f));
  }
  return out;
}

void write_lines(const fs::path& file, const std::vector<Feature>& features,
                 const std::string& shown) {
  std::ofstream f(file, std::ios::binary);
  f << "TVLINES 1 " << features.size() << '\n';
  char text[64];
  for (const Feature& feature : features) {
    f << feature.number << ' ' << feature.bridged;
    for (const double v : feature.xy) {
      const auto [end, ec] = std::to_chars(text, text + sizeof text, v);
      f << ' ' << std::string_view(text, static_cast<std::size_t>(end - text));
    }
    f << '\n';
  }
  f.close();
  if (!f) throw Error("cannot write " + shown);
}

std::vector<Feature> read_lines(const fs::path& file, const std::string& shown) {
  std::ifstream f(file, std::ios::binary);
  if (!f) throw Error("cannot read " + shown);
  std::string line;
  const bool headed = static_cast<bool>(std::getline(f, line));
  const std::vector<std::string_view> head = fields(line);
  std::size_t count = 0;
  if (!headed || head.size() != 3 || head[0] != "TVLINES" || !read_word(head[2], count))
    throw Error(shown +
                " is not a lines file of torvanelle-engine: it does not begin with a "
                "line 'TVLINES 1 COUNT'");
  if (f.eof()) throw Error(shown + " is truncated: it ends within its header");
  if (head[1] != "1") throw Error(shown + ": lines form version '" + std::string(head[1]) + "'");
  std::vector<Feature> features;
  while (std::getline(f, line)) {
    const std::string where = shown + ", line " + std::to_string(features.size() + 2);
    if (features.size() == count) throw Error(where + ": more lines than its header says");
    if (f.eof()) throw Error(where + ": the file ends within the line: it is truncated");
    features.push_back(feature_of(line, where));
  }
  if (f.bad()) throw Error("cannot read " + shown);
  if (features.size() < count)
    throw Error(shown + " is truncated: its header says " + std::to_string(count) +
                " lines, it holds " + std::to_string(features.size()));
  return features;
}

}  // namespace torvanelle::engine
