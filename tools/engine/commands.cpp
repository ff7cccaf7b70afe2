#include "tools/engine/commands.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <memory>
#include <new>
#include <optional>
#include <sstream>
#include <utility>

#include "app/treatment.h"
#include "base/owned_raster.h"
#include "cleaning/deburring.h"
#include "cleaning/thinning.h"
#include "cli/background.h"
#include "cli/progress_printer.h"
#include "dem/dem.h"
#include "tools/engine/forms.h"
#include "vector/framed.h"
#include "vector/vectorise.h"

namespace torvanelle::engine {
namespace {

namespace fs = std::filesystem;

/// The source's pixels, the source added to the command's; a background burned as a contour
/// number is refused, and a raster without a pixel of 255 said on `err`.
Image read_source(const EngineOptions& o, cli::Command& command, std::ostream& err) {
  command.sources.add(o.source);
  std::error_code ec;
  if (!fs::exists(o.source, ec)) throw cli::Error(o.source + " does not exist");
  Image image = read_raster(o.source, o.source);
  cli::Background counts;
  counts.count(image.px.data(), image.px.size());
  counts.judge(o.source, false, err);
  return image;
}

/// Declares the output, read back before it is put in place: a contour raster (an elevation
/// model when `model`) of the source's size.
fs::path add_raster_output(const EngineOptions& o, cli::Command& command, const Image& source,
                           bool model) {
  cli::OutputKind kind;
  const int rows = source.rows, cols = source.cols;
  const std::string shown = o.output;
  kind.verify = [rows, cols, shown, model](const fs::path& written) {
    int r = 0, c = 0;
    if (model) {
      const dem::Model m = read_model(written, shown);
      r = m.rows, c = m.cols;
    } else {
      const Image i = read_raster(written, shown);
      r = i.rows, c = i.cols;
    }
    if (r != rows || c != cols) throw cli::Error("cannot write " + shown + ": it reads back wrong");
  };
  return command.outputs.add(o.output, command.sources, kind);
}

/// The cleaning of `image`: thinning, then deburring when asked; its report said on `report`.
Image cleaned(const Image& image, bool deburr, std::ostream& report) {
  const auto rows = static_cast<std::int32_t>(image.rows);
  const auto cols = static_cast<std::int32_t>(image.cols);
  OwnedRaster tab_in(cols, rows), tab_out(cols, rows);
  if (!tab_in || !tab_out) throw std::bad_alloc();
  const auto width = static_cast<std::size_t>(cols);
  for (std::int32_t i = 0; i < rows; ++i)
    std::memcpy(tab_in[i], image.px.data() + static_cast<std::size_t>(i) * width, width);
  const Thinned thinned = thinning(tab_in.get(), tab_out.get(), rows, cols);
  if (deburr) deburring(tab_out.get(), rows, cols);
  say_thinning(thinned, report);
  if (deburr) say_deburring(thinned.span, report);
  Image out(image.rows, image.cols);
  for (std::int32_t i = 0; i < rows; ++i)
    std::memcpy(out.px.data() + static_cast<std::size_t>(i) * width, tab_out[i], width);
  return out;
}

}  // namespace

void clean(const EngineOptions& o, cli::Command& command, std::ostream& out, std::ostream& err) {
  cli::ProgressPrinter printer(out, !o.quiet);
  const Progress progress = printer.progress();
  Image image = read_source(o, command, err);
  const fs::path staged = add_raster_output(o, command, image, false);
  std::optional<fs::path> staged_report;
  if (!o.report.empty()) staged_report = command.outputs.add(o.report, command.sources);
  progress.at(0.1);
  std::ostringstream report;
  image = cleaned(image, !o.no_deburring, report);
  progress.at(0.9);
  write_raster(staged, image, o.output);
  if (staged_report) {
    std::ofstream f(*staged_report, std::ios::binary);
    f << report.str();
    f.close();
    if (!f) throw cli::Error("cannot write " + o.report);
  }
  printer.done();
}

void vectorise(const EngineOptions& o, cli::Command& command, std::ostream& out,
               std::ostream& err) {
  cli::ProgressPrinter printer(out, !o.quiet);
  const Progress progress = printer.progress();
  Image image = read_source(o, command, err);
  cli::OutputKind kind;
  auto written = std::make_shared<std::size_t>(0);
  kind.verify = [written, shown = o.output](const fs::path& file) {
    if (read_lines(file, shown).size() != *written)
      throw cli::Error("cannot write " + shown + ": it reads back wrong");
  };
  const fs::path staged = command.outputs.add(o.output, command.sources, kind);
  progress.at(0.1);
  // The source's pixels let go once framed: one raster in memory rather than two.
  vect::Framed framed(image);
  image = Image();
  vect::Counts counts;
  const cli::LineOptions& l = o.lines;
  const vect::Ground ground = l.straight_bridges ? vect::Ground() : dem::ground_in_numbers;
  const std::vector<vect::Line> lines =
      vect::vectorise(framed, {l.min_branch, l.simplify, l.bridge, l.min_length, ground}, &counts,
                      progress.part(0.1, 0.9));
  cli::say_line_counts(err, "torvanelle-engine", l, counts.left_out, counts.bridges);
  *written = lines.size();
  write_lines(staged, features_of(lines), o.output);
  printer.done();
}

void model(const EngineOptions& o, cli::Command& command, std::ostream& out, std::ostream& err) {
  cli::ProgressPrinter printer(out, !o.quiet);
  const Progress progress = printer.progress();
  Image image = read_source(o, command, err);
  const fs::path staged = add_raster_output(o, command, image, true);
  progress.at(0.1);
  const dem::Model m =
      dem::elevation_model(std::move(image), {*o.base, *o.interval}, {}, progress.part(0.1, 0.9));
  write_model(staged, m, o.output);
  printer.done();
}

}  // namespace torvanelle::engine
