#include "vector/tool/run.h"

#include <cpl_error.h>
#include <gdal_priv.h>

#include <new>

#include "vector/framed.h"
#include "vector/simplify.h"
#include "vector/skeleton.h"
#include "vector/tool/options.h"
#include "vector/tool/output.h"
#include "vector/tool/source.h"
#include "vector/trace.h"

namespace torvanelle::vect::tool {
namespace {

/// GDAL's own messages held back while the object lives: the tool says what went wrong itself,
/// quoting GDAL's last message.
struct QuietGdal {
  QuietGdal() { CPLPushErrorHandler(CPLQuietErrorHandler); }
  ~QuietGdal() { CPLPopErrorHandler(); }
  QuietGdal(const QuietGdal&) = delete;
  QuietGdal& operator=(const QuietGdal&) = delete;
};

/// The source's lines: skeleton, tracing, simplification. The source's pixels are let go once
/// copied, to keep one raster in memory rather than two.
std::vector<Line> vectorise(Source& source, const ToolOptions& o, Progress& progress) {
  progress.stage("thinning");
  Framed framed(source.image);
  source.image = Image();
  thin(framed);
  progress.done();
  progress.stage("tracing");
  std::vector<Line> lines = trace(framed, o.min_branch);
  for (Line& line : lines)
    simplify(line, o.simplify);
  progress.done();
  return lines;
}

/// Everything after the options are read; false with `error` set on failure.
bool vectorise_to_file(const ToolOptions& o, std::ostream& err, std::string& error) {
  if (error = unwritable(o); !error.empty()) return false;
  Progress progress(o.quiet ? nullptr : &err, progress_pixels);
  std::optional<Source> source = read_source(o.source, error, progress);
  if (!source) return false;
  const std::vector<Line> lines = vectorise(*source, o, progress);
  PendingOutput pending(o.output, error);
  if (pending.path().empty()) return false;
  return write_lines(pending.path(), o, *source, lines, error, progress) &&
         pending.commit(o.overwrite, error);
}

}  // namespace

int run(const std::vector<std::string>& words, std::ostream& out, std::ostream& err) {
  std::string error;
  const std::optional<ToolOptions> o = parse_options(words, error);
  if (!o) {
    err << "torvanelle-vect: " << error << "\nTry 'torvanelle-vect --help'.\n";
    return 1;
  }
  if (o->help) {
    out << usage;
    return 0;
  }
  GDALAllRegister();
  const QuietGdal quiet;
  try {
    if (vectorise_to_file(*o, err, error)) return 0;
  } catch (const std::bad_alloc&) {
    error = "not enough memory for '" + o->source + "'";
  }
  err << "torvanelle-vect: " << error << "\n";
  return 1;
}

}  // namespace torvanelle::vect::tool
