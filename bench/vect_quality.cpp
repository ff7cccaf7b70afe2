// How good the vectoriser's lines are on real terrain: figures, never a test.
//
//   torvanelle_vect_quality --dem NAME=FILE [--dem ...] [--size 2000]
//   torvanelle_vect_quality --sheet 4000 [--bridge D]
//
// Each elevation model (a line "rows cols", then float64 samples; bench/vect_dem.py writes them
// from the models Debian ships) is resampled to `size` rows, its columns in proportion, with 60
// contour numbers drawn as bands 1 to 5 pixels wide that touch where the slope is steep; the true
// lines come from marching squares and the bands are drawn around them. Runs per model: the
// clean bands; the bands with defects (ragged edges, label gaps of 8 to 30 pixels, isolated specks,
// one-pixel holes); the same with straight bridges of 30 and 36 pixels (thinned ends stand back
// about half a band's width from a gap, so 36 spans the widest gaps), and with bridges of 36
// along the ground (the elevation model's contours). A bridge is wrong when a point of it (but
// within a pixel of its ends, the lines' own) lies more than 1.5 px from every true line of its
// number; the figure is given again sparing 3 px at each end, where a thinned end may hook
// towards a corner of its band. Each run's memory is its peak above what the process held
// before it (Linux: the peak is reset first). --sheet times the synthetic benchmark sheet of
// vect_bench with the given bridge and prints the process's peak memory.
#include <malloc.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "dem/dem.h"
#include "devtools/contour_field.h"
#include "devtools/line_metrics.h"
#include "devtools/terrain.h"
#include "vector/vectorise.h"

namespace {

using field::Polyline;
namespace vect = torvanelle::vect;

struct Run {
  const char* name;
  bool defects;
  double bridge;
  bool ground;
};
constexpr Run runs[] = {{"clean", false, 0, false},
                        {"defects", true, 0, false},
                        {"defects+straight 30", true, 30, false},
                        {"defects+straight 36", true, 36, false},
                        {"defects+ground 36", true, 36, true}};

/// An item of the process's status in MiB (Linux): VmRSS resident now, VmHWM its peak since
/// the last `reset_peak`.
double status_mib(const std::string& item) {
  std::ifstream status("/proc/self/status");
  std::string word;
  while (status >> word) {
    if (word == item + ":") {
      double kib = 0;
      status >> kib;
      return kib / 1024;
    }
  }
  return 0;
}

/// Hands the memory freed back to the system, resets the peak to what is resident then, and
/// returns that (glibc and Linux).
double reset_peak() {
  malloc_trim(0);
  std::ofstream("/proc/self/clear_refs") << "5";
  return status_mib("VmRSS");
}

struct Made {
  std::vector<vect::Line> lines;
  std::vector<std::vector<vect::Pixel>> bridges;
  double seconds;
  double peak;  ///< MiB above what was resident before
};

/// The lines of `image` with bridges of `bridge` pixels, along the ground or straight.
Made vectorise(const torvanelle::Image& image, double bridge, bool ground) {
  vect::Options options;
  options.bridge = bridge;
  if (ground) options.ground = torvanelle::dem::ground_in_numbers;
  vect::Counts counts;
  const double before = reset_peak();
  const auto start = std::chrono::steady_clock::now();
  std::vector<vect::Line> lines = vect::vectorise(image, options, &counts);
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  return {std::move(lines), std::move(counts.bridge_paths), took.count(),
          status_mib("VmHWM") - before};
}

/// The 8-connected pieces of every number of `image`.
long pieces(const torvanelle::Image& image) {
  std::vector<bool> seen(image.px.size());
  std::vector<std::pair<int, int>> stack;
  long count = 0;
  for (int i = 0; i < image.rows; ++i) {
    for (int j = 0; j < image.cols; ++j) {
      const std::size_t at = static_cast<std::size_t>(i) * image.cols + j;
      if (image.px[at] == torvanelle::no_line || seen[at]) continue;
      ++count;
      seen[at] = true;
      stack = {{i, j}};
      while (!stack.empty()) {
        const auto [r, c] = stack.back();
        stack.pop_back();
        for (int dr = -1; dr <= 1; ++dr) {
          for (int dc = -1; dc <= 1; ++dc) {
            const int nr = r + dr, nc = c + dc;
            if (nr < 0 || nc < 0 || nr >= image.rows || nc >= image.cols) continue;
            const std::size_t n = static_cast<std::size_t>(nr) * image.cols + nc;
            if (image.px[n] != image.px[at] || seen[n]) continue;
            seen[n] = true;
            stack.push_back({nr, nc});
          }
        }
      }
    }
  }
  return count;
}

struct Figures {
  double found = 0, found_of = 0;      ///< true length (outside gaps) within 2 px of a line
  double online = 0, online_of = 0;    ///< output length within 2 px of its true line
  double bridged = 0, gap_length = 0;  ///< gap length within 2 px of a line
  long lines = 0, pieces = 0, closed = 0, closed_of = 0, simple = 0;
  long long_closed = 0, long_closed_of = 0;  ///< closed true lines of 30 px or more
  long bridges = 0, wrong_bridges = 0;
  long wrong_inside = 0;  ///< wrong but within 3 px of their ends, where a thinned end may hook
  double seconds = 0, peak = 0;
};

/// Splits the true lines' length into found or not, inside or outside the gaps.
void measure_found(const std::vector<Polyline>& truth, const field::SegmentIndex& out,
                   const field::SegmentIndex& gaps, Figures& f) {
  for (const Polyline& t : truth) {
    for (std::size_t s = 0; s + 1 < t.points.size(); ++s) {
      const field::Point a = t.points[s], b = t.points[s + 1];
      const double length = std::hypot(b.x - a.x, b.y - a.y);
      const int samples = std::max(1, static_cast<int>(std::ceil(length / 0.5)));
      for (int n = 0; n < samples; ++n) {
        const double u = (n + 0.5) / samples;
        const field::Point p{a.x + u * (b.x - a.x), a.y + u * (b.y - a.y)};
        const bool near = out.nearest(t.number, p, 2).line >= 0;
        const bool in_gap = gaps.nearest(t.number, p, 3).line >= 0;
        (in_gap ? f.gap_length : f.found_of) += length / samples;
        if (near) (in_gap ? f.bridged : f.found) += length / samples;
      }
    }
  }
}

/// Whether a point of the bridge (every half pixel along it, but within `spared` pixels of its
/// ends, which are the lines' own) lies more than 1.5 px from every true line of its number.
bool wrong(const Polyline& bridge, const field::SegmentIndex& truth, double spared) {
  const double length = field::closeness(bridge, truth, 0).total;
  double along = 0;
  for (std::size_t s = 0; s + 1 < bridge.points.size(); ++s) {
    const field::Point a = bridge.points[s], b = bridge.points[s + 1];
    const double step = std::hypot(b.x - a.x, b.y - a.y);
    for (double t = 0; t < step; t += 0.5) {
      const field::Point p{a.x + (b.x - a.x) * t / step, a.y + (b.y - a.y) * t / step};
      const bool inner = along + t > spared && along + t < length - spared;
      if (inner && truth.nearest(bridge.number, p, 1.5).line < 0) return true;
    }
    along += step;
  }
  return false;
}

/// Counts the bridges and the wrong ones.
void measure_bridges(const torvanelle::Image& image,
                     const std::vector<std::vector<vect::Pixel>>& made,
                     const field::SegmentIndex& truth, Figures& f) {
  for (const std::vector<vect::Pixel>& path : made) {
    const vect::Pixel a = path.front();
    const std::uint8_t number = image.px[static_cast<std::size_t>(a.row) * image.cols + a.col];
    const Polyline bridge = field::polylines({vect::Line{number, path}})[0];
    ++f.bridges;
    f.wrong_bridges += wrong(bridge, truth, 1);
    f.wrong_inside += wrong(bridge, truth, 3);
  }
}

Figures measure(const torvanelle::Image& image, const std::vector<Polyline>& truth,
                const std::vector<field::Gap>& gaps, const std::vector<Polyline>& out,
                const std::vector<std::vector<vect::Pixel>>& bridges) {
  Figures f;
  const field::SegmentIndex true_index(truth, 4), out_index(out, 4);
  std::vector<Polyline> gap_lines;
  for (const field::Gap& g : gaps)
    gap_lines.push_back({g.number, g.points});
  if (gap_lines.empty()) gap_lines.push_back({-1, {{0, 0}}});
  measure_found(truth, out_index, field::SegmentIndex(gap_lines, 4), f);
  for (const Polyline& line : out) {
    const field::Closeness c = field::closeness(line, true_index, 2);
    f.online += c.within;
    f.online_of += c.total;
    f.simple += field::is_simple(line);
  }
  for (const Polyline& t : truth) {
    if (!t.closed()) continue;
    const bool back = field::comes_back_closed(t, out, out_index);
    const bool long_enough = field::closeness(t, true_index, 0).total >= 30;
    f.closed_of += 1;
    f.closed += back;
    f.long_closed_of += long_enough;
    f.long_closed += long_enough && back;
  }
  measure_bridges(image, bridges, true_index, f);
  f.lines = static_cast<long>(out.size());
  f.pieces = pieces(image);
  return f;
}

double percent(double part, double whole) { return whole > 0 ? 100 * part / whole : 100; }

void print(const std::string& model, const Run& run, const Figures& f) {
  std::printf(
      "%-10s %-20s found %6.2f%%  on-line %6.2f%%  lines/piece %.3f (%ld/%ld)  closed %6.2f%% "
      "(%ld/%ld; of 30 px or more %6.2f%%)  gap bridged %6.2f%%  bridges %ld (wrong %ld, beyond 3 "
      "px of the ends %ld)  simple "
      "%ld/%ld  %.3f s  peak +%.0f MiB\n",
      model.c_str(), run.name, percent(f.found, f.found_of), percent(f.online, f.online_of),
      static_cast<double>(f.lines) / static_cast<double>(f.pieces), f.lines, f.pieces,
      percent(static_cast<double>(f.closed), static_cast<double>(f.closed_of)), f.closed,
      f.closed_of,
      percent(static_cast<double>(f.long_closed), static_cast<double>(f.long_closed_of)),
      percent(f.bridged, f.gap_length), f.bridges, f.wrong_bridges, f.wrong_inside, f.simple,
      f.lines, f.seconds, f.peak);
}

/// The elevation model in `path`; false when it cannot be read.
bool read_dem(const std::string& path, std::vector<double>& dem, int& rows, int& cols) {
  std::ifstream in(path, std::ios::binary);
  if (!(in >> rows >> cols) || rows <= 0 || cols <= 0) return false;
  in.get();
  dem.resize(static_cast<std::size_t>(rows) * static_cast<std::size_t>(cols));
  in.read(reinterpret_cast<char*>(dem.data()),
          static_cast<std::streamsize>(dem.size() * sizeof(double)));
  return static_cast<bool>(in);
}

void model(const std::string& name, const std::string& path, int size) {
  std::vector<double> dem;
  int rows = 0, cols = 0;
  if (!read_dem(path, dem, rows, cols)) {
    std::fprintf(stderr, "cannot read %s\n", path.c_str());
    std::exit(1);
  }
  const int out_cols = static_cast<int>(std::lround(static_cast<double>(size) * cols / rows));
  const field::Grid grid = field::resample(dem, rows, cols, size, out_cols, 60);
  const std::vector<Polyline> truth = field::true_lines(grid);
  const torvanelle::Image clean = field::draw_lines(grid.rows, grid.cols, truth);
  torvanelle::Image damaged = clean;
  field::roughen(damaged, 11, 0.2);
  const std::vector<field::Gap> gaps = field::cut_gaps(damaged, truth, 12, 600);
  field::add_specks_and_holes(damaged, 13, 240, 0.002);
  std::printf("%s: %d x %d samples resampled to %d x %d, %zu true lines, %zu label gaps\n",
              name.c_str(), rows, cols, size, out_cols, truth.size(), gaps.size());
  for (const Run& run : runs) {
    const torvanelle::Image& image = run.defects ? damaged : clean;
    const Made made = vectorise(image, run.bridge, run.ground);
    Figures f = measure(image, truth, run.defects ? gaps : std::vector<field::Gap>{},
                        field::polylines(made.lines), made.bridges);
    f.seconds = made.seconds;
    f.peak = made.peak;
    print(name, run, f);
  }
}

/// The benchmark sheet of vect_bench, vectorised with bridges of `bridge` pixels.
void sheet(int n, double bridge) {
  terrain::Options o;
  o.rows = n;
  o.cols = n;
  o.levels = 150;
  torvanelle::Image image(n, n);
  image.px = terrain::contour_raster(o);
  const auto [lines, bridges, seconds, peak] = vectorise(image, bridge, false);
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("sheet %d x %d, bridge %g: %zu lines in %.3f s, peak %.1f MiB\n", n, n, bridge,
              lines.size(), seconds, static_cast<double>(usage.ru_maxrss) / 1024);
}

}  // namespace

int main(int argc, char** argv) {
  int size = 2000, sheet_size = 0;
  double bridge = 0;
  std::vector<std::pair<std::string, std::string>> dems;
  for (int a = 1; a + 1 < argc; a += 2) {
    const std::string arg = argv[a], value = argv[a + 1];
    if (arg == "--size") size = std::atoi(value.c_str());
    if (arg == "--sheet") sheet_size = std::atoi(value.c_str());
    if (arg == "--bridge") bridge = std::atof(value.c_str());
    const std::size_t eq = value.find('=');
    if (arg == "--dem" && eq != std::string::npos)
      dems.push_back({value.substr(0, eq), value.substr(eq + 1)});
  }
  if (sheet_size > 0) sheet(sheet_size, bridge);
  for (const auto& [name, path] : dems)
    model(name, path, size);
  return 0;
}
